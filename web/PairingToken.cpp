#include "web/PairingToken.h"

#include <QRandomGenerator>

namespace {
constexpr int kTokenWords = 5; // 20 bytes drawn, the first 18 used
constexpr int kTokenBytes = 18;
constexpr int kTokenChars = 24;
} // namespace

QByteArray newPairingToken()
{
    quint32 words[kTokenWords];
    // The system generator reads the operating system's cryptographic source.
    QRandomGenerator::system()->fillRange(words);
    const QByteArray bytes(reinterpret_cast<const char *>(words), kTokenBytes);
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

bool isPairingToken(const QByteArray &token)
{
    if (token.size() != kTokenChars)
        return false;
    for (const char c : token) {
        const bool urlSafe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
                             || c == '_';
        if (!urlSafe)
            return false;
    }
    return true;
}

QString pairingAddress(const QString &address, quint16 port, const QByteArray &token)
{
    const QString host = address.contains(QLatin1Char(':')) ? QLatin1Char('[') + address + QLatin1Char(']') : address;
    return QStringLiteral("http://%1:%2/?pair=%3").arg(host).arg(port).arg(QString::fromLatin1(token));
}
