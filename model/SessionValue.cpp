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

bool readSessionText(SimClient &client, const char *path, QString &out)
{
    QByteArray bytes;
    if (!readSessionBytes(client, path, bytes))
        return false;
    out = QString::fromUtf8(bytes);
    return true;
}

bool readSessionLocalText(SimClient &client, const char *path, QString &out)
{
    QByteArray bytes;
    if (!readSessionBytes(client, path, bytes))
        return false;
    out = QString::fromLocal8Bit(bytes);
    return true;
}

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

bool readSessionInt(SimClient &client, const char *path, std::int32_t &out)
{
    QByteArray bytes;
    if (!readSessionBytes(client, path, bytes))
        return false;
    out = intFromSessionBytes(bytes);
    return true;
}

bool readSessionDouble(SimClient &client, const char *path, double &out)
{
    QByteArray bytes;
    if (!readSessionBytes(client, path, bytes))
        return false;
    out = doubleFromSessionBytes(bytes);
    return true;
}

bool readSessionFloat(SimClient &client, const char *path, float &out)
{
    QByteArray bytes;
    if (!readSessionBytes(client, path, bytes))
        return false;
    // Converted as a float: a value beyond the float range reads as 0.
    bool ok = false;
    const float value = bytes.trimmed().toFloat(&ok);
    out = ok ? value : 0.0f;
    return true;
}
