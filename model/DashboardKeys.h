#pragma once
// The key buttons of the browser dashboard: kept by Pitlink, so every paired
// page shows the same ones. A page sends the whole list at once; the
// settings file keeps it. Both come from outside and are checked here.

#include <QByteArray>
#include <QString>
#include <QVector>

struct DashboardKey {
    QString label; // trimmed, 1 to kMaxDashboardKeyLabel characters
    int key = 0;   // a Windows virtual-key code, as command 209 takes it
};

bool operator==(const DashboardKey &a, const DashboardKey &b);
inline bool operator!=(const DashboardKey &a, const DashboardKey &b) { return !(a == b); }

constexpr int kMaxDashboardKeys = 32;
constexpr int kMaxDashboardKeyLabel = 20;
constexpr int kMinDashboardKeyCode = 1;
constexpr int kMaxDashboardKeyCode = 254;

// Why `key` cannot be a button ("" when it can). The label is looked at as
// it stands: a caller trims it first.
QString dashboardKeyProblem(const DashboardKey &key);

struct DashboardKeysParse {
    bool ok = false;
    QVector<DashboardKey> keys; // on success
    QString reason;             // on failure, short, for the page
};

// The body of a page's `POST /keys`: {"keys":[{"label":"...","key":N}, ...]}.
// One bad entry refuses the whole list, so a page never gets half of what
// it sent.
DashboardKeysParse parseDashboardKeys(const QByteArray &body);

// What the settings file held, `stored` being the first entries of `total`:
// the valid ones, at most kMaxDashboardKeys, in order. Anything dropped is
// told in one line on the debug output.
QVector<DashboardKey> keptDashboardKeys(const QVector<DashboardKey> &stored, int total);
