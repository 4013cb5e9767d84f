#include "model/SessionValue.h"

#include "simlink/SimClient.h"

#include <cstdarg>
#include <cstdio>

SessionPath::SessionPath(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text_, sizeof text_, format, args);
    va_end(args);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof text_)
        text_[0] = '\0'; // an empty path finds nothing
}

bool readSessionBytes(SimClient &client, const char *path, QByteArray &out)
{
    char buffer[kSessionValueBufferSize];
    if (client.sessionValue(path, buffer, kSessionValueBufferSize) != 1)
        return false;
    out = QByteArray(buffer); // up to the first zero byte
    return true;
}

namespace {
// Reads the value at `path` and stores convert(bytes) in `out`.
template <typename T, typename Convert>
bool readConverted(SimClient &client, const char *path, T &out, Convert convert)
{
    QByteArray bytes;
    if (!readSessionBytes(client, path, bytes))
        return false;
    out = convert(bytes);
    return true;
}

float floatFromSessionBytes(const QByteArray &bytes)
{
    // Converted as a float: a value beyond the float range reads as 0.
    bool ok = false;
    const float value = bytes.trimmed().toFloat(&ok);
    return ok ? value : 0.0f;
}
} // namespace

std::int32_t intFromSessionBytes(const QByteArray &bytes)
{
    bool ok = false;
    const int value = bytes.trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

double doubleFromSessionBytes(const QByteArray &bytes)
{
    // QByteArray converts in the C locale whatever the user's locale is.
    bool ok = false;
    const double value = bytes.trimmed().toDouble(&ok);
    return ok ? value : 0.0;
}

bool readSessionText(SimClient &client, const char *path, QString &out)
{
    return readConverted(client, path, out, [](const QByteArray &b) { return QString::fromUtf8(b); });
}

bool readSessionLocalText(SimClient &client, const char *path, QString &out)
{
    return readConverted(client, path, out, [](const QByteArray &b) { return QString::fromLocal8Bit(b); });
}

bool readSessionInt(SimClient &client, const char *path, std::int32_t &out)
{
    return readConverted(client, path, out, intFromSessionBytes);
}

bool readSessionDouble(SimClient &client, const char *path, double &out)
{
    return readConverted(client, path, out, doubleFromSessionBytes);
}

bool readSessionFloat(SimClient &client, const char *path, float &out)
{
    return readConverted(client, path, out, floatFromSessionBytes);
}
