#pragma once

// The tuning dock's contents, a piper's tuning meter: the chanter's Low A,
// then each of the nine notes from High A down to Low G with a needle
// around 0 on a scale of +-kRange_cents, the cents (positive sharp) and the
// note's frequency, against the standard scale of the running Low A; below
// them each drone against Low A and how fast the tenors beat. A note not
// heard in the recording shows as not heard, with no needle; before any
// result every row does. Widgets carry object names by which tests find
// them ("tuningCents_D", "tuningMeter_HA", "droneCents_0", ...). GUI thread.

#include "TuningReading.h"

#include <QWidget>

#include <optional>
#include <vector>

class QGridLayout;
class QLabel;

// A horizontal scale of +-range cents with a needle at the value, coloured
// by how far off it is; no value draws the scale alone, faintly. As a
// legend it writes "flat", "0" and "sharp" where the meters below it have
// their ends and their 0.
class CentsMeter : public QWidget
{
    Q_OBJECT
public:
    explicit CentsMeter(QWidget* parent = nullptr, bool legend = false);

    void setCents(std::optional<float> cents);
    std::optional<float> cents() const { return mCents; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The scale's extent, shared by the meters and their legend.
    QRectF scaleRect() const;

    std::optional<float> mCents;
    bool mLegend = false;
};

class TuningView : public QWidget
{
    Q_OBJECT
public:
    // The meters' reach either side of 0, and the bands within which a note
    // reads as in tune (green) and as nearly so (amber).
    static constexpr float kRange_cents = 50.0f;
    static constexpr float kInTune_cents = 5.0f;
    static constexpr float kNearlyInTune_cents = 15.0f;

    explicit TuningView(QWidget* parent = nullptr);

    void setReading(const TuningReading& reading);
    // Nothing played yet.
    void clear();
    // Whether drones are listened for at all; when not, the drones' place
    // says so instead of "No drones heard".
    void setDronesListenedFor(bool listened);

    // "+13.5", "-2.0", "0.0"; the sign always shown but for 0.
    static QString centsText(float cents);

private:
    struct Row {
        QLabel* name = nullptr;
        CentsMeter* meter = nullptr;
        QLabel* cents = nullptr;
        QLabel* frequency = nullptr;
    };
    Row addRow(const QString& key, const QString& name);
    void addDroneRow();
    void showDrones();
    void setRow(Row& row, std::optional<float> cents, float frequency_Hz);

    QGridLayout* mGrid = nullptr;
    QLabel* mLowA = nullptr;
    std::vector<Row> mNotes; // Low G .. High A
    QLabel* mDronesTitle = nullptr;
    std::vector<Row> mDrones;
    QLabel* mDronesMessage = nullptr;
    QLabel* mBeat = nullptr;
    TuningReading mReading;
    bool mHasReading = false;
    bool mDronesListenedFor = true;
};
