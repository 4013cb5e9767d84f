#pragma once
// Who may use the dashboard, decided from a request's head alone: the Host
// it was sent to (a name that could be rebound to this machine is refused),
// the page that sent it (Origin), and the pairing cookie. Pure functions and
// one small counter; the server calls them before it reads any body.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>

// The cookie a paired browser holds.
extern const char *const kPairingCookie;

// Whether `host` (the Host field: a name or address, with or without a
// port) names this machine in a way no other site can take over: an IPv4 or
// IPv6 address, "localhost", or `machineName` with or without ".local".
bool isOwnHost(const QByteArray &host, const QString &machineName);

// Whether a request that came in for `host` may carry `origin` (empty: the
// request had none): only the dashboard's own page, "http://" and the host
// exactly as the request names it.
bool isOwnOrigin(const QByteArray &origin, const QByteArray &host);

// The value of cookie `name` in a Cookie field, or an empty text.
QByteArray cookieValue(const QByteArray &cookies, const QByteArray &name);

// Compares two secrets in a time that does not depend on where they differ.
bool sameSecret(const QByteArray &given, const QByteArray &secret);

// Whether the media type of a Content-Type field is `type` (parameters such
// as "; charset=utf-8" aside, case ignored).
bool hasMediaType(const QByteArray &contentType, const QByteArray &type);

// The address with the most connections in `counts` (one of those tied);
// empty for an empty table.
QString busiestAddress(const QHash<QString, int> &counts);

// Wrong pairing tokens per address within the last minute. Past the bound an
// address's attempts are refused unchecked until its oldest failure ages out.
// Keeps a bounded number of addresses. One thread.
class PairingAttempts {
public:
    explicit PairingAttempts(int failuresPerMinute) : bound(failuresPerMinute) {}

    bool mayTry(const QString &address, qint64 nowMs);
    void failed(const QString &address, qint64 nowMs);

private:
    void forgetOld(QVector<qint64> &times, qint64 nowMs) const;
    // At the bound, drops the addresses whose failures have all aged out.
    void forgetIdleAddressesIfFull(qint64 nowMs);

    const int bound;
    QHash<QString, QVector<qint64>> failures;
};
