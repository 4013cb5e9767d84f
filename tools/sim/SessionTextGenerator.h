#pragma once
// The session-info text the substitute publishes: weekend, sessions with
// their results and the driver list, in the simulator's indented form.

#include "tools/sim/CodePage.h"

#include <string>

namespace sim {

constexpr int kMinDrivers = 1;
constexpr int kMaxDrivers = 64;
constexpr int kDefaultDrivers = 24;
constexpr int kRaceSessionNum = 2;
constexpr int kRaceLaps = 30;

struct SessionTextOptions {
    int drivers = kDefaultDrivers;       // clamped to 1..64
    CodePage codePage = CodePage::Utf8;  // of the user names
    int raceLapsComplete = 0;            // the leader's completed race laps
    std::string trackName = "spa up";    // WeekendInfo:TrackName:
};

// The driver's user name as UTF-8 (before encoding); car 0 is the player.
std::string driverName(int carIdx);

std::string generateSessionText(const SessionTextOptions &options);

} // namespace sim
