#pragma once
// How GoogleTest prints the Qt values the suites compare, so a failed check
// shows the value rather than a raw dump or a list of bytes cut short. (A
// QStringList prints as a list of its strings through the QString printer;
// QColor, a GUI type, is printed by the drivers window's test.)

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMargins>
#include <QSize>
#include <QString>

#include <gtest/gtest.h>

#include <ostream>

// Bytes as GoogleTest prints a string: a C string literal, printable ASCII as
// it is, the rest escaped (and valid UTF-8 once more as text).
inline void PrintTo(const QByteArray &bytes, std::ostream *out) { *out << ::testing::PrintToString(bytes.toStdString()); }

inline void PrintTo(const QString &text, std::ostream *out) { PrintTo(text.toUtf8(), out); }
// A document holds only arrays and objects: the value as an array's one element.
inline void PrintTo(const QJsonValue &value, std::ostream *out)
{
    *out << QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).mid(1).chopped(1).constData();
}
inline void PrintTo(const QSize &s, std::ostream *out) { *out << s.width() << 'x' << s.height(); }
// As left top right bottom.
inline void PrintTo(const QMargins &m, std::ostream *out) { *out << m.left() << ' ' << m.top() << ' ' << m.right() << ' ' << m.bottom(); }
