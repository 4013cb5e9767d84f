#pragma once
// How GoogleTest prints the Qt texts the suites compare, so a failed check
// shows the text rather than a list of bytes cut short. (A QStringList
// prints as a list of its strings through the QString printer.)

#include <QByteArray>
#include <QString>

#include <ostream>

// Bytes as a C string literal: printable ASCII as it is, the rest escaped.
inline void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    *out << '"';
    for (const char c : bytes) {
        if (c == '"' || c == '\\')
            *out << '\\' << c;
        else if (c >= 0x20 && c < 0x7f) // a byte above 0x7f is no ASCII, signed char or not
            *out << c;
        else
            *out << "\\x" << QByteArray(1, c).toHex().constData();
    }
    *out << '"';
}

inline void PrintTo(const QString &text, std::ostream *out) { PrintTo(text.toUtf8(), out); }
