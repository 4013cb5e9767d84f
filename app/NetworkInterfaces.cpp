#include "app/NetworkInterfaces.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QNetworkAddressEntry>
#include <QNetworkInterface>

QList<NetworkEntry> usableNetworkEntries(const QList<NetworkInterfaceRecord> &interfaces)
{
    QList<NetworkEntry> entries;
    for (const NetworkInterfaceRecord &iface : interfaces) {
        if (!iface.running || !iface.valid || iface.loopBack || iface.pointToPoint)
            continue;
        for (const NetworkInterfaceRecord::Address &address : iface.addresses) {
            if (!address.ipv4)
                continue;
            entries.append({address.text + QStringLiteral(" - ") + iface.humanReadableName,
                            address.text});
        }
    }
    return entries;
}

QList<NetworkInterfaceRecord> systemNetworkInterfaces()
{
    QList<NetworkInterfaceRecord> records;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &iface : all) {
        const QNetworkInterface::InterfaceFlags flags = iface.flags();
        NetworkInterfaceRecord record;
        record.humanReadableName = iface.humanReadableName();
        record.running = flags.testFlag(QNetworkInterface::IsRunning);
        record.valid = iface.isValid();
        record.loopBack = flags.testFlag(QNetworkInterface::IsLoopBack);
        record.pointToPoint = flags.testFlag(QNetworkInterface::IsPointToPoint);
        const QList<QNetworkAddressEntry> entries = iface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            const QHostAddress ip = entry.ip();
            record.addresses.append(
                {ip.toString(), ip.protocol() == QAbstractSocket::IPv4Protocol});
        }
        records.append(record);
    }
    return records;
}
