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

// Litres a lap takes, from the fuel use per hour (kg) over the car's fuel
// density and estimated lap time; NaN when any of them is missing or not
// above 0.
double litresPerLap(const irVariables &v)
{
    const double kgPerLitre = v.playerDriver.driverCarFuelKgPerLtr;
    const double kgPerHour = v.fuelUsePerHour;
    const double lapTime = v.playerDriver.driverCarEstLapTime;
    if (!positiveFinite(kgPerLitre) || !positiveFinite(kgPerHour) || !positiveFinite(lapTime))
        return std::nan("");
    return kgPerHour / kgPerLitre * lapTime / kSecondsPerHour;
}

// Laps still to start after the current one, by the rule of remaining():
// the time left over the estimated lap time, rounded up, in a timed
// session, else the laps left; NaN when not known or not above 0.
double lapsToGo(const irVariables &v)
{
    if (std::isfinite(v.sessionLength) && v.sessionLength > 0.0) {
        const double left = v.sessionLength - v.sessionTime;
        const double lapTime = v.playerDriver.driverCarEstLapTime;
        if (!(v.sessionTime >= 0.0) || !positiveFinite(left) || !positiveFinite(lapTime))
            return std::nan("");
        return std::ceil(left / lapTime);
    }
    if (v.sessionLaps >= 0 && v.sessionLaps < kUnlimitedLaps && v.sessionLapsRemain > 0)
        return v.sessionLapsRemain;
    return std::nan("");
}

// The fuel to add to finish (those laps and the current one), "+"; or the
// fuel to spare, "-".
QString fuelToFinish(const irVariables &v, const Units &units)
{
    const double needed = (lapsToGo(v) + 1.0) * litresPerLap(v);
    if (!positiveFinite(v.fuelLevel) || !std::isfinite(needed))
        return kNoValue;
    double toAdd = needed - v.fuelLevel;
    if (units.imperial)
        toAdd *= kGallonsPerLitre;
    return (toAdd > 0.0 ? QStringLiteral("+") : QStringLiteral("-")) + fixed(std::fabs(toAdd), 1);
}

QString fuelLaps(const irVariables &v)
{
    const double perLap = litresPerLap(v);
    if (!positiveFinite(v.fuelLevel) || !std::isfinite(perLap))
        return kNoValue;
    return fixed(v.fuelLevel / perLap, 1);
}

QString temperature(float celsius, const Units &units)
{
    const double c = celsius;
    return fixed(units.imperial ? c * 9.0 / 5.0 + 32.0 : c, 1);
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
    const QString speed = fixed(v.windVel * units.speedFactor, 0);
    const QString direction = compass(v.windDir);
    if (speed == kNoValue || direction == kNoValue)
        return speed;
    return speed + QLatin1Char(' ') + direction;
}

// The page shows the unit on a line of its own, and none under a "-".
// Without the simulator every value is "-": what the snapshot holds then
// are start values, not the race.
QJsonObject tile(const irVariables &v, const char *id, const QString &label, const QString &value,
                 const char *unit = "")
{
    const bool known = v.simConnected && value != kNoValue;
    return QJsonObject{{QStringLiteral("id"), QLatin1String(id)},
                       {QStringLiteral("label"), label},
                       {QStringLiteral("value"), known ? value : kNoValue},
                       {QStringLiteral("unit"), known ? QString::fromUtf8(unit) : QString()}};
}

QJsonArray tiles(const irVariables &v)
{
    const Units units = unitsOf(v);
    const auto left = remaining(v);
    const double fuel = units.imperial ? v.fuelLevel * kGallonsPerLitre : v.fuelLevel;
    const char *volume = units.imperial ? "gal" : "l";
    const char *degrees = units.imperial ? "\xC2\xB0" "F" : "\xC2\xB0" "C";
    QJsonArray t;
    t.append(tile(v, "session", QStringLiteral("Session"), v.sessionType));
    t.append(tile(v, "remaining", left.first, left.second));
    t.append(tile(v, "lap", QStringLiteral("Lap"), QString::number(v.playerLaps)));
    t.append(tile(v, "position", QStringLiteral("Position"), placing(v.playerCarPosition)));
    t.append(tile(v, "classPosition", QStringLiteral("Class position"), placing(v.playerCarClassPosition)));
    t.append(tile(v, "speed", QStringLiteral("Speed"), fixed(v.speed * units.speedFactor, 0), units.speedUnit));
    t.append(tile(v, "fuel", QStringLiteral("Fuel"), fixed(fuel, 1), volume));
    t.append(tile(v, "fuelLaps", QStringLiteral("Fuel laps"), fuelLaps(v), "laps"));
    t.append(tile(v, "fuelFinish", QStringLiteral("Fuel to finish"), fuelToFinish(v, units), volume));
    t.append(tile(v, "trackTemp", QStringLiteral("Track"), temperature(v.trackTempCrew, units), degrees));
    t.append(tile(v, "airTemp", QStringLiteral("Air"), temperature(v.airTemp, units), degrees));
    t.append(tile(v, "sky", QStringLiteral("Sky"), skyText(v.skies)));
    t.append(tile(v, "wind", QStringLiteral("Wind"), windText(v, units), units.speedUnit));
    t.append(tile(v, "humidity", QStringLiteral("Humidity"), fixed(v.relativeHumidity * 100.0, 0), "%"));
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
        row.insert(QStringLiteral("player"), namesCar(player) && player == d.carIdx);
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

QByteArray dashboardStateMessage(irVariables vars, const QVector<ChatMacro> &macros,
                                 const QVector<DashboardKey> &keys)
{
    QJsonObject o;
    o.insert(QStringLiteral("connected"), vars.simConnected);
    o.insert(QStringLiteral("imperial"), unitsOf(vars).imperial);
    // Without the simulator its start value ("n/a") is no track.
    o.insert(QStringLiteral("track"), vars.simConnected ? vars.trackName : QString());
    o.insert(QStringLiteral("tiles"), tiles(vars));
    o.insert(QStringLiteral("standings"), standings(vars));
    QJsonArray buttons;
    for (const ChatMacro &m : macros)
        buttons.append(QJsonObject{{QStringLiteral("number"), m.number}, {QStringLiteral("text"), m.text}});
    o.insert(QStringLiteral("macros"), buttons);
    QJsonArray keyButtons;
    for (const DashboardKey &k : keys)
        keyButtons.append(QJsonObject{{QStringLiteral("label"), k.label}, {QStringLiteral("key"), k.key}});
    o.insert(QStringLiteral("keys"), keyButtons);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}
