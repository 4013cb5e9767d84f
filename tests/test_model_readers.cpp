// The snapshot's readers against a telemetry image: each case is a session
// text (or a published sample) and the fields read from it.

#include "fake_simulator.h"
#include "model/DriverRoster.h"
#include "model/SessionFacts.h"
#include "model/SessionResults.h"
#include "model/SessionValue.h"
#include "model/TelemetrySampler.h"

#include <gtest/gtest.h>

#include <QTextCodec>

#include <sstream>
#include <string>

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
    // Laps and lengths: what is no number reads as 0.
    " - SessionNum: 4\n   SessionLaps: Unlimited\n"
    "   SessionTime: Unlimited\n"
    "DriverInfo:\n DriverCarIdx: 5\n DriverCarFuelKgPerLtr: 0.750\n DriverCarFuelMaxLtr: 120.000\n"
    " DriverCarMaxFuelPct: 1.000\n DriverCarEstLapTime: 91.2500\n Drivers:\n"
    " - CarIdx: 0\n   UserName: M\xfcller J\xf6rg\n   CarNumber: \"07\"\n   CarNumberRaw: 7\n   CarID: 132\n"
    "   IRating: 2841\n   LicLevel: 18\n   LicSubLevel: 3.49\n   LicString: A 3.49\n   LicColor: 0x0153db\n"
    "   ClubName: \xc3\x96sterreich\n   DivisionName: Division 2\n"
    " - CarIdx: 1\n   UserName: Bea\n   IRating: many\n   ClubName: " + std::string(2047, 'x') +
    "\n   DivisionName: " + std::string(2048, 'y') + "\n - CarIdx: 5\n   CarNumber: 55\n"
    " - CarIdx: 100\n   UserName: Outside\n";

std::ostream &operator<<(std::ostream &out, const QString &text) { return out << text.toStdString(); }

// A record as the names and values of the fields that left their start
// value, so a failure names the field.
template <typename T> std::string named(const char *name, const T &value, const T &start)
{
    std::ostringstream out;
    if (!(value == start))
        out << ' ' << name << '=' << value;
    return out.str();
}
// A byte field as its number.
std::string named(const char *name, std::int8_t value, std::int8_t start) { return named<int>(name, value, start); }
#define NAMED(field) named(#field, r.field, start.field)
std::string shown(const irDriver &r)
{
    const irDriver start;
    return NAMED(carIdx) + NAMED(userName) + NAMED(carNumber) + NAMED(carNumberRaw) + NAMED(carId) + NAMED(iRating)
           + NAMED(licLevel) + NAMED(licSubLevel) + NAMED(licString) + NAMED(licColor) + NAMED(clubName)
           + NAMED(divisionName) + NAMED(position) + NAMED(driverCarIdx) + NAMED(driverCarFuelKgPerLtr)
           + NAMED(driverCarFuelMaxLtr) + NAMED(driverCarMaxFuelPct) + NAMED(driverCarEstLapTime);
}
// The fields the weekend facts and the telemetry sampling fill.
std::string shown(const irVariables &r)
{
    const irVariables start;
    return NAMED(trackName) + NAMED(trackDisplayShortName) + NAMED(numCarTypes) + NAMED(numCarClasses)
           + NAMED(numStarters) + NAMED(numSessions) + NAMED(sessionTime) + NAMED(sessionNum) + NAMED(sessionLapsRemain)
           + NAMED(sessionFlags) + NAMED(displayUnits) + NAMED(isOnTrack) + NAMED(isReplayPlaying)
           + NAMED(playerCarPosition) + NAMED(playerCarClassPosition) + NAMED(raceLaps) + NAMED(playerLaps)
           + NAMED(speed) + NAMED(trackTempCrew) + NAMED(airTemp) + NAMED(weatherType) + NAMED(skies)
           + NAMED(airDensity) + NAMED(airPressure) + NAMED(windVel) + NAMED(windDir) + NAMED(relativeHumidity)
           + NAMED(fogLevel) + NAMED(fuelLevel) + NAMED(fuelLevelPct) + NAMED(fuelUsePerHour) + NAMED(playerCarIdx);
}
std::string shown(const irResult &r)
{
    const irResult start;
    return NAMED(position) + NAMED(classPosition) + NAMED(carIdx) + NAMED(lap) + NAMED(time) + NAMED(fastestLap)
           + NAMED(fastestTime) + NAMED(lastTime) + NAMED(lapsComplete) + NAMED(incidents) + NAMED(reasonOutId)
           + NAMED(reasonOutStr);
}
#undef NAMED
// A list as its records, one a line.
template <typename T> std::string shown(const QVector<T> &all)
{
    std::string out;
    for (const T &one : all)
        out += shown(one) + '\n';
    return out;
}

