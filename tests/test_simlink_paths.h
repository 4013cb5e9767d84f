#pragma once
// Every session-info path one poll of the program asks: the session facts,
// the roster (car indexes 0..99) and the results (positions 0..99).

#include <string>
#include <vector>

inline std::vector<std::string> pollPaths(int sessionNum = 2)
{
    std::vector<std::string> paths = {
        "WeekendInfo:TrackName:", "WeekendInfo:TrackDisplayShortName:", "WeekendInfo:NumCarTypes:",
        "WeekendInfo:NumCarClasses:", "WeekendInfo:NumStarters:", "SessionInfo:NumSessions:",
        "DriverInfo:DriverCarFuelKgPerLtr:", "DriverInfo:DriverCarFuelMaxLtr:",
        "DriverInfo:DriverCarMaxFuelPct:", "DriverInfo:DriverCarEstLapTime:", "DriverInfo:DriverCarIdx:"};
    const std::string session = "SessionInfo:Sessions:SessionNum:{" + std::to_string(sessionNum) + "}";
    for (const char *k : {"SessionType:", "SessionLaps:", "SessionNumLapsToAvg:", "SessionTime:"})
        paths.push_back(session + k);
    const char *roster[] = {"", "UserName:", "CarID:", "CarNumber:", "CarNumberRaw:", "IRating:", "LicLevel:",
                            "LicString:", "LicSubLevel:", "LicColor:", "DivisionName:", "ClubName:"};
    for (int car = 0; car < 100; ++car)
        for (const char *k : roster)
            paths.push_back("DriverInfo:Drivers:CarIdx:{" + std::to_string(car) + "}" + k);
    const char *results[] = {"", "ClassPosition:", "CarIdx:", "Lap:", "LapsComplete:", "Incidents:", "Time:",
                             "FastestLap:", "FastestTime:", "LastTime:", "ReasonOutStr:", "ReasonOutId:"};
    for (int pos = 0; pos < 100; ++pos)
        for (const char *k : results)
            paths.push_back(session + "ResultsPositions:Position:{" + std::to_string(pos) + "}" + k);
    return paths;
}
