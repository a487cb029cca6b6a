#include "NorlaFileVnt.h"

#include "FileSaving.h"

#include <QDateTime>
#include <QDebug>
#include <QDomDocument>
#include <QFile>
#include <QtEndian>

#include <algorithm>

namespace {

const char kMagic[] = "norla_vnt   ";
constexpr int kMagicSize = 12;
constexpr int kPreambleSize = 20;
constexpr qint32 kFormatVersion = 1;
// A header is about 1 KB; anything near this is not one. Elements nest three
// deep (root, calibration, note): deeper nesting is refused before the parser
// sees it, so a hostile header cannot exhaust the stack.
constexpr qint64 kMaximumHeaderSize_B = 64 * 1024;
constexpr int kMaximumNesting = 8;
const char kRootName[] = "NorlaFileVnt";

QString number(float value)
{
    return QString::number(static_cast<double>(value), 'g', 6);
}

void appendElement(QDomDocument& document, QDomElement& root, const QString& name, const QString& text)
{
    QDomElement element = document.createElement(name);
    element.appendChild(document.createTextNode(text));
    root.appendChild(element);
}

// Text of the root's child element name; false when there is none.
bool elementText(const QDomElement& root, const char* name, QString& text)
{
    const QDomElement element = root.firstChildElement(name);
    if (element.isNull())
        return false;
    text = element.text();
    return true;
}

bool elementInt(const QDomElement& root, const char* name, int& value)
{
    QString text;
    if (!elementText(root, name, text))
        return false;
    bool ok = false;
    const int parsed = text.toInt(&ok, 10);
    if (ok)
        value = parsed;
    return ok;
}

qint32 readInt32(const QByteArray& bytes, int offset)
{
    return qFromLittleEndian<qint32>(reinterpret_cast<const uchar*>(bytes.constData() + offset));
}

// Bytes up to the first zero byte.
// The deepest nesting of elements in xml, counted from its tags.
int nestingDepth(const QByteArray& xml)
{
    int depth = 0;
    int deepest = 0;
    for (int i = 0; i + 1 < xml.size(); ++i) {
        if (xml[i] != '<')
            continue;
        const char next = xml[i + 1];
        if (next == '/') {
            --depth;
        } else if (next != '!' && next != '?') {
            const int close = xml.indexOf('>', i);
            if (close < 0 || xml[close - 1] != '/')
                deepest = std::max(deepest, ++depth);
        }
    }
    return deepest;
}

QByteArray untilZero(const QByteArray& bytes)
{
    const int zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.left(zero);
}

} // namespace

NorlaFileVnt::NorlaFileVnt()
{
    clear();
}

void NorlaFileVnt::clear()
{
    mAudioData.clear();
    mRecordingFrequency_Hz = 44100;
    mTuneName.clear();
    mTuneType.clear();
    mComposedBy.clear();
    mTimeSigNumerator = 4;
    mTimeSigDenominator = 4;
    mBpm = 72.0f;
    mTimeShift_s = 0.0f;
    mNoteFrequencies.clear();
    mRecordedAppVersion = 0;
    mRecordedTime.clear();
    mRecordedInstallId.clear();
    mAppVersion = 0;
    mFileCreationTime.clear();
    mFileCreationInstallId.clear();
    mCalibrationSource.clear();
    mClickMarks.clear();
    mScoreEdits.clear();
    mAudioDataSize_B = 0;
}

bool NorlaFileVnt::operator==(const NorlaFileVnt& other) const
{
    return mAudioData == other.mAudioData && mRecordingFrequency_Hz == other.mRecordingFrequency_Hz
           && mTuneName == other.mTuneName && mTuneType == other.mTuneType && mComposedBy == other.mComposedBy
           && mTimeSigNumerator == other.mTimeSigNumerator && mTimeSigDenominator == other.mTimeSigDenominator
           && mBpm == other.mBpm && mTimeShift_s == other.mTimeShift_s && mNoteFrequencies == other.mNoteFrequencies
           && mRecordedAppVersion == other.mRecordedAppVersion && mRecordedTime == other.mRecordedTime
           && mRecordedInstallId == other.mRecordedInstallId && mAppVersion == other.mAppVersion
           && mFileCreationTime == other.mFileCreationTime && mFileCreationInstallId == other.mFileCreationInstallId
           && mCalibrationSource == other.mCalibrationSource && mClickMarks == other.mClickMarks
           && mScoreEdits == other.mScoreEdits;
}

