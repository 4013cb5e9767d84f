#pragma once
// The substitute's live telemetry: a small driving model (session time,
// speed, fuel, laps, weather) that declares its variables on an image writer
// and fills the writer's staging sample.

#include "tools/sim/SessionTextGenerator.h"
#include "tools/sim/TelemetryImageWriter.h"

namespace sim {

// Race laps pass quickly so the demo shows laps and results moving.
constexpr double kLapSeconds = 10.0;
constexpr float kFuelMaxLitres = 120.0f;    // the session text's DriverCarFuelMaxLtr
constexpr float kFuelKgPerLitre = 0.75f;    // the session text's DriverCarFuelKgPerLtr
constexpr float kFuelRefillBelowLitres = 5.0f;
constexpr float kMinLiveSpeed = 35.0f;      // m/s
constexpr float kMaxLiveSpeed = 85.0f;
constexpr int kCarSlots = 64;               // per-car arrays
constexpr int kSessionFlagGreen = 0x00000004;
constexpr int kDisplayUnitsMetric = 1;

class LiveSample {
public:
    // Declares the variables on `writer`; call before the writer's layout().
    LiveSample(TelemetryImageWriter &writer, int drivers);

    // Back to the start of the session, as after a restart.
    void reset();
    void advance(double seconds);

    void setSessionNum(int sessionNum) { sessionNum_ = sessionNum; }
    // A fixed speed stays until liveSpeed().
    void fixSpeed(float metresPerSecond);
    void liveSpeed() { speedFixed_ = false; }

    double sessionTime() const { return sessionTime_; }
    float speed() const;
    float fuelLevel() const { return fuel_; }
    // Laps the player has completed, and so the race leader's as well.
    int lapsComplete() const;
    int sessionNum() const { return sessionNum_; }

    // Fills the writer's staging sample with the current values.
    void write(TelemetryImageWriter &writer) const;

private:
    float fuelUsePerHour() const; // kg per hour at the current speed

    int drivers_;
    double sessionTime_ = 0.0;
    float fuel_ = 0.0f;
    int sessionNum_ = kRaceSessionNum;
    bool speedFixed_ = false;
    float fixedSpeed_ = 0.0f;

    struct Vars {
        int sessionTime, sessionNum, sessionLapsRemain, sessionFlags, displayUnits, isOnTrack,
            isReplayPlaying, playerCarPosition, playerCarClassPosition, raceLaps, lap, speed,
            trackTempCrew, airTemp, weatherType, skies, airDensity, airPressure, windVel, windDir,
            relativeHumidity, fogLevel, fuelLevel, fuelLevelPct, fuelUsePerHour, playerCarIdx, carIdxLap,
            carIdxLapDistPct, carIdxPosition;
    } v_{};
};

} // namespace sim
