#include "TuningView.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMeterHeight = 16;
constexpr int kMeterMinimumWidth = 90;
constexpr int kTickEvery_cents = 10;
constexpr int kDroneRows = 3;

const QColor kInTune(46, 139, 87);
const QColor kNearlyInTune(217, 140, 0);
const QColor kOutOfTune(192, 57, 43);
const QColor kNotHeard(140, 140, 140);

QColor colourFor(float cents)
{
    const float off = std::abs(cents);
    if (off <= TuningView::kInTune_cents)
        return kInTune;
    return off <= TuningView::kNearlyInTune_cents ? kNearlyInTune : kOutOfTune;
}

QLabel* label(const QString& text, const QString& name, QWidget* parent, Qt::Alignment alignment = Qt::AlignLeft)
{
    auto* result = new QLabel(text, parent);
    result->setObjectName(name);
    result->setAlignment(alignment | Qt::AlignVCenter);
    return result;
}

void setColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

// The names the piper knows the notes by, Low G .. High A.
QString noteText(PipeTuning::ReferenceNote note)
{
    return QString::fromStdString(toString(note));
}

} // namespace

CentsMeter::CentsMeter(QWidget* parent, bool legend) : QWidget(parent), mLegend(legend)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (legend) {
        QFont small = font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        setFont(small);
    }
}

QRectF CentsMeter::scaleRect() const
{
    return QRectF(rect()).adjusted(4.5, 2.5, -4.5, -2.5);
}

void CentsMeter::setCents(std::optional<float> cents)
{
    if (cents == mCents)
        return;
    mCents = cents;
    update();
}

QSize CentsMeter::sizeHint() const
{
    return QSize(160, mLegend ? fontMetrics().height() : kMeterHeight);
}

QSize CentsMeter::minimumSizeHint() const
{
    return QSize(kMeterMinimumWidth, mLegend ? fontMetrics().height() : kMeterHeight);
}

void CentsMeter::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF scale = scaleRect();
    const double centre = scale.center().x();
    const double perCent = scale.width() / (2.0 * TuningView::kRange_cents);
    if (mLegend) {
        painter.setPen(kNotHeard);
        const QRectF line(scale.left(), 0.0, scale.width(), height());
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, "flat");
        painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, "sharp");
        painter.drawText(QRectF(centre - 20.0, 0.0, 40.0, height()), Qt::AlignCenter, "0");
        return;
    }
    // A scale with nothing on it stays in the background.
    if (!mCents)
        painter.setOpacity(0.5);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1.0));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(scale, 3.0, 3.0);
    const int ticks = static_cast<int>(TuningView::kRange_cents) / kTickEvery_cents;
    for (int tick = -ticks + 1; tick < ticks; ++tick) {
        const double x = centre + tick * kTickEvery_cents * perCent;
        const double inset = tick == 0 ? 0.0 : scale.height() * 0.3;
        painter.setPen(QPen(tick == 0 ? palette().color(QPalette::Text) : palette().color(QPalette::Midlight),
                            tick == 0 ? 1.5 : 1.0));
        painter.drawLine(QPointF(x, scale.top() + inset), QPointF(x, scale.bottom() - inset));
    }
    if (!mCents)
        return;
    const float shown = std::clamp(*mCents, -TuningView::kRange_cents, TuningView::kRange_cents);
    const double x = centre + shown * perCent;
    const QColor colour = colourFor(*mCents);
    QColor fill = colour;
    fill.setAlpha(110);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRect(QRectF(QPointF(std::min(centre, x), scale.top() + 2.0), QPointF(std::max(centre, x), scale.bottom() - 2.0)));
    painter.setBrush(colour);
    if (shown != *mCents) {
        // Off the scale: an arrow at its end.
        const double direction = shown > 0.0f ? 1.0 : -1.0;
        QPainterPath arrow;
        arrow.moveTo(x + direction * 3.0, scale.center().y());
        arrow.lineTo(x - direction * 5.0, scale.top());
        arrow.lineTo(x - direction * 5.0, scale.bottom());
        arrow.closeSubpath();
        painter.drawPath(arrow);
    } else {
        painter.drawRoundedRect(QRectF(x - 1.5, rect().top() + 0.5, 3.0, rect().height() - 1.0), 1.0, 1.0);
    }
}

