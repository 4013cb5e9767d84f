#include "tools/sim/SessionTextGenerator.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <vector>

namespace sim {

namespace {

const char *const kFirstNames[] = {"Jürgen", "José", "François", "Søren", "Zoë", "Björn", "Ana", "Mikko",
                                   "Renée", "Łukasz", "Chloé", "Ömer", "Max", "Núria", "Sam", "Ines"};
const char *const kLastNames[] = {"Müller", "Pérez", "Lefèvre", "Ødegaard", "Brontë", "Åström", "Gonçalves",
                                  "Häkkinen", "Dvořák", "Kowalski", "Martín", "Şahin", "Smith", "García",
                                  "O'Neill", "Schröder"};
constexpr int kNameCount = 16;

const char *const kLicences[] = {"R", "D", "C", "B", "A"};
const char *const kLicenceColors[] = {"0xfc0706", "0xfc8a27", "0xfeec04", "0x00c702", "0x0153db"};
const char *const kClubs[] = {"DE-AT-CH", "Iberia", "France", "Scandinavia", "UK and I", "Benelux"};

struct Result {
    int carIdx;
    int laps;
    double fastest;
    double last;
    double time;
};

// Deterministic per car, so the same options give the same text.
double lapTime(int carIdx, int session)
{
    return 92.0 + ((carIdx * 37 + session * 11) % 53) * 0.047;
}

std::string seconds(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.4f", value);
    return buffer;
}

void writeResults(std::ostringstream &out, int drivers, int session, int laps)
{
    std::vector<Result> results;
    for (int car = 0; car < drivers; ++car) {
        const double lap = lapTime(car, session);
        results.push_back({car, laps, lap - 0.3, lap, lap * laps});
    }
    std::stable_sort(results.begin(), results.end(), [&](const Result &a, const Result &b) {
        return session == kRaceSessionNum ? a.time < b.time : a.fastest < b.fastest;
    });
    if (laps == 0) {
        out << "   ResultsPositions: \n";
        return;
    }
    out << "   ResultsPositions:\n";
    for (std::size_t i = 0; i < results.size(); ++i) {
        const Result &r = results[i];
        out << "   - Position: " << i + 1 << "\n"
            << "     ClassPosition: " << i << "\n"
            << "     CarIdx: " << r.carIdx << "\n"
            << "     Lap: " << r.laps << "\n"
            << "     Time: " << seconds(session == kRaceSessionNum ? r.time : r.fastest) << "\n"
            << "     FastestLap: " << std::max(1, r.laps - 1) << "\n"
            << "     FastestTime: " << seconds(r.fastest) << "\n"
            << "     LastTime: " << seconds(r.last) << "\n"
            << "     LapsLed: 0\n"
            << "     LapsComplete: " << r.laps << "\n"
            << "     Incidents: " << (r.carIdx * 7 + session) % 9 << "\n"
            << "     ReasonOutId: 0\n"
            << "     ReasonOutStr: Running\n";
    }
}

} // namespace

std::string driverName(int carIdx)
{
    const int first = carIdx % kNameCount;
    const int last = (carIdx / kNameCount + carIdx * 5) % kNameCount;
    std::string name = std::string(kFirstNames[first]) + " " + kLastNames[last];
    if (carIdx >= kNameCount)
        name += " " + std::to_string(carIdx / kNameCount + 1);
    return name;
}

std::string generateSessionText(const SessionTextOptions &options)
{
    const int drivers = std::clamp(options.drivers, kMinDrivers, kMaxDrivers);
    const int raceLaps = std::clamp(options.raceLapsComplete, 0, kRaceLaps);
    std::ostringstream out;
    out << "---\n"
        << "WeekendInfo:\n"
        << " TrackName: " << options.trackName << "\n"
        << " TrackID: 163\n"
        << " TrackLength: 7.00 km\n"
        << " TrackDisplayName: Circuit de Spa-Francorchamps\n"
        << " TrackDisplayShortName: Spa\n"
        << " TrackCity: Stavelot\n"
        << " TrackCountry: Belgium\n"
        << " NumCarTypes: 1\n"
        << " NumCarClasses: 1\n"
        << " NumStarters: " << drivers << "\n"
        << " WeekendOptions:\n"
        << "  NumStarters: " << drivers << "\n"
        << "  WeatherType: Constant\n"
        << "\n"
        << "SessionInfo:\n"
        << " NumSessions: 3\n"
        << " Sessions:\n";
    struct Session {
        const char *type;
        const char *name;
        const char *laps;
        const char *time;
        int lapsToAvg;
        int lapsDone;
    };
    const Session sessions[] = {
        {"Practice", "PRACTICE", "unlimited", "3600.0000 sec", 0, 12},
        {"Lone Qualify", "QUALIFY", "2", "900.0000 sec", 2, 2},
        {"Race", "RACE", "30", "unlimited", 1, raceLaps},
    };
    for (int s = 0; s < 3; ++s) {
        out << " - SessionNum: " << s << "\n"
            << "   SessionLaps: " << sessions[s].laps << "\n"
            << "   SessionTime: " << sessions[s].time << "\n"
            << "   SessionNumLapsToAvg: " << sessions[s].lapsToAvg << "\n"
            << "   SessionType: " << sessions[s].type << "\n"
            << "   SessionName: " << sessions[s].name << "\n";
        writeResults(out, drivers, s, sessions[s].lapsDone);
    }
    out << "\n"
        << "DriverInfo:\n"
        << " DriverCarIdx: 0\n"
        << " DriverCarFuelKgPerLtr: 0.750\n"
        << " DriverCarFuelMaxLtr: 120.000\n"
        << " DriverCarMaxFuelPct: 1.000\n"
        << " DriverCarEstLapTime: " << seconds(lapTime(0, 0)) << "\n"
        << " Drivers:\n";
    for (int car = 0; car < drivers; ++car) {
        const int licence = (car * 3 + 4) % 5;
        out << " - CarIdx: " << car << "\n"
            << "   UserName: " << encodeText(driverName(car), options.codePage) << "\n"
            << "   UserID: " << 100000 + car * 131 << "\n"
            << "   CarID: 132\n"
            << "   CarScreenName: BMW M4 GT3\n"
            << "   CarNumber: \"" << car + 1 << "\"\n"
            << "   CarNumberRaw: " << car + 1 << "\n"
            << "   IRating: " << 1350 + (car * 397) % 3600 << "\n"
            << "   LicLevel: " << licence * 4 + 1 + car % 4 << "\n"
            << "   LicSubLevel: " << 100 + (car * 61) % 399 << "\n"
            << "   LicString: " << kLicences[licence] << " " << (car * 61) % 399 / 100 + 1 << "."
            << (car * 7) % 100 / 10 << (car * 7) % 10 << "\n"
            << "   LicColor: " << kLicenceColors[licence] << "\n"
            << "   ClubName: " << kClubs[car % 6] << "\n"
            << "   DivisionName: Division " << car % 10 + 1 << "\n";
    }
    out << "\n...\n";
    return out.str();
}

} // namespace sim
