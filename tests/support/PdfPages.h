#pragma once

// The page count of a PDF as Qt writes it: the page tree's /Count (the
// tree is not compressed); -1 when the bytes are no PDF or have none.

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

inline int pdfPageCount(const QByteArray& pdf)
{
    if (!pdf.startsWith("%PDF-"))
        return -1;
    // (From the QByteArray itself, the text would end at the first NUL.)
    const QRegularExpressionMatch match = QRegularExpression("/Type\\s*/Pages\\b[^>]*/Count\\s+(\\d+)")
                                              .match(QString::fromLatin1(pdf.constData(), pdf.size()));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}
