#include "NorlaFileVnt.h"

#include "FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace {

class NorlaFileVntTest : public ::testing::Test
{
protected:
    static constexpr qint32 kActualSize = std::numeric_limits<qint32>::min();

    QString path(const char* name) const { return dir.filePath(name); }

    static NorlaFileVnt sample()
    {
        NorlaFileVnt project;
        project.setAudioData(QByteArray("\x01\x02\x03\x04\x05\x06", 6));
        project.setTuneName("Scotland the Brave");
        project.setTimeShift_s(0.25f);
        project.setNoteFrequencies({{"LA", 480.0f}, {"D", 640.5f}});
        return project;
    }

    // Preamble + header + audio, with the preamble's fields given.
    static QByteArray fileBytes(const QByteArray& header, const QByteArray& audio, qint32 version = 1,
                                qint32 headerSize = kActualSize, const QByteArray& magic = "norla_vnt   ")
    {
        QByteArray bytes(20, ' ');
        bytes.replace(0, magic.size(), magic);
        qToLittleEndian<qint32>(version, reinterpret_cast<uchar*>(bytes.data() + 12));
        qToLittleEndian<qint32>(headerSize == kActualSize ? header.size() : headerSize, reinterpret_cast<uchar*>(bytes.data() + 16));
        return bytes + header + audio;
    }

    QString openBytes(const QByteArray& bytes, NorlaFileVnt& project)
    {
        QFile file(path("case.vnt"));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        file.close();
        QString error;
        return project.open(path("case.vnt"), error) ? QString() : error;
    }

    static QByteArray readAll(const QString& name)
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QByteArray xmlOf(NorlaFileVnt project) { return project.toXml().toUtf8(); }

    QTemporaryDir dir;
};

// A save that fails (a note name no element can carry, a missing folder, a
// full disk played by a file-size limit on this process) says why and leaves
// the old project whole, whether the new one is small enough to sit in the
// write buffer until the end or is written straight through.
TEST_F(NorlaFileVntTest, AFailedSaveKeepsTheOldFileWhole)
{
    NorlaFileVnt project = sample();
    project.setAudioData(QByteArray(300000, 'o'));
    QString error;
    ASSERT_TRUE(project.save(path("full.vnt"), error));
    const QByteArray original = readAll(path("full.vnt"));
    project.setNoteFrequencies({{"1x", 1.0f}});
    EXPECT_FALSE(project.save(path("full.vnt"), error));
    EXPECT_FALSE(sample().save(path("missing-folder/c.vnt"), error));
    EXPECT_FALSE(error.isEmpty());
    project = sample();
    for (int audio_B : {2000, 10000, 100000}) {
        project.setAudioData(QByteArray(audio_B, 'n'));
        error.clear();
        {
            const FileSizeLimit limit(1024);
            EXPECT_FALSE(project.save(path("full.vnt"), error)) << audio_B;
        }
        EXPECT_EQ(readAll(path("full.vnt")), original) << audio_B;
        EXPECT_TRUE(error.contains(path("full.vnt")) && error.contains(QString::fromLocal8Bit(std::strerror(EFBIG))))
            << error.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"full.vnt"}) << audio_B;
    }
}

TEST_F(NorlaFileVntTest, MalformedFilesAreRejectedWithTheirMessages)
{
    NorlaFileVnt project;
    const QByteArray header = xmlOf(sample());
    const QByteArray audio("\x01\x02\x03\x04\x05\x06", 6);
    // The time shift may be left out, and bytes after the audio are ignored.
    QString noShift = QString::fromUtf8(header);
    noShift.remove(QRegularExpression("<timeShift_s>.*</timeShift_s>"));
    ASSERT_EQ(openBytes(fileBytes(noShift.toUtf8(), audio + QByteArray("junk")), project), QString());
    EXPECT_EQ(project.timeShift_s(), 0.0f);
    EXPECT_EQ(project.audioData(), audio);
    EXPECT_EQ(project.tuneName(), "Scotland the Brave");
    EXPECT_EQ(project.noteFrequencies().at("D"), 640.5f);

    EXPECT_EQ(openBytes(QByteArray("norla_vnt"), project), "The file appears to be too small.");
    EXPECT_EQ(openBytes(fileBytes(header, audio, 1, kActualSize, "norla_vnx   "), project),
              "This does not appear to be a vnt file");
    EXPECT_EQ(openBytes(fileBytes(header, audio, 0), project), "Unknown vnt file version");
    EXPECT_EQ(openBytes(fileBytes(header, audio, 2), project), QString()); // later versions are read
    EXPECT_EQ(openBytes(fileBytes(QByteArray(), QByteArray(), 1, 0), project), "Corrupt file header size");
    EXPECT_EQ(openBytes(fileBytes(header, audio, 1, header.size() + 7), project), "Corrupt file header size");
    EXPECT_EQ(openBytes(fileBytes(header, audio, 1, -5), project), "Corrupt file header size");
    EXPECT_EQ(openBytes(fileBytes(header, audio.left(4)), project), "File seems to be too small to contain audio");

    auto withElement = [&header](const char* element, const char* text) {
        QString xml = QString::fromUtf8(header);
        const int from = xml.indexOf(QString("<%1>").arg(element)) + static_cast<int>(strlen(element)) + 2;
        const int to = xml.indexOf(QString("</%1>").arg(element));
        return xml.replace(from, to - from, text).toUtf8();
    };
    EXPECT_EQ(openBytes(fileBytes(withElement("audioDataSize_B", "2147483647"), audio), project),
              "File seems to be too small to contain audio");
    QByteArray padded = header;
    padded.insert(padded.indexOf("<tuneName>"), QByteArray(70000, ' ')); // larger than any header
    EXPECT_EQ(openBytes(fileBytes(padded, audio), project), "Corrupt file header size");
    QByteArray zero = header;
    zero[100] = '\0';
    QString missing = QString::fromUtf8(header);
    missing.remove(QRegularExpression("<appVersion>.*</appVersion>"));
    // Values of the wrong kind, a NUL, a missing element, cut short (even
    // inside its closing tag) or nested deeper than the format.
    const QByteArray invalid[] = {
        withElement("bpm", "fast"), withElement("timeSigNumerator", "4.5"), withElement("audioDataSize_B", "-6"),
        withElement("D", "lots"), zero, missing.toUtf8(), header.left(header.size() / 2),
        header.left(header.lastIndexOf('>')), QByteArray("<a>").repeated(5000) + QByteArray("</a>").repeated(5000),
    };
    for (const QByteArray& bad : invalid)
        EXPECT_EQ(openBytes(fileBytes(bad, audio), project), "Invalid file header") << bad.right(60).toStdString();

    QString error;
    EXPECT_FALSE(project.open(path("nothing-here.vnt"), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(project.fromXml("<Other/>", error));
    EXPECT_FALSE(project.fromXml("not xml at all", error));
}

} // namespace
