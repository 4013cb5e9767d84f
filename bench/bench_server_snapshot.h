#pragma once
// The race snapshot the server benchmarks serve: 24 drivers with results,
// the simulator linked, telemetry that moves with the tick.

#include "model/irVariables.h"

namespace bench {

constexpr int kDrivers = 24;

inline irVariables benchSnapshot(int tick)
{
    irVariables vars;
    vars.simConnected = true;
    vars.numSessions = 3;
    vars.sessionType = QStringLiteral("Race");
    vars.sessionLength = 2700.0;
    vars.sessionLaps = 32767;
    vars.trackName = QStringLiteral("spa up");
    vars.trackDisplayShortName = QString::fromUtf8("Spa-Francorchamps \xe2\x80\x93 GP");
    vars.playerDriver.driverCarIdx = 3;
    vars.playerDriver.driverCarFuelMaxLtr = 110.0f;
    vars.playerDriver.driverCarEstLapTime = 137.2f;
    for (int i = 0; i < kDrivers; ++i) {
        irDriver d;
        d.carIdx = i;
        d.userName = QStringLiteral("Driver %1").arg(i);
        d.carNumber = QString::number(i + 1);
        d.carNumberRaw = i + 1;
        d.iRating = 1500 + 37 * i;
        d.licString = QStringLiteral("A 4.99");
        vars.drivers.append(d);
        irResult r;
        r.position = i + 1;
        r.carIdx = i;
        r.lapsComplete = 12;
        vars.results.append(r);
    }
    vars.sessionTime = 600.0 + tick * 0.5;
    vars.speed = 71.3f + static_cast<float>(tick % 10);
    vars.fuelLevel = 80.0f - 0.01f * static_cast<float>(tick);
    return vars;
}

} // namespace bench
