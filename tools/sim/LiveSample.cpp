#include "tools/sim/LiveSample.h"

#include <algorithm>
#include <cmath>

using namespace telemetry;

namespace sim {

namespace {
constexpr double kTwoPi = 6.283185307179586;
// Car positions shuffle a little each lap; the player starts mid-field.
int positionOf(int car, int lap, int drivers)
{
    return (car + lap * 3 + drivers / 2) % drivers + 1;
}
} // namespace

LiveSample::LiveSample(TelemetryImageWriter &w, int drivers)
    : drivers_(std::clamp(drivers, kMinDrivers, kMaxDrivers))
{
    v_.sessionTime = w.addVariable("SessionTime", kTypeDouble);
    v_.sessionNum = w.addVariable("SessionNum", kTypeInt);
    v_.sessionLapsRemain = w.addVariable("SessionLapsRemain", kTypeInt);
    v_.sessionFlags = w.addVariable("SessionFlags", kTypeBitField);
    v_.displayUnits = w.addVariable("DisplayUnits", kTypeInt);
    v_.isOnTrack = w.addVariable("IsOnTrack", kTypeBool);
    v_.isReplayPlaying = w.addVariable("IsReplayPlaying", kTypeBool);
    v_.playerCarPosition = w.addVariable("PlayerCarPosition", kTypeInt);
    v_.playerCarClassPosition = w.addVariable("PlayerCarClassPosition", kTypeInt);
    v_.raceLaps = w.addVariable("RaceLaps", kTypeInt);
    v_.lap = w.addVariable("Lap", kTypeInt);
    v_.speed = w.addVariable("Speed", kTypeFloat);
    v_.trackTempCrew = w.addVariable("TrackTempCrew", kTypeFloat);
    v_.airTemp = w.addVariable("AirTemp", kTypeFloat);
    v_.weatherType = w.addVariable("WeatherType", kTypeInt);
    v_.skies = w.addVariable("Skies", kTypeInt);
    v_.airDensity = w.addVariable("AirDensity", kTypeFloat);
    v_.airPressure = w.addVariable("AirPressure", kTypeFloat);
    v_.windVel = w.addVariable("WindVel", kTypeFloat);
    v_.windDir = w.addVariable("WindDir", kTypeFloat);
    v_.relativeHumidity = w.addVariable("RelativeHumidity", kTypeFloat);
    v_.fogLevel = w.addVariable("FogLevel", kTypeFloat);
    v_.fuelLevel = w.addVariable("FuelLevel", kTypeFloat);
    v_.fuelLevelPct = w.addVariable("FuelLevelPct", kTypeFloat);
    v_.fuelUsePerHour = w.addVariable("FuelUsePerHour", kTypeFloat);
    v_.playerCarIdx = w.addVariable("PlayerCarIdx", kTypeInt);
    v_.carIdxLap = w.addVariable("CarIdxLap", kTypeInt, kCarSlots);
    v_.carIdxLapDistPct = w.addVariable("CarIdxLapDistPct", kTypeFloat, kCarSlots);
    v_.carIdxPosition = w.addVariable("CarIdxPosition", kTypeInt, kCarSlots);
    reset();
}

void LiveSample::reset()
{
    sessionTime_ = 0.0;
    fuel_ = kFuelMaxLitres * 0.5f;
}

void LiveSample::fixSpeed(float metresPerSecond)
{
    speedFixed_ = true;
    fixedSpeed_ = metresPerSecond;
}

float LiveSample::speed() const
{
    if (speedFixed_)
        return fixedSpeed_;
    // Two corners a lap: slow in, fast on the straights.
    const double phase = std::fmod(sessionTime_, kLapSeconds) / kLapSeconds;
    const double wave = 0.5 + 0.5 * std::cos(2.0 * kTwoPi * phase);
    return static_cast<float>(kMinLiveSpeed + (kMaxLiveSpeed - kMinLiveSpeed) * wave);
}

int LiveSample::lapsComplete() const
{
    return std::min(kRaceLaps, static_cast<int>(sessionTime_ / kLapSeconds));
}

float LiveSample::fuelUsePerHour() const
{
    // About 100 kg/h at racing speed, less when slow.
    return 20.0f + 1.2f * std::max(0.0f, speed());
}

void LiveSample::advance(double seconds)
{
    if (seconds <= 0)
        return;
    sessionTime_ += seconds;
    fuel_ -= static_cast<float>(fuelUsePerHour() / kFuelKgPerLitre * seconds / 3600.0);
    if (fuel_ < kFuelRefillBelowLitres)
        fuel_ = kFuelMaxLitres; // a pit stop
}

void LiveSample::write(TelemetryImageWriter &w) const
{
    const int done = lapsComplete();
    const int lap = done + 1;
    const int position = positionOf(0, lap, drivers_);
    const float t = static_cast<float>(sessionTime_);
    w.setDouble(v_.sessionTime, sessionTime_);
    w.setInt(v_.sessionNum, sessionNum_);
    w.setInt(v_.sessionLapsRemain, kRaceLaps - done);
    w.setInt(v_.sessionFlags, kSessionFlagGreen);
    w.setInt(v_.displayUnits, kDisplayUnitsMetric);
    w.setChar(v_.isOnTrack, 1);
    w.setChar(v_.isReplayPlaying, 0);
    w.setInt(v_.playerCarPosition, position);
    w.setInt(v_.playerCarClassPosition, position);
    w.setInt(v_.raceLaps, done);
    w.setInt(v_.lap, lap);
    w.setFloat(v_.speed, speed());
    w.setFloat(v_.trackTempCrew, 31.5f + 0.002f * t);
    w.setFloat(v_.airTemp, 22.0f + 0.5f * std::sin(t / 60.0f));
    w.setInt(v_.weatherType, 0);
    w.setInt(v_.skies, 1);
    w.setFloat(v_.airDensity, 1.19f);
    w.setFloat(v_.airPressure, 29.8f);
    w.setFloat(v_.windVel, 2.5f + std::sin(t / 7.0f));
    w.setFloat(v_.windDir, 1.2f + 0.1f * std::cos(t / 11.0f));
    w.setFloat(v_.relativeHumidity, 0.55f);
    w.setFloat(v_.fogLevel, 0.0f);
    w.setFloat(v_.fuelLevel, fuel_);
    w.setFloat(v_.fuelLevelPct, fuel_ / kFuelMaxLitres);
    w.setFloat(v_.fuelUsePerHour, fuelUsePerHour());
    w.setInt(v_.playerCarIdx, 0);
    const float distance = static_cast<float>(std::fmod(sessionTime_, kLapSeconds) / kLapSeconds);
    for (int car = 0; car < kCarSlots; ++car) {
        const bool inSession = car < drivers_;
        w.setInt(v_.carIdxLap, inSession ? lap : -1, car);
        w.setFloat(v_.carIdxLapDistPct, inSession ? std::fmod(distance + car * 0.013f, 1.0f) : -1.0f, car);
        w.setInt(v_.carIdxPosition, inSession ? positionOf(car, lap, drivers_) : 0, car);
    }
}

} // namespace sim
