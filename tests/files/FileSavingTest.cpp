// Writing a whole file never replaces a device with a file: /dev/null stays
// the device after output was sent to it (as root a rename would succeed).

#include "FileSaving.h"

#include <QFileInfo>
#include <gtest/gtest.h>

TEST(FileSaving, ADeviceIsWrittenInPlaceAndStaysADevice)
{
    const QString device = "/dev/null";
    if (!QFileInfo::exists(device) || QFileInfo(device).isFile())
        GTEST_SKIP() << "no null device here";
    QString error;
    EXPECT_TRUE(fileSaving::writeWholeFile(device, {QByteArray("notes"), QByteArray(100000, 'x')}, error))
        << error.toStdString();
    EXPECT_FALSE(QFileInfo(device).isFile());
    EXPECT_EQ(QFileInfo(device).size(), 0);
}
