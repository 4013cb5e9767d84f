#pragma once
// The machine's usable IPv4 addresses, as the network list of the main
// window shows them. The filter is a pure function over plain records so it
// can be checked without the machine's real interfaces.

#include <QList>
#include <QString>

struct NetworkInterfaceRecord {
    QString humanReadableName;
    bool running = false;
    bool valid = false;
    bool loopBack = false;
    bool pointToPoint = false;
    struct Address {
        QString text; // dotted (IPv4) or colon (IPv6) form
        bool ipv4 = false;
    };
    QList<Address> addresses;
};

struct NetworkEntry {
    QString text;    // "<address> - <interface name>"
    QString address; // the address alone
};

// One entry per IPv4 address of every running, valid interface that is
// neither loop-back nor point-to-point, in the order given.
QList<NetworkEntry> usableNetworkEntries(const QList<NetworkInterfaceRecord> &interfaces);

// The machine's interfaces as the system lists them.
QList<NetworkInterfaceRecord> systemNetworkInterfaces();
