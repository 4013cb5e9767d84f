// The snapshot's readers against a telemetry image: roster, results, session
// facts and telemetry sampling.

#include "fake_simulator.h"
#include "model/DriverRoster.h"
#include "model/SessionFacts.h"
#include "model/SessionResults.h"
#include "model/TelemetrySampler.h"

#include <gtest/gtest.h>

#include <QTextCodec>

using namespace telemetry;

namespace {

// Names in the local code page: Windows-1252 on every machine for the tests.
const std::string kRoster = "DriverInfo:\n"
                            " DriverCarIdx: 5\n"
                            " DriverCarFuelKgPerLtr: 0.750\n"
                            " DriverCarFuelMaxLtr: 120.000\n"
                            " DriverCarMaxFuelPct: 1.000\n"
                            " DriverCarEstLapTime: 91.2500\n"
                            " Drivers:\n"
                            " - CarIdx: 0\n"
                            "   UserName: M\xfcller J\xf6rg\n"
                            "   CarNumber: \"07\"\n"
                            "   CarNumberRaw: 7\n"
                            "   CarID: 132\n"
                            "   IRating: 2841\n"
                            "   LicLevel: 18\n"
                            "   LicSubLevel: 3.49\n"
                            "   LicString: A 3.49\n"
                            "   LicColor: 0x0153db\n"
                            "   ClubName: \xc3\x96sterreich\n"
                            "   DivisionName: Division 2\n"
                            " - CarIdx: 1\n"
                            "   UserName: Bea\n"
                            "   IRating: many\n"
                            " - CarIdx: 5\n"
                            "   CarNumber: 55\n"
                            " - CarIdx: 100\n"
                            "   UserName: Outside\n";

const std::string kResults = "SessionInfo:\n"
                             " NumSessions: 3\n"
                             " Sessions:\n"
                             " - SessionNum: 0\n"
                             "   SessionLaps: unlimited\n"
                             "   SessionTime: 7200.0000 sec\n"
                             "   SessionNumLapsToAvg: 0\n"
                             "   SessionType: Practice\n"
                             "   ResultsPositions:\n"
                             "   - Position: 0\n"
                             "     CarIdx: 9\n"
                             "   - Position: 1\n"
                             "     CarIdx: 4\n"
                             " - SessionNum: 2\n"
                             "   SessionLaps: 30\n"
                             "   SessionTime: unlimited\n"
                             "   SessionNumLapsToAvg: 5\n"
                             "   SessionType: Race\n"
                             "   ResultsPositions:\n"
                             "   - Position: 1\n"
                             "     ClassPosition: 0\n"
                             "     CarIdx: 5\n"
                             "     Lap: 12\n"
                             "     Time: 1234.5678\n"
                             "     FastestLap: 7\n"
                             "     FastestTime: 90.125\n"
                             "     LastTime: 91.5\n"
                             "     LapsComplete: 12\n"
                             "     Incidents: 4\n"
                             "     ReasonOutId: 0\n"
                             "     ReasonOutStr: Running\n"
                             "   - Position: 2\n"
                             "     CarIdx: 0\n"
                             "     LapsComplete: 11\n"
                             "   - Position: 3\n"
                             "     CarIdx: 1\n"
                             "     Time: nan\n"
                             "     FastestTime: inf\n"
                             "     LastTime: -inf\n"
                             "   - Position: 100\n"
                             "     CarIdx: 2\n";

class ModelReaders : public ::testing::Test {
protected:
    void SetUp() override { QTextCodec::setCodecForLocale(QTextCodec::codecForName("Windows-1252")); }
    void TearDown() override { QTextCodec::setCodecForLocale(nullptr); }