QString NorlaFileVnt::toXml()
{
    mFileCreationTime = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    QDomImplementation::setInvalidDataPolicy(QDomImplementation::ReturnNullNode);
    QDomImplementation implementation;
    QDomDocument document(implementation.createDocumentType(kRootName, QString(), QString()));
    QDomElement root = document.createElement(kRootName);
    document.appendChild(root);

    appendElement(document, root, "audioDataSize_B", QString::number(mAudioData.size()));
    appendElement(document, root, "recordingFrequency_Hz", QString::number(mRecordingFrequency_Hz));
    appendElement(document, root, "tuneName", mTuneName);
    appendElement(document, root, "tuneType", mTuneType);
    appendElement(document, root, "composedBy", mComposedBy);
    appendElement(document, root, "timeSigNumerator", QString::number(mTimeSigNumerator));
    appendElement(document, root, "timeSigDenominator", QString::number(mTimeSigDenominator));
    appendElement(document, root, "bpm", number(mBpm));
    appendElement(document, root, "timeShift_s", number(mTimeShift_s));
    QDomElement calibration = document.createElement("chanterCalibration");
    for (const auto& [key, frequency_Hz] : mNoteFrequencies) {
        QDomElement note = document.createElement(QString::fromStdString(key));
        if (note.isNull())
            return QString("Error: Invalid note freq XML tag:  %1").arg(QString::fromStdString(key));
        note.appendChild(document.createTextNode(number(frequency_Hz)));
        calibration.appendChild(note);
    }
    root.appendChild(calibration);
    appendElement(document, root, "recordedAppVersion", QString::number(mRecordedAppVersion));
    appendElement(document, root, "recordedTime", mRecordedTime);
    appendElement(document, root, "recordedInstallId", mRecordedInstallId);
    appendElement(document, root, "appVersion", QString::number(mAppVersion));
    appendElement(document, root, "fileCreationTime", mFileCreationTime);
    appendElement(document, root, "fileCreationInstallId", mFileCreationInstallId);
    // Last and only when known, so that the elements every reader expects
    // stand as they always did.
    if (!mCalibrationSource.isEmpty())
        appendElement(document, root, "calibrationSource", mCalibrationSource);
    if (!mClickMarks.isEmpty())
        appendElement(document, root, "clickMarks", mClickMarks);
    if (!mScoreEdits.empty()) {
        QDomElement edits = document.createElement("scoreEdits");
        for (const QString& edit : mScoreEdits)
            appendElement(document, edits, "edit", edit);
        root.appendChild(edits);
    }
    return document.toString(1);
}

