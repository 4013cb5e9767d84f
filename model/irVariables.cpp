#include "model/irVariables.h"

#include <tuple>

const char *const kTextNotRead = "n/a";

namespace {

auto fields(const irDriver &d)
{
    return std::tie(d.driverCarIdx, d.position, d.carIdx, d.driverCarFuelKgPerLtr,
                    d.driverCarFuelMaxLtr, d.driverCarMaxFuelPct, d.driverCarEstLapTime, d.userName,
                    d.carNumber, d.carNumberRaw, d.carId, d.iRating, d.licLevel, d.licSubLevel,
                    d.licString, d.licColor, d.clubName, d.divisionName);
}

auto fields(const irResult &r)
{
    return std::tie(r.position, r.classPosition, r.carIdx, r.lap, r.time, r.fastestLap,
                    r.fastestTime, r.lastTime, r.lapsComplete, r.incidents, r.reasonOutId,
                    r.reasonOutStr);
}

auto fields(const irVariables &v)
{
    return std::tie(v.simConnected, v.numSessions, v.playerDriver, v.drivers, v.sessionInfoNum,
                    v.sessionLaps, v.sessionType, v.sessionLength, v.sessionNumLapsToAvg,
                    v.trackName, v.trackDisplayShortName, v.numStarters, v.numCarClasses,
                    v.numCarTypes, v.results, v.sessionNum, v.sessionFlags, v.sessionTime,
                    v.sessionLapsRemain, v.displayUnits, v.isOnTrack, v.isReplayPlaying,
                    v.playerCarPosition, v.playerCarClassPosition, v.playerCarIdx, v.raceLaps,
                    v.playerLaps, v.speed, v.trackTempCrew, v.airTemp, v.weatherType, v.skies,
                    v.airDensity, v.airPressure, v.windVel, v.windDir, v.relativeHumidity,
                    v.fogLevel, v.fuelLevel, v.fuelLevelPct, v.fuelUsePerHour);
}

} // namespace

bool irDriver::operator==(const irDriver &other) const { return fields(*this) == fields(other); }
bool irResult::operator==(const irResult &other) const { return fields(*this) == fields(other); }
bool irVariables::operator==(const irVariables &other) const
{
    return fields(*this) == fields(other);
}
