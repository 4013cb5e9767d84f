#include "web/StateMessage.h"

#include "model/DriverStandings.h"
#include "ui/DriverTableCells.h"

#include <QJsonArray>
#include <QPair>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kKmhPerMs = 3.6;
constexpr double kMphPerMs = 2.23694;
constexpr double kGallonsPerLitre = 0.264172;
constexpr double kSecondsPerHour = 3600.0;
constexpr double kPi = 3.14159265358979323846;
constexpr int kImperialUnits = 0;

const QString kNoValue = QStringLiteral("-");

struct Units {
    bool imperial;
    double speedFactor;
    const char *speedUnit;
};

Units unitsOf(const irVariables &v)
{
    // 1 is metric; anything but 0 shows metric too.
    if (v.displayUnits == kImperialUnits)
        return {true, kMphPerMs, "mph"};
    return {false, kKmhPerMs, "km/h"};
}

bool positiveFinite(double value) { return std::isfinite(value) && value > 0.0; }

QString fixed(double value, int decimals)
{
    if (!std::isfinite(value))
        return kNoValue;
    return QString::number(value, 'f', decimals);
}

QString withUnit(const QString &value, const char *unit)
{
    return value == kNoValue ? value : value + QLatin1Char(' ') + QString::fromUtf8(unit);
}

QString clockText(double seconds)
{
    const long long whole = static_cast<long long>(seconds);
    const long long h = whole / 3600, m = (whole / 60) % 60, s = whole % 60;
    const QString mmss = QStringLiteral("%1:%2").arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
    return h > 0 ? QString::number(h) + QLatin1Char(':') + mmss : mmss;
}

// Time left when the session has a length, else laps left when it has a lap
// count; the label says which.
QPair<QString, QString> remaining(const irVariables &v)
{
    if (std::isfinite(v.sessionLength) && v.sessionLength > 0.0) {
        double left = v.sessionLength - std::max(v.sessionTime, 0.0);
        if (!std::isfinite(left) || left < 0.0)
            left = 0.0;
        return {QStringLiteral("Time left"), clockText(left)};
    }
    if (v.sessionLaps >= 0 && v.sessionLaps < kUnlimitedLaps)
        return {QStringLiteral("Laps left"), QString::number(std::max(v.sessionLapsRemain, 0))};
    return {QStringLiteral("Left"), kNoValue};
}

QString placing(int position) { return position > 0 ? QString::number(position) : kNoValue; }

QString fuelLaps(const irVariables &v)
{
    const double level = v.fuelLevel;
    const double kgPerLitre = v.playerDriver.driverCarFuelKgPerLtr;
    const double kgPerHour = v.fuelUsePerHour;
    const double lapTime = v.playerDriver.driverCarEstLapTime;
    if (!positiveFinite(level) || !positiveFinite(kgPerLitre) || !positiveFinite(kgPerHour)
        || !positiveFinite(lapTime))
        return kNoValue;
    return fixed(level * kgPerLitre * kSecondsPerHour / (kgPerHour * lapTime), 1);
}

QString temperature(float celsius, const Units &units)
{
    const double c = celsius;
    return units.imperial ? withUnit(fixed(c * 9.0 / 5.0 + 32.0, 1), "\xC2\xB0" "F")
                          : withUnit(fixed(c, 1), "\xC2\xB0" "C");
}

QString skyText(int skies)
{
    static const char *const names[] = {"clear", "partly cloudy", "mostly cloudy", "overcast"};
    return skies >= 0 && skies < 4 ? QLatin1String(names[skies]) : kNoValue;
}

QString compass(float radians)
{
    static const char *const points[] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
    if (!std::isfinite(radians))
        return kNoValue;
    double degrees = std::fmod(static_cast<double>(radians) * 180.0 / kPi, 360.0);
    if (degrees < 0.0)
        degrees += 360.0;
    return QLatin1String(points[static_cast<int>(std::lround(degrees / 45.0)) % 8]);
}

QString windText(const irVariables &v, const Units &units)
{
    const QString speed = withUnit(fixed(v.windVel * units.speedFactor, 0), units.speedUnit);
    const QString direction = compass(v.windDir);
    if (speed == kNoValue)
        return kNoValue;
    return direction == kNoValue ? speed : speed + QLatin1Char(' ') + direction;
}