bool NorlaFileVnt::fromXml(QString xml, QString& /*error*/)
{
    clear();
    QDomDocument document;
    if (!document.setContent(xml))
        return false;
    const QDomElement root = document.documentElement();
    if (root.tagName() != kRootName)
        return false;

    if (!elementInt(root, "audioDataSize_B", mAudioDataSize_B) || mAudioDataSize_B < 0)
        return false;
    if (!elementInt(root, "recordingFrequency_Hz", mRecordingFrequency_Hz))
        return false;
    if (!elementText(root, "tuneName", mTuneName) || !elementText(root, "tuneType", mTuneType)
        || !elementText(root, "composedBy", mComposedBy))
        return false;
    if (!elementInt(root, "timeSigNumerator", mTimeSigNumerator)
        || !elementInt(root, "timeSigDenominator", mTimeSigDenominator))
        return false;
    QString text;
    bool ok = false;
    if (!elementText(root, "bpm", text))
        return false;
    mBpm = text.toFloat(&ok);
    if (!ok)
        return false;
    if (elementText(root, "timeShift_s", text))
        mTimeShift_s = text.toFloat();

    const QDomElement calibration = root.firstChildElement("chanterCalibration");
    if (calibration.isNull())
        return false;
    for (QDomElement note = calibration.firstChildElement(); !note.isNull(); note = note.nextSiblingElement()) {
        const float frequency_Hz = note.text().toFloat(&ok);
        if (!ok)
            return false;
        mNoteFrequencies[note.tagName().toStdString()] = frequency_Hz;
    }

    elementText(root, "calibrationSource", mCalibrationSource);
    elementText(root, "clickMarks", mClickMarks);
    const QDomElement edits = root.firstChildElement("scoreEdits");
    for (QDomElement edit = edits.firstChildElement("edit"); !edit.isNull(); edit = edit.nextSiblingElement("edit"))
        mScoreEdits.push_back(edit.text());
    return elementInt(root, "recordedAppVersion", mRecordedAppVersion)
           && elementText(root, "recordedTime", mRecordedTime)
           && elementText(root, "recordedInstallId", mRecordedInstallId)
           && elementInt(root, "appVersion", mAppVersion)
           && elementText(root, "fileCreationTime", mFileCreationTime)
           && elementText(root, "fileCreationInstallId", mFileCreationInstallId);
}

bool NorlaFileVnt::save(QString path, QString& error)
{
    const QString xml = toXml();
    if (xml.startsWith("Error")) {
        error = xml;
        return false;
    }
    const QByteArray header = xml.toUtf8();
    QByteArray preamble(kPreambleSize, ' ');
    preamble.replace(0, kMagicSize, QByteArray(kMagic, kMagicSize));
    qToLittleEndian<qint32>(kFormatVersion, reinterpret_cast<uchar*>(preamble.data() + 12));
    qToLittleEndian<qint32>(header.size(), reinterpret_cast<uchar*>(preamble.data() + 16));

    // Written beside the target and renamed over it only when complete, so a
    // failed save never leaves a truncated project behind.
    return fileSaving::writeWholeFile(path, {preamble + header, mAudioData}, error);
}

bool NorlaFileVnt::open(QString path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    return fromBytes(file.readAll(), error);
}

bool NorlaFileVnt::fromBytes(const QByteArray& bytes, QString& error)
{
    if (bytes.size() < kPreambleSize) {
        error = "The file appears to be too small.";
        return false;
    }
    if (untilZero(bytes.left(kMagicSize)) != QByteArray(kMagic, kMagicSize)) {
        error = "This does not appear to be a vnt file";
        return false;
    }
    if (readInt32(bytes, 12) < 1) {
        error = "Unknown vnt file version";
        return false;
    }
    const qint64 headerSize = readInt32(bytes, 16);
    if (headerSize < 1 || headerSize > static_cast<qint64>(bytes.size()) - kPreambleSize
        || headerSize > kMaximumHeaderSize_B) {
        error = "Corrupt file header size";
        return false;
    }
    const QByteArray header = untilZero(bytes.mid(kPreambleSize, static_cast<int>(headerSize)));
    if (nestingDepth(header) > kMaximumNesting || !fromXml(QString::fromUtf8(header), error)) {
        error = "Invalid file header";
        return false;
    }
    // The audio follows the header and fills the size it declares; bytes
    // after it are not part of the recording.
    const qint64 audioStart = kPreambleSize + headerSize;
    const qint64 available = static_cast<qint64>(bytes.size()) - audioStart;
    if (available < static_cast<qint64>(mAudioDataSize_B)) {
        error = "File seems to be too small to contain audio";
        return false;
    }
    if (available > static_cast<qint64>(mAudioDataSize_B))
        qWarning() << "Ignoring" << available - mAudioDataSize_B << "bytes after the audio of the project file";
    mAudioData = bytes.mid(static_cast<int>(audioStart), mAudioDataSize_B);
    return true;
}
