#pragma once
// The program's settings file: the only code that knows its location and
// keys. Safe to call from any thread: one lock serialises every access to
// the QSettings object, which is not meant to be shared between threads.

#include "model/DashboardKeys.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QVariant>

class QObject;
class QSettings;

class AppSettings {
public:
    // The server's port when none is stored.
    static constexpr quint16 kDefaultPort = 47812;

    // The writable data location followed by "/pitlink.ini".
    static QString defaultFilePath();

    // The QSettings object is a child of `parent`, which owns it and writes
    // it out when it is destroyed.
    explicit AppSettings(QObject *parent, const QString &filePath = defaultFilePath());

    AppSettings(const AppSettings &) = delete;
    AppSettings &operator=(const AppSettings &) = delete;

    QString fileName() const;

    QString documentsPath() const;
    void setDocumentsPath(const QString &path);
    QString serverIp() const;
    void setServerIp(const QString &ip);
    quint16 serverPort() const;
    void setServerPort(quint16 port);
    // The dashboard's port; 0 turns the dashboard off.
    quint16 webPort() const;
    bool autoStartServer() const;
    void setAutoStartServer(bool on);
    QString netInterface() const;
    void setNetInterface(const QString &entry);
    QByteArray mainWindowState() const;
    void setMainWindowState(const QByteArray &state);
    QByteArray mainWindowGeometry() const;
    void setMainWindowGeometry(const QByteArray &geometry);
    // The dashboard's pairing secret, as stored (checked by its user).
    QByteArray dashboardToken() const;
    void setDashboardToken(const QByteArray &token);
    bool driversWindowStayOnTop() const;
    void setDriversWindowStayOnTop(bool on);
    // The dashboard's key buttons: the valid ones of those stored (see
    // keptDashboardKeys); a list replaces the stored one whole.
    QVector<DashboardKey> dashboardKeys() const;
    void setDashboardKeys(const QVector<DashboardKey> &keys);

    // Writes pending changes to the file now; false when the file could not
    // be written (or read) at some point, e.g. a folder stands in its place.
    bool sync();

private:
    QVariant value(const char *key, const QVariant &fallback) const;
    void setValue(const char *key, const QVariant &value);

    QSettings *settings_;
    mutable QMutex lock_; // guards every call on *settings_
};