QJsonObject tile(const char *id, const QString &label, const QString &value)
{
    return QJsonObject{{QStringLiteral("id"), QLatin1String(id)},
                       {QStringLiteral("label"), label},
                       {QStringLiteral("value"), value}};
}

QJsonArray tiles(const irVariables &v)
{
    const Units units = unitsOf(v);
    const auto left = remaining(v);
    const double fuel = units.imperial ? v.fuelLevel * kGallonsPerLitre : v.fuelLevel;
    QJsonArray t;
    t.append(tile("session", QStringLiteral("Session"), v.sessionType));
    t.append(tile("remaining", left.first, left.second));
    t.append(tile("lap", QStringLiteral("Lap"), QString::number(v.playerLaps)));
    t.append(tile("position", QStringLiteral("Position"), placing(v.playerCarPosition)));
    t.append(tile("classPosition", QStringLiteral("Class position"), placing(v.playerCarClassPosition)));
    t.append(tile("speed", QStringLiteral("Speed"),
                  withUnit(fixed(v.speed * units.speedFactor, 0), units.speedUnit)));
    t.append(tile("fuel", QStringLiteral("Fuel"), withUnit(fixed(fuel, 1), units.imperial ? "gal" : "l")));
    t.append(tile("fuelLaps", QStringLiteral("Fuel laps"), fuelLaps(v)));
    t.append(tile("trackTemp", QStringLiteral("Track"), temperature(v.trackTempCrew, units)));
    t.append(tile("airTemp", QStringLiteral("Air"), temperature(v.airTemp, units)));
    t.append(tile("sky", QStringLiteral("Sky"), skyText(v.skies)));
    t.append(tile("wind", QStringLiteral("Wind"), windText(v, units)));
    t.append(tile("humidity", QStringLiteral("Humidity"),
                  withUnit(fixed(v.relativeHumidity * 100.0, 0), "%")));
    return t;
}

// Only "#" and six hex digits reach the page as a colour.
QString safeColour(const QString &licColor)
{
    static const QRegularExpression hex(QStringLiteral("^#[0-9a-fA-F]{6}$"));
    const QString name = licenceColourName(licColor);
    return hex.match(name).hasMatch() ? name : QString();
}

QJsonArray standings(irVariables &v)
{
    applyResultPositions(v);
    const int player = v.playerDriver.driverCarIdx;
    QJsonArray rows;
    for (const irDriver &d : v.drivers) {
        const irResult r = resultForCar(v.results, d.carIdx);
        QJsonObject row;
        row.insert(QStringLiteral("pos"), driverCellText(kColumnPos, d, r));
        row.insert(QStringLiteral("car"), driverCellText(kColumnCarNumber, d, r));
        row.insert(QStringLiteral("name"), driverCellText(kColumnName, d, r));
        row.insert(QStringLiteral("licence"), driverCellText(kColumnLicence, d, r));
        row.insert(QStringLiteral("licColor"), safeColour(d.licColor));
        row.insert(QStringLiteral("iRating"), driverCellText(kColumnIRating, d, r));
        row.insert(QStringLiteral("best"), driverCellText(kColumnBestTime, d, r));
        row.insert(QStringLiteral("last"), driverCellText(kColumnLastTime, d, r));
        row.insert(QStringLiteral("player"), player != -1 && player == d.carIdx);
        rows.append(row);
    }
    return rows;
}

} // namespace

QVector<ChatMacro> chatMacroButtons(const QStringList &texts)
{
    QVector<ChatMacro> buttons;
    for (int i = 0; i < texts.size(); ++i) {
        if (!texts.at(i).trimmed().isEmpty())
            buttons.append({i + 1, texts.at(i)});
    }
    return buttons;
}

QByteArray dashboardStateMessage(irVariables vars, const QVector<ChatMacro> &macros)
{
    QJsonObject o;
    o.insert(QStringLiteral("connected"), vars.simConnected);
    o.insert(QStringLiteral("imperial"), unitsOf(vars).imperial);
    o.insert(QStringLiteral("track"), vars.trackName);
    o.insert(QStringLiteral("tiles"), tiles(vars));
    o.insert(QStringLiteral("standings"), standings(vars));
    QJsonArray buttons;
    for (const ChatMacro &m : macros)
        buttons.append(QJsonObject{{QStringLiteral("number"), m.number}, {QStringLiteral("text"), m.text}});
    o.insert(QStringLiteral("macros"), buttons);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}
