// The two data messages clients fetch (commands 207 and 208): flat JSON
// objects read straight from the record, start values included.

#include "model/irVariables.h"

#include <QJsonValue>

namespace {

// 32-bit floats travel widened, 8-bit fields as integers.
QJsonValue number(float value) { return QJsonValue(static_cast<double>(value)); }
QJsonValue number(std::int8_t value) { return QJsonValue(static_cast<int>(value)); }

} // namespace

QJsonObject irVariables::telemetryJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("SessionNum"), sessionNum);
    o.insert(QStringLiteral("SessionTimeSinceStarted"), sessionTime);
    o.insert(QStringLiteral("SessionLapsRemain"), sessionLapsRemain);
    o.insert(QStringLiteral("SessionFlags"), sessionFlags);
    o.insert(QStringLiteral("DisplayUnits"), number(displayUnits));
    o.insert(QStringLiteral("IsOnTrack"), isOnTrack);
    o.insert(QStringLiteral("IsReplayPlaying"), isReplayPlaying);
    o.insert(QStringLiteral("PlayerCarPosition"), playerCarPosition);
    o.insert(QStringLiteral("PlayerCarClassPosition"), playerCarClassPosition);
    o.insert(QStringLiteral("PlayerCarIdx"), playerCarIdx);
    o.insert(QStringLiteral("RaceLaps"), raceLaps);
    o.insert(QStringLiteral("PlayerLaps"), playerLaps);
    o.insert(QStringLiteral("Speed"), number(speed));
    o.insert(QStringLiteral("TrackTempCrew"), number(trackTempCrew));
    o.insert(QStringLiteral("AirTemp"), number(airTemp));
    o.insert(QStringLiteral("WeatherType"), number(weatherType));
    o.insert(QStringLiteral("Skies"), number(skies));
    o.insert(QStringLiteral("AirDensity"), number(airDensity));
    o.insert(QStringLiteral("AirPressure"), number(airPressure));
    o.insert(QStringLiteral("WindVel"), number(windVel));
    o.insert(QStringLiteral("WindDir"), number(windDir));
    o.insert(QStringLiteral("RelativeHumidity"), number(relativeHumidity));
    o.insert(QStringLiteral("FogLevel"), number(fogLevel));
    o.insert(QStringLiteral("FuelLevel"), number(fuelLevel));
    o.insert(QStringLiteral("FuelLevelPct"), number(fuelLevelPct));
    o.insert(QStringLiteral("FuelUsePerHour"), number(fuelUsePerHour));
    return o;
}

QJsonObject irVariables::sessionJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("SI.SessionType"), sessionType);
    o.insert(QStringLiteral("SI.SessionTime"), sessionLength);
    o.insert(QStringLiteral("SI.SessionNum"), sessionInfoNum);
    o.insert(QStringLiteral("SI.SessionLaps"), sessionLaps);
    o.insert(QStringLiteral("WI.Trackname"), trackName);
    o.insert(QStringLiteral("WI.TrackDisplayShortName"), trackDisplayShortName);
    o.insert(QStringLiteral("DI.DriverCarFuelKgPerLtr"), number(playerDriver.driverCarFuelKgPerLtr));
    o.insert(QStringLiteral("DI.DriverCarFuelMaxLtr"), number(playerDriver.driverCarFuelMaxLtr));
    o.insert(QStringLiteral("DI.DriverCarMaxFuelPct"), number(playerDriver.driverCarMaxFuelPct));
    o.insert(QStringLiteral("DI.DriverCarEstLapTime"), number(playerDriver.driverCarEstLapTime));
    return o;
}
