// The snapshot's readers against a telemetry image: each case is a session
// text (or a published sample) and the fields read from it.

#include "fake_simulator.h"
#include "model/DriverRoster.h"
#include "model/SessionFacts.h"
#include "model/SessionResults.h"
#include "model/TelemetrySampler.h"

#include <gtest/gtest.h>

#include <QTextCodec>

#include <tuple>
#include <utility>
#include <vector>

using namespace telemetry;

namespace {

// The weekend, the sessions and the roster; user names in the local code page
// (Windows-1252 for the tests), the rest UTF-8.
const std::string kSessionText =
    "WeekendInfo:\n TrackName: spa 2022 gp\n TrackDisplayShortName: Spa\n NumCarTypes: 2\n NumCarClasses: 1\n"
    " NumStarters: 24\nSessionInfo:\n NumSessions: 3\n Sessions:\n"
    " - SessionNum: 0\n   SessionLaps: unlimited\n   SessionTime: 7200.0000 sec\n   SessionNumLapsToAvg: 0\n"
    "   SessionType: Practice\n   ResultsPositions:\n   - Position: 0\n     CarIdx: 9\n"
    "   - Position: 99\n     CarIdx: 4\n"
    " - SessionNum: 2\n   SessionLaps: 30\n   SessionTime: unlimited\n   SessionNumLapsToAvg: 5\n   SessionType: Race\n"
    "   ResultsPositions:\n   - Position: 1\n     ClassPosition: 2\n     CarIdx: 5\n     Lap: 12\n     Time: 1234.25\n"
    "     FastestLap: 7\n     FastestTime: 90.125\n     LastTime: 91.5\n     LapsComplete: 12\n     Incidents: 4\n"
    "     ReasonOutId: 3\n     ReasonOutStr: Running\n   - Position: 2\n     CarIdx: 0\n     LapsComplete: 11\n"
    "   - Position: 3\n     CarIdx: 1\n     Time: nan\n     FastestTime: inf\n     LastTime: -inf\n"
    "   - Position: 100\n     CarIdx: 2\n"
    // Laps and lengths: spaces around a number are dropped, what is no number reads as 0.
    " - SessionNum: 3\n   SessionLaps: 90 \n   SessionTime: 90 \n - SessionNum: 4\n   SessionLaps: Unlimited\n"
    "   SessionTime: Unlimited\n - SessionNum: 5\n   SessionLaps: 25 laps\n   SessionTime: 1,5\n"
    "DriverInfo:\n DriverCarIdx: 5\n DriverCarFuelKgPerLtr: 0.750\n DriverCarFuelMaxLtr: 120.000\n"
    " DriverCarMaxFuelPct: 1.000\n DriverCarEstLapTime: 91.2500\n Drivers:\n"
    " - CarIdx: 0\n   UserName: M\xfcller J\xf6rg\n   CarNumber: \"07\"\n   CarNumberRaw: 7\n   CarID: 132\n"
    "   IRating: 2841\n   LicLevel: 18\n   LicSubLevel: 3.49\n   LicString: A 3.49\n   LicColor: 0x0153db\n"
    "   ClubName: \xc3\x96sterreich\n   DivisionName: Division 2\n"
    " - CarIdx: 1\n   UserName: Bea\n   IRating: many\n   ClubName: " + std::string(2047, 'x') +
    "\n   DivisionName: " + std::string(2048, 'y') + "\n - CarIdx: 5\n   CarNumber: 55\n"
    " - CarIdx: 100\n   UserName: Outside\n";

auto shown(const irDriver &d)
{
    return std::make_tuple(d.carIdx, d.userName, d.carNumber, d.carNumberRaw, d.carId, d.iRating, d.licLevel,
                           d.licSubLevel, d.licString, d.licColor, d.clubName, d.divisionName, d.position);
}
auto shown(const irResult &r)
{
    return std::make_tuple(r.position, r.classPosition, r.carIdx, r.lap, r.time, r.fastestLap, r.fastestTime,
                           r.lastTime, r.lapsComplete, r.incidents, r.reasonOutId, r.reasonOutStr);
}
template <typename T> std::vector<decltype(shown(T()))> shown(const QVector<T> &all)
{
    std::vector<decltype(shown(T()))> out;
    for (const T &one : all)
        out.push_back(shown(one));
    return out;
}

class ModelReaders : public ::testing::Test {
protected:
    void SetUp() override { QTextCodec::setCodecForLocale(QTextCodec::codecForName("Windows-1252")); }
    void TearDown() override { QTextCodec::setCodecForLocale(nullptr); }
    FakeSimulator sim;
};

// Each reader takes its part of the one text.
TEST_F(ModelReaders, rosterResultsAndFactsOfTheAskedSession)
{
    sim.declare("SessionNum", kTypeInt);
    sim.build(kSessionText);
    sim.link();
    // Cars 0 to 99 in order.
    QVector<irDriver> drivers(1); // an old roster is replaced
    readDriverRoster(SimClient::shared(), drivers);
    using Driver = decltype(shown(irDriver()));
    EXPECT_EQ(shown(drivers),
              (std::vector<Driver>{
                  {0, QString::fromUtf8("M\xc3\xbcller J\xc3\xb6rg"), "\"07\"", 7, 132, 2841, 18.0, 3.49, "A 3.49",
                   "0x0153db", QString::fromUtf8("\xc3\x96sterreich"), "Division 2", kNoPosition},
                  // No number reads as 0; 2047 bytes and the zero byte fit the buffer, 2048 are not taken.
                  {1, "Bea", "", 0, 0, 0, 0.0, 0.0, "", "", QString(2047, 'x'), "", kNoPosition},
                  // No user name: listed, but it cannot be joined to a result.
                  {-1, "", "55", 0, 0, 0, 0.0, 0.0, "", "", "", "", kNoPosition},
              }));

    // The asked session's results, positions up to 99.
    QVector<irResult> results;
    using Result = decltype(shown(irResult()));
    readSessionResults(SimClient::shared(), 2, results);
    EXPECT_EQ(shown(results), (std::vector<Result>{
                                  {1, 2, 5, 12, 1234.25f, 7, 90.125f, 91.5f, 12, 4, 3, "Running"},
                                  {2, 0, 0, -1, 0.0f, -1, 0.0f, 0.0f, 11, 0, 0, ""}, // missing keys: start values
                                  {3, 0, 1, -1, 0.0f, -1, 0.0f, 0.0f, -1, 0, 0, ""}, // times not finite: none given
                              }));
    readSessionResults(SimClient::shared(), 0, results);
    EXPECT_EQ(shown(results), (std::vector<Result>{{0, 0, 9, -1, 0.0f, -1, 0.0f, 0.0f, -1, 0, 0, ""},
                                                   {99, 0, 4, -1, 0.0f, -1, 0.0f, 0.0f, -1, 0, 0, ""}}));
    readSessionResults(SimClient::shared(), 1, results);
    EXPECT_TRUE(results.isEmpty()) << "a session without a results table";

    // The facts follow the session number.
    irVariables v;
    readWeekendFacts(SimClient::shared(), v);
    EXPECT_EQ(std::make_tuple(v.trackName, v.trackDisplayShortName, v.numCarTypes, v.numCarClasses, v.numStarters,
                              v.numSessions),
              std::make_tuple(QString("spa 2022 gp"), QString("Spa"), 2, 1, 24, 3));
    const auto session = [&v] {
        return std::make_tuple(v.sessionType, v.sessionLaps, v.sessionLength, v.sessionNumLapsToAvg, v.sessionInfoNum);
    };
    const struct {
        int num;
        decltype(session()) expected;
    } cases[] = {
        {0, {"Practice", kUnlimitedLaps, 7200.0, 0, 0}},
        {3, {"Practice", 90, 90.0, 0, 3}},
        {4, {"Practice", 0, 0.0, 0, 4}}, // case-sensitive
        {5, {"Practice", 0, 0.0, 0, 5}}, // "25 laps"; "1,5" in the C locale
        {2, {"Race", 30, kUnlimitedTime, 5, 2}},
        {7, {"Race", 30, kUnlimitedTime, 5, 7}}, // a session the text does not describe changes nothing
    };
    for (const auto &c : cases) {
        v.sessionNum = c.num;
        readSessionFacts(SimClient::shared(), v);
        EXPECT_EQ(session(), c.expected) << c.num;
        const irDriver &p = v.playerDriver;
        EXPECT_EQ(std::make_tuple(p.driverCarIdx, p.driverCarFuelKgPerLtr, p.driverCarFuelMaxLtr,
                                  p.driverCarMaxFuelPct, p.driverCarEstLapTime),
                  std::make_tuple(5, 0.75f, 120.0f, 1.0f, 91.25f));
    }
}

// Types are the client's concern (the link's tests): here each field comes
// from its own variable, a byte field from the low byte.
TEST_F(ModelReaders, telemetrySamplingTakesEachFieldFromItsVariable)
{
    const std::pair<const char *, double> values[] = {
        {"SessionTime", 4321.25}, {"Speed", 61.5}, {"FuelLevel", 42.5}, // doubles, the rest ints
        {"SessionNum", 2}, {"SessionFlags", 0x10004}, {"DisplayUnits", 1}, {"IsOnTrack", 1}, {"WeatherType", 300},
        {"Skies", -1}, {"RaceLaps", 3}, {"Lap", 4}, {"PlayerCarIdx", 7}};
    for (const auto &v : values)
        sim.declare(v.first, &v < values + 3 ? kTypeDouble : kTypeInt);
    sim.build("");
    sim.link();
    for (const auto &v : values)
        &v < values + 3 ? sim.setDouble(v.first, v.second) : sim.setInt(v.first, static_cast<int>(v.second));
    sim.deliver();
    irVariables v;
    v.airTemp = 99.0f; // not published: reads as 0
    sampleTelemetry(SimClient::shared(), v);
    EXPECT_EQ(std::make_tuple(v.sessionTime, v.sessionNum, v.sessionFlags, int{v.displayUnits}, v.isOnTrack,
                              v.isReplayPlaying, int{v.weatherType}, int{v.skies}, v.raceLaps, v.playerLaps, v.speed,
                              v.fuelLevel, v.airTemp, v.playerCarIdx),
              std::make_tuple(4321.25, 2, 0x10004, 1, true, false, 44 /* low 8 bits of 300 */, -1, 3, 4, 61.5f, 42.5f,
                              0.0f, 7));
}

} // namespace
