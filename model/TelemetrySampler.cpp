#include "model/TelemetrySampler.h"

#include "simlink/SimClient.h"

namespace {
// Element 0 of each variable; the index is looked up at every sample since a
// restarted simulator may publish another list.
int readInt(const SimClient &c, const char *name) { return c.readInt(c.variableIndex(name), 0); }
float readFloat(const SimClient &c, const char *name) { return c.readFloat(c.variableIndex(name), 0); }
double readDouble(const SimClient &c, const char *name) { return c.readDouble(c.variableIndex(name), 0); }
bool readBool(const SimClient &c, const char *name) { return c.readBool(c.variableIndex(name), 0); }
std::int8_t lowByte(int value) { return static_cast<std::int8_t>(static_cast<std::uint8_t>(value & 0xff)); }
} // namespace

void sampleTelemetry(const SimClient &c, irVariables &vars)
{
    vars.sessionTime = readDouble(c, "SessionTime");
    vars.sessionNum = readInt(c, "SessionNum");
    vars.sessionLapsRemain = readInt(c, "SessionLapsRemain");
    vars.sessionFlags = readInt(c, "SessionFlags");
    vars.displayUnits = lowByte(readInt(c, "DisplayUnits"));
    vars.isOnTrack = readBool(c, "IsOnTrack");
    vars.isReplayPlaying = readBool(c, "IsReplayPlaying");
    vars.playerCarPosition = readInt(c, "PlayerCarPosition");
    vars.playerCarClassPosition = readInt(c, "PlayerCarClassPosition");
    vars.raceLaps = readInt(c, "RaceLaps");
    vars.playerLaps = readInt(c, "Lap");
    vars.speed = readFloat(c, "Speed");
    vars.trackTempCrew = readFloat(c, "TrackTempCrew");
    vars.airTemp = readFloat(c, "AirTemp");
    vars.weatherType = lowByte(readInt(c, "WeatherType"));
    vars.skies = lowByte(readInt(c, "Skies"));
    vars.airDensity = readFloat(c, "AirDensity");
    vars.airPressure = readFloat(c, "AirPressure");
    vars.windVel = readFloat(c, "WindVel");
    vars.windDir = readFloat(c, "WindDir");
    vars.relativeHumidity = readFloat(c, "RelativeHumidity");
    vars.fogLevel = readFloat(c, "FogLevel");
    vars.fuelLevel = readFloat(c, "FuelLevel");
    vars.fuelLevelPct = readFloat(c, "FuelLevelPct");
    vars.fuelUsePerHour = readFloat(c, "FuelUsePerHour");
    // Clients are sent the player's car index; the simulator publishes it.
    vars.playerCarIdx = readInt(c, "PlayerCarIdx");
}
