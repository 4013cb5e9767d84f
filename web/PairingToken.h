#pragma once
// The dashboard's pairing secret: what a paired browser presents, and what
// the pairing address carries.

#include <QByteArray>
#include <QString>

// A new secret: 144 bits from the system's cryptographic random source, in
// URL-safe base64 without padding (24 characters).
QByteArray newPairingToken();

// Whether `token` is one that newPairingToken could have made: a stored
// value that is shorter or holds other characters is replaced, not used.
bool isPairingToken(const QByteArray &token);

// "http://ADDRESS:PORT/?pair=TOKEN"; an IPv6 address is put in brackets.
QString pairingAddress(const QString &address, quint16 port, const QByteArray &token);