TuningView::TuningView(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    mLowA = label(QString(), "tuningLowA", this);
    QFont bold = mLowA->font();
    bold.setBold(true);
    mLowA->setFont(bold);
    layout->addWidget(mLowA);

    mGrid = new QGridLayout;
    mGrid->setHorizontalSpacing(8);
    mGrid->setVerticalSpacing(3);
    mGrid->setColumnStretch(1, 1);
    layout->addLayout(mGrid);

    // The meters' legend: flat to the left, sharp to the right.
    auto* legend = new CentsMeter(this, true);
    legend->setObjectName("tuningLegend");
    legend->setToolTip(QString("Each scale reaches %1 cents either side of the note's place on the scale of "
                               "Low A; a needle further out stops at the end with an arrow.")
                           .arg(static_cast<int>(kRange_cents)));
    mGrid->addWidget(legend, 0, 1);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    for (auto [text, column] : {std::make_pair("cents", 2), std::make_pair("", 3)}) {
        QLabel* heading = label(text, QString(), this, Qt::AlignRight);
        heading->setFont(small);
        setColour(heading, kNotHeard);
        mGrid->addWidget(heading, 0, column);
    }

    // High A at the top, as on the staff.
    mNotes.resize(PipeTuning::kMelodyNoteCount);
    for (int index = PipeTuning::kMelodyNoteCount - 1; index >= 0; --index) {
        const PipeTuning::ReferenceNote note = PipeTuning::noteIndexToReferenceNote(index);
        const QString key = QString::fromStdString(toString(referenceNoteToNoteName(note)));
        mNotes[static_cast<std::size_t>(index)] = addRow(key, noteText(note));
    }

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    mGrid->addWidget(line, mGrid->rowCount(), 0, 1, 4);
    mDronesTitle = label("Drones against Low A", "tuningDronesTitle", this);
    mDronesTitle->setFont(bold);
    mGrid->addWidget(mDronesTitle, mGrid->rowCount(), 0, 1, 4);
    mDronesMessage = label(QString(), "tuningDronesMessage", this);
    mDronesMessage->setWordWrap(true);
    setColour(mDronesMessage, kNotHeard);
    mGrid->addWidget(mDronesMessage, mGrid->rowCount(), 0, 1, 4);
    // A set of pipes has three drones; a fourth would get a row below.
    for (int k = 0; k < kDroneRows; ++k)
        addDroneRow();
    mBeat = label(QString(), "tuningBeat", this);
    mBeat->setWordWrap(true);
    mGrid->addWidget(mBeat, mGrid->rowCount(), 0, 1, 4);
    layout->addStretch();

    // The columns keep their widths whatever they show, so the needles do
    // not jump sideways from one result to the next.
    const QFontMetrics metrics(font());
    mGrid->setColumnMinimumWidth(0, metrics.horizontalAdvance("High A  "));
    mGrid->setColumnMinimumWidth(2, metrics.horizontalAdvance("not heard"));
    mGrid->setColumnMinimumWidth(3, metrics.horizontalAdvance("1000.00 Hz"));
    clear();
}

TuningView::Row TuningView::addRow(const QString& key, const QString& name)
{
    const int line = mGrid->rowCount();
    Row row;
    row.name = label(name, "tuningName_" + key, this);
    row.meter = new CentsMeter(this);
    row.meter->setObjectName("tuningMeter_" + key);
    row.cents = label(QString(), "tuningCents_" + key, this, Qt::AlignRight);
    row.frequency = label(QString(), "tuningHz_" + key, this, Qt::AlignRight);
    mGrid->addWidget(row.name, line, 0);
    mGrid->addWidget(row.meter, line, 1);
    mGrid->addWidget(row.cents, line, 2);
    mGrid->addWidget(row.frequency, line, 3);
    return row;
}

void TuningView::addDroneRow()
{
    const QString key = QString::number(mDrones.size());
    mDrones.push_back(addRow(key, QString()));
    for (QLabel* item : {mDrones.back().name, mDrones.back().cents, mDrones.back().frequency})
        item->setObjectName(QString(item->objectName()).replace("tuning", "drone"));
    mDrones.back().meter->setObjectName("droneMeter_" + key);
}