    void start(const std::string &text)
    {
        sim.declare("SessionNum", kTypeInt);
        sim.build(text);
        sim.link();
    }
    FakeSimulator sim;
};

TEST_F(ModelReaders, rosterTakesCarsZeroToNinetyNineInOrder)
{
    start(kRoster);
    QVector<irDriver> drivers;
    drivers.append(irDriver()); // an old roster is replaced
    readDriverRoster(SimClient::shared(), drivers);
    ASSERT_EQ(drivers.size(), 3);

    const irDriver &a = drivers[0];
    EXPECT_EQ(a.carIdx, 0);
    EXPECT_EQ(a.userName, QString::fromUtf8("M\xc3\xbcller J\xc3\xb6rg")) << "local code page";
    EXPECT_EQ(a.clubName, QString::fromUtf8("\xc3\x96sterreich")) << "UTF-8";
    EXPECT_EQ(a.carNumber, QStringLiteral("\"07\""));
    EXPECT_EQ(a.carNumberRaw, 7);
    EXPECT_EQ(a.carId, 132);
    EXPECT_EQ(a.iRating, 2841);
    EXPECT_DOUBLE_EQ(a.licLevel, 18.0);
    EXPECT_DOUBLE_EQ(a.licSubLevel, 3.49);
    EXPECT_EQ(a.licString, QStringLiteral("A 3.49"));
    EXPECT_EQ(a.licColor, QStringLiteral("0x0153db"));
    EXPECT_EQ(a.divisionName, QStringLiteral("Division 2"));
    EXPECT_EQ(a.position, kNoPosition);

    EXPECT_EQ(drivers[1].carIdx, 1);
    EXPECT_EQ(drivers[1].iRating, 0) << "no number reads as 0";
    // No user name: the car is listed but cannot be joined to a result.
    EXPECT_EQ(drivers[2].carIdx, -1);
    EXPECT_EQ(drivers[2].userName, QString());
    EXPECT_EQ(drivers[2].carNumber, QStringLiteral("55"));

    QVector<irDriver> again;
    readDriverRoster(SimClient::shared(), again);
    EXPECT_EQ(again, drivers);
}

TEST_F(ModelReaders, resultsOfTheCurrentSessionOnly)
{
    start(kResults);
    QVector<irResult> results;
    readSessionResults(SimClient::shared(), 2, results);
    ASSERT_EQ(results.size(), 3) << "position 100 is beyond the table";
    const irResult &first = results[0];
    EXPECT_EQ(first.position, 1);
    EXPECT_EQ(first.classPosition, 0);
    EXPECT_EQ(first.carIdx, 5);
    EXPECT_EQ(first.lap, 12);
    EXPECT_FLOAT_EQ(first.time, 1234.5678f);
    EXPECT_EQ(first.fastestLap, 7);
    EXPECT_FLOAT_EQ(first.fastestTime, 90.125f);
    EXPECT_FLOAT_EQ(first.lastTime, 91.5f);
    EXPECT_EQ(first.lapsComplete, 12);
    EXPECT_EQ(first.incidents, 4);
    EXPECT_EQ(first.reasonOutStr, QStringLiteral("Running"));
    EXPECT_EQ(results[1].position, 2);
    EXPECT_EQ(results[1].carIdx, 0);
    EXPECT_EQ(results[1].lapsComplete, 11);
    EXPECT_FLOAT_EQ(results[1].fastestTime, 0.0f) << "missing key keeps the start value";
    EXPECT_EQ(results[1].fastestLap, -1);
    EXPECT_EQ(results[2].position, 3);
    for (float time : {results[2].time, results[2].fastestTime, results[2].lastTime})
        EXPECT_EQ(time, 0.0f) << "a time that is no finite number reads as none given";

    readSessionResults(SimClient::shared(), 0, results);
    ASSERT_EQ(results.size(), 2);
    EXPECT_EQ(results[0].position, 0) << "a listed position 0 is kept here";
    EXPECT_EQ(results[0].carIdx, 9);
    EXPECT_EQ(results[1].carIdx, 4);

    readSessionResults(SimClient::shared(), 1, results);
    EXPECT_TRUE(results.isEmpty()) << "a session without a results table";
}

TEST_F(ModelReaders, sessionFactsFollowTheSessionNumber)
{
    start("WeekendInfo:\n"
          " TrackName: spa 2022 gp\n"
          " TrackDisplayShortName: Spa\n"
          " NumCarTypes: 2\n"
          " NumCarClasses: 1\n"
          " NumStarters: 24\n" +
          kResults + kRoster);
    irVariables vars;
    readWeekendFacts(SimClient::shared(), vars);
    EXPECT_EQ(vars.trackName, QStringLiteral("spa 2022 gp"));
    EXPECT_EQ(vars.trackDisplayShortName, QStringLiteral("Spa"));
    EXPECT_EQ(vars.numCarTypes, 2);
    EXPECT_EQ(vars.numCarClasses, 1);
    EXPECT_EQ(vars.numStarters, 24);
    EXPECT_EQ(vars.numSessions, 3);

    vars.sessionNum = 0;
    readSessionFacts(SimClient::shared(), vars);
    EXPECT_EQ(vars.sessionType, QStringLiteral("Practice"));
    EXPECT_EQ(vars.sessionLaps, kUnlimitedLaps);
    EXPECT_DOUBLE_EQ(vars.sessionLength, 7200.0);
    EXPECT_EQ(vars.sessionNumLapsToAvg, 0);
    EXPECT_EQ(vars.sessionInfoNum, 0);
    EXPECT_EQ(vars.playerDriver.driverCarIdx, 5);
    EXPECT_FLOAT_EQ(vars.playerDriver.driverCarFuelKgPerLtr, 0.75f);
    EXPECT_FLOAT_EQ(vars.playerDriver.driverCarFuelMaxLtr, 120.0f);
    EXPECT_FLOAT_EQ(vars.playerDriver.driverCarMaxFuelPct, 1.0f);
    EXPECT_FLOAT_EQ(vars.playerDriver.driverCarEstLapTime, 91.25f);

    vars.sessionNum = 2;
    readSessionFacts(SimClient::shared(), vars);
    EXPECT_EQ(vars.sessionType, QStringLiteral("Race"));
    EXPECT_EQ(vars.sessionLaps, 30);
    EXPECT_DOUBLE_EQ(vars.sessionLength, kUnlimitedTime);
    EXPECT_EQ(vars.sessionInfoNum, 2);

    // A session the text does not describe leaves the facts as they were.
    vars.sessionNum = 7;
    readSessionFacts(SimClient::shared(), vars);
    EXPECT_EQ(vars.sessionType, QStringLiteral("Race"));
    EXPECT_EQ(vars.sessionLaps, 30);
}

TEST_F(ModelReaders, valuesThatDoNotFitOrAreMissingAreNotTaken)
{
    start("WeekendInfo:\n TrackName: " + std::string(2047, 'x') + "\n TrackDisplayShortName: " +
          std::string(2048, 'y') + "\n");
    irVariables vars;
    readWeekendFacts(SimClient::shared(), vars);
    EXPECT_EQ(vars.trackName.size(), 2047) << "2047 bytes and the zero byte fit";
    EXPECT_EQ(vars.trackDisplayShortName, QString::fromLatin1(kTextNotRead));
    EXPECT_EQ(vars.numStarters, -1);
}

TEST(SessionTextConversions, lengthsAndLaps)
{
    EXPECT_DOUBLE_EQ(sessionLengthFromText(QStringLiteral("unlimited")), -1.0);
    EXPECT_DOUBLE_EQ(sessionLengthFromText(QStringLiteral("7200.0000 sec")), 7200.0);
    EXPECT_DOUBLE_EQ(sessionLengthFromText(QStringLiteral(" 90 ")), 90.0);
    EXPECT_DOUBLE_EQ(sessionLengthFromText(QStringLiteral("Unlimited")), 0.0) << "case-sensitive";
    EXPECT_DOUBLE_EQ(sessionLengthFromText(QStringLiteral("1,5")), 0.0) << "C locale";
    EXPECT_EQ(sessionLapsFromText(QStringLiteral("unlimited")), kUnlimitedLaps);
    EXPECT_EQ(sessionLapsFromText(QStringLiteral("25")), 25);
    EXPECT_EQ(sessionLapsFromText(QStringLiteral("25 laps")), 0);
}

TEST(TelemetrySampling, typedReadsAndLowBytes)
{
    FakeSimulator sim;
    sim.declare("SessionTime", kTypeDouble);
    sim.declare("SessionNum", kTypeInt);
    sim.declare("SessionFlags", kTypeBitField);
    sim.declare("DisplayUnits", kTypeInt);
    sim.declare("IsOnTrack", kTypeBool);
    sim.declare("WeatherType", kTypeInt);
    sim.declare("Skies", kTypeInt);
    sim.declare("RaceLaps", kTypeInt);
    sim.declare("Lap", kTypeInt);
    sim.declare("Speed", kTypeFloat);
    sim.declare("FuelLevel", kTypeDouble); // converted from its own type
    sim.declare("PlayerCarIdx", kTypeInt);
    sim.build("");
    sim.link();
    sim.setDouble("SessionTime", 4321.25);
    sim.setInt("SessionNum", 2);
    sim.setInt("SessionFlags", 0x10004);
    sim.setInt("DisplayUnits", 1);
    sim.writer.setChar(sim.vars.at("IsOnTrack"), 1);
    sim.setInt("WeatherType", 300);
    sim.setInt("Skies", -1);
    sim.setInt("RaceLaps", 3);
    sim.setInt("Lap", 4);
    sim.setFloat("Speed", 61.5f);
    sim.setDouble("FuelLevel", 42.5);
    sim.setInt("PlayerCarIdx", 7);
    sim.deliver();

    irVariables vars;
    vars.airTemp = 99.0f; // not published: reads as 0
    sampleTelemetry(SimClient::shared(), vars);
    EXPECT_DOUBLE_EQ(vars.sessionTime, 4321.25);
    EXPECT_EQ(vars.sessionNum, 2);
    EXPECT_EQ(vars.sessionFlags, 0x10004);
    EXPECT_EQ(vars.displayUnits, 1);
    EXPECT_TRUE(vars.isOnTrack);
    EXPECT_FALSE(vars.isReplayPlaying);
    EXPECT_EQ(vars.weatherType, 44) << "low 8 bits of 300";
    EXPECT_EQ(vars.skies, -1);
    EXPECT_EQ(vars.raceLaps, 3);
    EXPECT_EQ(vars.playerLaps, 4);
    EXPECT_FLOAT_EQ(vars.speed, 61.5f);
    EXPECT_FLOAT_EQ(vars.fuelLevel, 42.5f);
    EXPECT_FLOAT_EQ(vars.airTemp, 0.0f);
    EXPECT_EQ(vars.playerCarIdx, 7);
}

} // namespace
