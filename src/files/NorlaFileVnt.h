#pragma once

// A project file (".vnt"): one recording with everything needed to
// transcribe it again — raw 16-bit mono PCM, its sample rate, the tune's
// name, type and composer, time signature, tempo and time shift, the chanter
// calibration and provenance. On disk: a 20-byte preamble (magic
// "norla_vnt   ", version, XML size, little-endian), an XML header and the
// audio. Operations report failure as false with a readable message; a
// failed save leaves any existing file untouched. GUI thread.

#include <QByteArray>
#include <QString>

#include <map>
#include <string>
#include <vector>

class NorlaFileVnt
{
public:
    NorlaFileVnt();
    virtual ~NorlaFileVnt() = default;

    QByteArray audioData() const { return mAudioData; }
    void setAudioData(QByteArray data) { mAudioData = std::move(data); }
    int recordingFrequency_Hz() const { return mRecordingFrequency_Hz; }
    void setRecordingFrequency_Hz(int frequency_Hz) { mRecordingFrequency_Hz = frequency_Hz; }
    QString tuneName() const { return mTuneName; }
    void setTuneName(QString name) { mTuneName = std::move(name); }
    QString tuneType() const { return mTuneType; }
    void setTuneType(QString type) { mTuneType = std::move(type); }
    QString composedBy() const { return mComposedBy; }
    void setComposedBy(QString composer) { mComposedBy = std::move(composer); }
    int timeSigNumerator() const { return mTimeSigNumerator; }
    void setTimeSigNumerator(int numerator) { mTimeSigNumerator = numerator; }
    int timeSigDenominator() const { return mTimeSigDenominator; }
    void setTimeSigDenominator(int denominator) { mTimeSigDenominator = denominator; }
    float bpm() const { return mBpm; }
    void setBpm(float bpm) { mBpm = bpm; }
    float timeShift_s() const { return mTimeShift_s; }
    void setTimeShift_s(float shift_s) { mTimeShift_s = shift_s; }
    // The chanter calibration: note text ("LG" .. "HA") to frequency in Hz.
    std::map<std::string, float> noteFrequencies() const { return mNoteFrequencies; }
    void setNoteFrequencies(std::map<std::string, float> frequencies) { mNoteFrequencies = std::move(frequencies); }
    int recordedAppVersion() const { return mRecordedAppVersion; }
    void setRecordedAppVersion(int version) { mRecordedAppVersion = version; }
    QString recordedTime() const { return mRecordedTime; }
    void setRecordedTime(QString time) { mRecordedTime = std::move(time); }
    QString recordedInstallId() const { return mRecordedInstallId; }
    void setRecordedInstallId(QString id) { mRecordedInstallId = std::move(id); }
    int appVersion() const { return mAppVersion; }
    void setAppVersion(int version) { mAppVersion = version; }
    QString fileCreationTime() const { return mFileCreationTime; }
    void setFileCreationTime(QString time) { mFileCreationTime = std::move(time); }
    QString fileCreationInstallId() const { return mFileCreationInstallId; }
    void setFileCreationInstallId(QString id) { mFileCreationInstallId = std::move(id); }
    int audioDataSize_B() const { return mAudioDataSize_B; }
    // Where the note frequencies came from: "calibrated" (the piper's
    // calibration, or a tuning given by hand) or "estimated" (from the
    // recording itself). Empty in files written before it was recorded;
    // readers that do not know it ignore the element.
    QString calibrationSource() const { return mCalibrationSource; }
    void setCalibrationSource(QString source) { mCalibrationSource = std::move(source); }

    // The metronome's clicks in the recording, where it heard them, as
    // "sample:sound" pairs separated by blanks; empty (and not written)
    // for a recording without them.
    QString clickMarks() const { return mClickMarks; }
    void setClickMarks(QString marks) { mClickMarks = std::move(marks); }
    // The piper's corrections to the score, each in its one-line text form,
    // in the order made. Written only when there are any, after every other
    // element: a project without them is the file it always was, and
    // readers that do not know the element ignore it.
    const std::vector<QString>& scoreEdits() const { return mScoreEdits; }
    void setScoreEdits(std::vector<QString> edits) { mScoreEdits = std::move(edits); }

    void clear();
    // Everything but the audio data size read from a file.
    bool operator==(const NorlaFileVnt& other) const;
    bool operator!=(const NorlaFileVnt& other) const { return !(*this == other); }

    // The XML header (stamping the file creation time), or a text beginning
    // with "Error".
    QString toXml();
    bool fromXml(QString xml, QString& error);
    bool save(QString path, QString& error);
    bool open(QString path, QString& error);
    // open() on bytes already read.
    bool fromBytes(const QByteArray& bytes, QString& error);

private:
    QByteArray mAudioData;
    int mRecordingFrequency_Hz = 44100;
    QString mTuneName;
    QString mTuneType;
    QString mComposedBy;
    int mTimeSigNumerator = 4;
    int mTimeSigDenominator = 4;
    float mBpm = 72.0f;
    float mTimeShift_s = 0.0f;
    std::map<std::string, float> mNoteFrequencies;
    int mRecordedAppVersion = 0;
    QString mRecordedTime;
    QString mRecordedInstallId;
    int mAppVersion = 0;
    QString mFileCreationTime;
    QString mFileCreationInstallId;
    QString mCalibrationSource;
    QString mClickMarks;
    std::vector<QString> mScoreEdits;
    int mAudioDataSize_B = 0;
};
