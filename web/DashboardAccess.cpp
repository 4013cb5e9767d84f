#include "web/DashboardAccess.h"

#include <QHostAddress>
#include <QList>

const char *const kPairingCookie = "pitlink";

namespace {

constexpr qint64 kFailureWindowMs = 60000;
// Past this many addresses with recent failures, new addresses are refused
// too: the table cannot be grown without bound from a spoofed range.
constexpr int kMaxFailingAddresses = 1024;

// The host part of a Host field: "[v6]:port" gives "v6", "name:port" gives
// "name"; an empty text when the port is no number.
QByteArray hostPart(const QByteArray &host)
{
    QByteArray name = host;
    QByteArray port;
    if (host.startsWith('[')) {
        const int close = host.indexOf(']');
        if (close < 0)
            return QByteArray();
        name = host.mid(1, close - 1);
        const QByteArray rest = host.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(':'))
            return QByteArray();
        port = rest.mid(1);
        if (rest.startsWith(':') && port.isEmpty())
            return QByteArray();
    } else if (host.count(':') == 1) {
        const int colon = host.indexOf(':');
        name = host.left(colon);
        port = host.mid(colon + 1);
        if (port.isEmpty())
            return QByteArray();
    } else if (host.contains(':')) {
        return QByteArray(); // an IPv6 address outside brackets
    }
    bool ok = true;
    if (!port.isEmpty() && (port.size() > 5 || port.toUInt(&ok, 10) > 65535 || !ok))
        return QByteArray();
    return name;
}

} // namespace

bool isOwnHost(const QByteArray &host, const QString &machineName)
{
    const QByteArray name = hostPart(host).toLower();
    if (name.isEmpty())
        return false;
    if (name == "localhost")
        return true;
    const QByteArray machine = machineName.toUtf8().toLower();
    if (!machine.isEmpty() && (name == machine || name == machine + ".local"))
        return true;
    // Only dotted decimal for IPv4: "127.1" or "0x7f.1" are names to a browser's address bar.
    QHostAddress address;
    if (!address.setAddress(QString::fromLatin1(name)))
        return false;
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        return host.startsWith('[');
    return name.count('.') == 3 && address.toString().toLatin1() == name;
}

bool isOwnOrigin(const QByteArray &origin, const QByteArray &host)
{
    return origin.isEmpty() || origin.toLower() == "http://" + host.toLower();
}

QByteArray cookieValue(const QByteArray &cookies, const QByteArray &name)
{
    for (const QByteArray &pair : cookies.split(';')) {
        const QByteArray item = pair.trimmed();
        const int equals = item.indexOf('=');
        if (equals > 0 && item.left(equals) == name)
            return item.mid(equals + 1);
    }
    return QByteArray();
}

bool sameSecret(const QByteArray &given, const QByteArray &secret)
{
    if (secret.isEmpty() || given.size() != secret.size())
        return false;
    unsigned char difference = 0;
    for (int i = 0; i < secret.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ secret[i]);
    return difference == 0;
}

bool hasMediaType(const QByteArray &contentType, const QByteArray &type)
{
    const int semicolon = contentType.indexOf(';');
    return contentType.left(semicolon < 0 ? contentType.size() : semicolon).trimmed().toLower() == type;
}

QString busiestAddress(const QHash<QString, int> &counts)
{
    QString busiest;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (busiest.isEmpty() || it.value() > most) {
            busiest = it.key();
            most = it.value();
        }
    }
    return busiest;
}

void PairingAttempts::forgetOld(QVector<qint64> &times, qint64 nowMs) const
{
    while (!times.isEmpty() && nowMs - times.first() >= kFailureWindowMs)
        times.removeFirst();
}

void PairingAttempts::forgetIdleAddressesIfFull(qint64 nowMs)
{
    if (failures.size() < kMaxFailingAddresses)
        return;
    for (auto it = failures.begin(); it != failures.end();) {
        forgetOld(*it, nowMs);
        it = it->isEmpty() ? failures.erase(it) : std::next(it);
    }
}

bool PairingAttempts::mayTry(const QString &address, qint64 nowMs)
{
    auto found = failures.find(address);
    if (found == failures.end()) {
        // Else a table filled once would turn every new address away for good.
        forgetIdleAddressesIfFull(nowMs);
        return failures.size() < kMaxFailingAddresses;
    }
    forgetOld(*found, nowMs);
    return found->size() < bound;
}

void PairingAttempts::failed(const QString &address, qint64 nowMs)
{
    forgetIdleAddressesIfFull(nowMs);
    if (failures.size() < kMaxFailingAddresses || failures.contains(address))
        failures[address].append(nowMs);
}
