#include "server/ClientText.h"

namespace {

bool breaksLines(ushort c)
{
    return c < 0x20 || (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

} // namespace

QString printableText(const QString &text)
{
    QString result = text;
    for (QChar &ch : result) {
        if (breaksLines(ch.unicode()))
            ch = QChar(QChar::ReplacementCharacter);
    }
    return result;
}

QByteArray utf8Prefix(const QByteArray &utf8, int maxBytes)
{
    if (utf8.size() <= maxBytes)
        return utf8;
    if (maxBytes <= 0)
        return QByteArray();
    int end = maxBytes;
    // Back off to the lead byte of the sequence the cut falls into.
    while (end > 0 && isContinuationByte(utf8.at(end)))
        --end;
    return utf8.left(end);
}