// Each reader takes its part of the one text.
TEST(ModelReaders, rosterResultsAndFactsOfTheAskedSessionThroughPathsEmptiedWhenTooLong)
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("Windows-1252"));
    FakeSimulator sim;
    sim.build(kSessionText);
    sim.link();
    // Cars 0 to 99 in order.
    QVector<irDriver> drivers(1); // an old roster is replaced
    readDriverRoster(SimClient::shared(), drivers);
    EXPECT_EQ(shown(drivers),
              " carIdx=0 userName=M\xc3\xbcller J\xc3\xb6rg carNumber=\"07\" carNumberRaw=7 carId=132 iRating=2841"
              " licLevel=18 licSubLevel=3.49 licString=A 3.49 licColor=0x0153db clubName=\xc3\x96sterreich"
              " divisionName=Division 2\n"
              // No number reads as 0; 2047 bytes and the zero byte fit the buffer, 2048 are not taken.
              " carIdx=1 userName=Bea clubName=" + std::string(2047, 'x') + "\n"
              // No user name: listed, but it cannot be joined to a result.
              " carNumber=55\n");

    // The asked session's results, positions up to 99.
    QVector<irResult> results;
    readSessionResults(SimClient::shared(), 2, results);
    EXPECT_EQ(shown(results),
              " position=1 classPosition=2 carIdx=5 lap=12 time=1234.25 fastestLap=7 fastestTime=90.125"
              " lastTime=91.5 lapsComplete=12 incidents=4 reasonOutId=3 reasonOutStr=Running\n"
              " position=2 carIdx=0 lapsComplete=11\n" // missing keys: start values
              " position=3 carIdx=1\n");               // times not finite: none given
    readSessionResults(SimClient::shared(), 0, results);
    EXPECT_EQ(shown(results), " position=0 carIdx=9\n position=99 carIdx=4\n");

    // The facts follow the session number.
    irVariables v;
    readWeekendFacts(SimClient::shared(), v);
    EXPECT_EQ(shown(v), " trackName=spa 2022 gp trackDisplayShortName=Spa numCarTypes=2 numCarClasses=1 numStarters=24"
                        " numSessions=3");
    // Unlimited laps read as 32767, an unlimited time as -1.
    const struct {
        const char *name;
        int num;
        QString facts;
    } cases[] = {
        {"laps unlimited, a length with its unit", 0, "type=Practice laps=32767 length=7200 lapsToAvg=0 infoNum=0"},
        {"'Unlimited' is no number: case-sensitive", 4, "type=Practice laps=0 length=0 lapsToAvg=0 infoNum=4"},
        {"time unlimited", 2, "type=Race laps=30 length=-1 lapsToAvg=5 infoNum=2"},
        {"a session the text does not describe changes nothing", 7, "type=Race laps=30 length=-1 lapsToAvg=5 infoNum=7"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        v.sessionNum = c.num;
        readSessionFacts(SimClient::shared(), v);
        EXPECT_EQ(QStringLiteral("type=%1 laps=%2 length=%3 lapsToAvg=%4 infoNum=%5").arg(v.sessionType).arg(v.sessionLaps).arg(v.sessionLength).arg(v.sessionNumLapsToAvg).arg(v.sessionInfoNum), c.facts);
    }
    EXPECT_EQ(shown(v.playerDriver), " driverCarIdx=5 driverCarFuelKgPerLtr=0.75 driverCarFuelMaxLtr=120"
                                     " driverCarMaxFuelPct=1 driverCarEstLapTime=91.25");
    // The readers' paths: one that does not fit is left empty, so it finds
    // nothing rather than a key its cut-off front happens to name.
    const std::string fits(191, 'x');
    EXPECT_EQ(std::string(SessionPath("%s", fits.c_str()).c_str()), fits);
    EXPECT_STREQ(SessionPath("%s", (fits + "x").c_str()).c_str(), "");
}

// Types are the client's concern (the link's tests), so every variable is a
// double here: each field comes from its own variable, a byte field from the
// low byte.
TEST(ModelReaders, telemetrySamplingTakesEachFieldFromItsVariable)
{
    FakeSimulator sim;
    const struct {
        const char *variable;
        double value;
    } values[] = {
        {"SessionTime", 4321.25},
        {"Speed", 61.5},
        {"FuelLevel", 42.5},
        {"SessionNum", 2},
        {"SessionFlags", 0x10004},
        {"DisplayUnits", 1},
        {"IsOnTrack", 1},
        {"WeatherType", 300},
        {"Skies", -1},
        {"RaceLaps", 3},
        {"Lap", 4},
        {"PlayerCarIdx", 7},
    };
    for (const auto &v : values)
        sim.declare(v.variable, kTypeDouble);
    sim.build("");
    sim.link();
    for (const auto &v : values)
        sim.setDouble(v.variable, v.value);
    sim.deliver();
    irVariables v;
    v.airTemp = 99.0f; // not published: reads as 0
    sampleTelemetry(SimClient::shared(), v);
    // WeatherType: the low 8 bits of 300; the unpublished fields at 0.
    EXPECT_EQ(shown(v), " sessionTime=4321.25 sessionNum=2 sessionFlags=65540 displayUnits=1 isOnTrack=1 raceLaps=3"
                        " playerLaps=4 speed=61.5 weatherType=44 skies=-1 fuelLevel=42.5 playerCarIdx=7");
}

} // namespace
