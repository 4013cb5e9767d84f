#include "model/SessionValue.h"

#include "simlink/SimClient.h"

bool readSessionBytes(SimClient &client, const QString &path, QByteArray &out)
{
    char buffer[kSessionValueBufferSize];
    const QByteArray utf8Path = path.toUtf8();
    if (client.sessionValue(utf8Path.constData(), buffer, kSessionValueBufferSize) != 1)
        return false;
    out = QByteArray(buffer); // up to the first zero byte
    return true;
}

bool readSessionText(SimClient &client, const QString &path, QString &out)
{
    QByteArray bytes;
    if (!readSessionBytes(client, path, bytes))
        return false;
    out = QString::fromUtf8(bytes);
    return true;
}

bool readSessionLocalText(SimClient &client, const QString &path, QString &out)
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

bool readSessionInt(SimClient &client, const QString &path, std::int32_t &out)
{
    QByteArray bytes;
    if (!readSessionBytes(client, path, bytes))
        return false;
    out = intFromSessionBytes(bytes);
    return true;
}

bool readSessionDouble(SimClient &client, const QString &path, double &out)
{
    QByteArray bytes;
    if (!readSessionBytes(client, path, bytes))
        return false;
    out = doubleFromSessionBytes(bytes);
    return true;
}

bool readSessionFloat(SimClient &client, const QString &path, float &out)
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
