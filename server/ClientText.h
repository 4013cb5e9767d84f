#pragma once
// Text that comes from a client or goes to one: made safe to show as one
// line, and cut to fit a frame without splitting a character.

#include <QByteArray>
#include <QString>

// `text` with every C0 and C1 control character, U+2028 and U+2029 replaced
// by U+FFFD, so a client cannot start lines of its own in a log.
QString printableText(const QString &text);

// The longest start of the UTF-8 bytes `utf8` that is at most `maxBytes`
// long and does not end inside a multi-byte sequence.
QByteArray utf8Prefix(const QByteArray &utf8, int maxBytes);