QString TuningView::centsText(float cents)
{
    const double rounded = std::round(static_cast<double>(cents) * 10.0) / 10.0;
    if (rounded == 0.0)
        return "0.0";
    return QString("%1%2").arg(rounded > 0.0 ? "+" : "").arg(rounded, 0, 'f', 1);
}

void TuningView::setRow(Row& row, std::optional<float> cents, float frequency_Hz)
{
    row.meter->setCents(cents);
    QFont italic = row.cents->font();
    italic.setItalic(!cents);
    row.cents->setFont(italic);
    row.cents->setText(cents ? centsText(*cents) : QString("not heard"));
    setColour(row.cents, cents ? colourFor(*cents) : kNotHeard);
    setColour(row.name, cents ? palette().color(QPalette::WindowText) : kNotHeard);
    row.frequency->setText(cents ? QString("%1 Hz").arg(static_cast<double>(frequency_Hz), 0, 'f', 1) : QString());
    row.meter->setToolTip(cents ? QString("%1 cents %2 of the scale of Low A")
                                      .arg(std::abs(static_cast<double>(*cents)), 0, 'f', 1)
                                      .arg(*cents >= 0.0f ? "sharp" : "flat")
                                : QString("Not heard in this recording"));
}

void TuningView::setReading(const TuningReading& reading)
{
    mReading = reading;
    mHasReading = true;
    mLowA->setText(QString("Low A as played: %1 Hz").arg(static_cast<double>(reading.lowA_Hz), 0, 'f', 1));
    for (std::size_t index = 0; index < mNotes.size(); ++index) {
        const TuningReading::Note& note = reading.notes[index];
        setRow(mNotes[index], note.heard ? std::optional<float>(note.cents) : std::nullopt, note.frequency_Hz);
    }
    showDrones();
}

void TuningView::clear()
{
    mHasReading = false;
    mReading = TuningReading();
    mLowA->setText("Nothing played yet");
    for (Row& row : mNotes)
        setRow(row, std::nullopt, 0.0f);
    showDrones();
}

void TuningView::setDronesListenedFor(bool listened)
{
    mDronesListenedFor = listened;
    showDrones();
}

void TuningView::showDrones()
{
    const std::vector<TuningReading::Drone>& drones = mReading.drones;
    while (mDrones.size() < drones.size())
        addDroneRow();
    const auto tenors = std::count_if(drones.begin(), drones.end(),
                                      [](const auto& drone) { return drone.kind == DroneSet::Drone::Kind::Tenor; });
    int tenor = 0;
    for (std::size_t k = 0; k < mDrones.size(); ++k) {
        Row& row = mDrones[k];
        const bool shown = k < drones.size();
        for (QWidget* item : std::initializer_list<QWidget*>{row.name, row.meter, row.cents, row.frequency})
            item->setVisible(shown);
        if (!shown)
            continue;
        const TuningReading::Drone& drone = drones[k];
        const bool bass = drone.kind == DroneSet::Drone::Kind::Bass;
        row.name->setText(bass ? QString("Bass") : tenors > 1 ? QString("Tenor %1").arg(++tenor) : QString("Tenor"));
        setRow(row, drone.cents, drone.frequency_Hz);
        row.frequency->setText(QString("%1 Hz").arg(static_cast<double>(drone.frequency_Hz), 0, 'f', 2));
        row.meter->setToolTip(QString("%1, %2 cents %3 of Low A %4")
                                  .arg(row.name->text())
                                  .arg(std::abs(static_cast<double>(drone.cents)), 0, 'f', 1)
                                  .arg(drone.cents >= 0.0f ? "sharp" : "flat")
                                  .arg(bass ? "two octaves down" : "an octave down"));
    }
    if (!mDronesListenedFor)
        mDronesMessage->setText("Not listened for: switched off under Tools \u2192 Settings \u2192 Advanced");
    else if (!mHasReading)
        mDronesMessage->setText("Nothing played yet");
    else
        mDronesMessage->setText("No drones heard");
    mDronesMessage->setVisible(drones.empty());
    const bool beating = tenors > 1 && mReading.tenorBeat_Hz > 0.0f;
    mBeat->setVisible(beating);
    if (beating)
        mBeat->setText(QString("The tenors beat %1 times a second")
                           .arg(static_cast<double>(mReading.tenorBeat_Hz), 0, 'f', 2));
}
