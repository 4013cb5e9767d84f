#include "model/AppSettings.h"

#include <QDebug>
#include <QMutexLocker>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

#include <algorithm>

namespace {
const char *const kDocumentsPath = "paths/iracingdocument";
const char *const kServerIp = "main/ip";
const char *const kServerPort = "main/port";
const char *const kAutoStartServer = "main/autostartserver";
const char *const kNetInterface = "main/netinterface";
const char *const kWindowState = "main/windowstate";
const char *const kWindowGeometry = "main/windowgeometry";
const char *const kStayOnTop = "driverwindow/stayontop";
const char *const kWebPort = "main/webport";
// A list: keys\1\label, keys\1\key, ..., keys\size.
const char *const kDashboardKeys = "dashboard/keys";
const char *const kKeyLabel = "label";
const char *const kKeyCode = "key";
// Entries looked at in a file edited by hand; the rest only count as dropped.
constexpr int kDashboardKeysRead = 4 * kMaxDashboardKeys;
const char *const kDashboardToken = "dashboard/token";
constexpr quint16 kDefaultWebPort = 47813;
} // namespace

QString AppSettings::defaultFilePath()
{
    // DataLocation is deprecated in favour of AppLocalDataLocation, but it is
    // the location the settings file has always lived in.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    return QStandardPaths::writableLocation(QStandardPaths::DataLocation) +
           QStringLiteral("/pitlink.ini");
    QT_WARNING_POP
}

AppSettings::AppSettings(QObject *parent, const QString &filePath)
    : settings_(new QSettings(filePath, QSettings::IniFormat, parent))
{
    qDebug() << "Expecting settings at" << settings_->fileName();
}

QString AppSettings::fileName() const
{
    QMutexLocker locker(&lock_);
    return settings_->fileName();
}

QVariant AppSettings::value(const char *key, const QVariant &fallback) const
{
    QMutexLocker locker(&lock_);
    return settings_->value(QLatin1String(key), fallback);
}

void AppSettings::setValue(const char *key, const QVariant &value)
{
    QMutexLocker locker(&lock_);
    settings_->setValue(QLatin1String(key), value);
}

bool AppSettings::sync()
{
    QMutexLocker locker(&lock_);
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

QString AppSettings::documentsPath() const { return value(kDocumentsPath, QString()).toString(); }
void AppSettings::setDocumentsPath(const QString &path) { setValue(kDocumentsPath, path); }

QString AppSettings::serverIp() const { return value(kServerIp, QString()).toString(); }
void AppSettings::setServerIp(const QString &ip) { setValue(kServerIp, ip); }

quint16 AppSettings::serverPort() const
{
    // Only the low 16 bits of what is stored count: 70000 reads as 4464.
    return static_cast<quint16>(value(kServerPort, kDefaultPort).toUInt());
}
void AppSettings::setServerPort(quint16 port) { setValue(kServerPort, static_cast<int>(port)); }

quint16 AppSettings::webPort() const
{
    // Anything but a whole number from 0 to 65535 is a typing error: the
    // default keeps the dashboard where the README says it is.
    bool ok = false;
    const int port = value(kWebPort, kDefaultWebPort).toString().trimmed().toInt(&ok, 10);
    return ok && port >= 0 && port <= 0xFFFF ? static_cast<quint16>(port) : kDefaultWebPort;
}

bool AppSettings::autoStartServer() const { return value(kAutoStartServer, false).toBool(); }
void AppSettings::setAutoStartServer(bool on) { setValue(kAutoStartServer, on); }

QString AppSettings::netInterface() const { return value(kNetInterface, QString()).toString(); }
void AppSettings::setNetInterface(const QString &entry) { setValue(kNetInterface, entry); }

QByteArray AppSettings::mainWindowState() const
{
    return value(kWindowState, QByteArray()).toByteArray();
}
void AppSettings::setMainWindowState(const QByteArray &state) { setValue(kWindowState, state); }

QByteArray AppSettings::mainWindowGeometry() const
{
    return value(kWindowGeometry, QByteArray()).toByteArray();
}
void AppSettings::setMainWindowGeometry(const QByteArray &geometry)
{
    setValue(kWindowGeometry, geometry);
}

QByteArray AppSettings::dashboardToken() const
{
    return value(kDashboardToken, QString()).toString().toLatin1();
}
void AppSettings::setDashboardToken(const QByteArray &token)
{
    setValue(kDashboardToken, QString::fromLatin1(token));
}

bool AppSettings::driversWindowStayOnTop() const { return value(kStayOnTop, false).toBool(); }
void AppSettings::setDriversWindowStayOnTop(bool on) { setValue(kStayOnTop, on); }


QVector<DashboardKey> AppSettings::dashboardKeys() const
{
    QVector<DashboardKey> stored;
    int total = 0;
    {
        QMutexLocker locker(&lock_);
        total = settings_->beginReadArray(QLatin1String(kDashboardKeys));
        for (int i = 0; i < std::min(total, kDashboardKeysRead); ++i) {
            settings_->setArrayIndex(i);
            DashboardKey key;
            key.label = settings_->value(QLatin1String(kKeyLabel)).toString().trimmed();
            bool number = false;
            key.key = settings_->value(QLatin1String(kKeyCode)).toString().trimmed().toInt(&number, 10);
            if (!number)
                key.key = 0;
            stored.append(key);
        }
        settings_->endArray();
    }
    return keptDashboardKeys(stored, total);
}

void AppSettings::setDashboardKeys(const QVector<DashboardKey> &keys)
{
    QMutexLocker locker(&lock_);
    // Entries of a longer old list would stay behind the new size.
    settings_->remove(QLatin1String(kDashboardKeys));
    settings_->beginWriteArray(QLatin1String(kDashboardKeys), keys.size());
    for (int i = 0; i < keys.size(); ++i) {
        settings_->setArrayIndex(i);
        settings_->setValue(QLatin1String(kKeyLabel), keys.at(i).label);
        settings_->setValue(QLatin1String(kKeyCode), keys.at(i).key);
    }
    settings_->endArray();
}
