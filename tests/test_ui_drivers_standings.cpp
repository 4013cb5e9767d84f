#include "model/DriverStandings.h"
#include "ui/DriverTableCells.h"

#include <gtest/gtest.h>

namespace {

irDriver driver(int carIdx)
{
    irDriver d;
    d.carIdx = carIdx;
    return d;
}

irResult result(int carIdx, int position)
{
    irResult r;
    r.carIdx = carIdx;
    r.position = position;
    return r;
}

} // namespace

TEST(DriverStandings, positionsComeFromResultsAndSortWithUnplacedLast)
{
    irVariables vars;
    vars.drivers = {driver(10), driver(11), driver(12), driver(13)};
    vars.results = {result(10, 2), result(11, 0), result(12, 1)};
    applyResultPositions(vars);
    ASSERT_EQ(vars.drivers.size(), 4);
    EXPECT_EQ(vars.drivers[0].carIdx, 12);
    EXPECT_EQ(vars.drivers[1].carIdx, 10);
    EXPECT_EQ(vars.drivers[0].position, 1);
    EXPECT_EQ(vars.drivers[1].position, 2);
    EXPECT_EQ(vars.drivers[2].position, kNoPosition);
    EXPECT_EQ(vars.drivers[3].position, kNoPosition);
    // The result placed 0 holds "no position" in the snapshot afterwards.
    EXPECT_EQ(vars.results[1].position, kNoPosition);
}

TEST(DriverStandings, lastMatchingResultWins)
{
    irVariables vars;
    vars.drivers = {driver(1), driver(2)};
    vars.results = {result(1, 1), result(2, 2), result(1, 3)};
    vars.results[2].incidents = 4;
    applyResultPositions(vars);
    EXPECT_EQ(vars.drivers[0].carIdx, 2);
    EXPECT_EQ(vars.drivers[1].position, 3);
    EXPECT_EQ(resultForCar(vars.results, 1).incidents, 4);
}

TEST(DriverStandings, carWithoutResultGetsEmptyResult)
{
    const irResult r = resultForCar({result(1, 1)}, 7);
    EXPECT_EQ(r.fastestTime, 0.0f);
    EXPECT_EQ(r.fastestLap, -1);
    EXPECT_EQ(r.lastTime, 0.0f);
    EXPECT_EQ(r.lapsComplete, -1);
    EXPECT_EQ(r.incidents, 0);
    EXPECT_TRUE(r.reasonOutStr.isEmpty());
}

TEST(DriverTableCells, timesAndMarkers)
{
    EXPECT_EQ(timeText(83.456f, QStringLiteral("m:ss:zzz")), QStringLiteral("1:23:456"));
    EXPECT_EQ(timeText(5.0f, QStringLiteral("m:ss:zzz")), QStringLiteral("0:05:000"));

    irDriver d;
    irResult r;
    EXPECT_EQ(driverCellText(kColumnPos, d, r), QStringLiteral("-"));
    for (int column : {kColumnBestTime, kColumnBestLap, kColumnLastTime, kColumnLaps})
        EXPECT_EQ(driverCellText(column, d, r), QStringLiteral("-")) << column;
    EXPECT_EQ(driverCellText(kColumnIncidents, d, r), QStringLiteral("0"));
    r.lastTime = -1.0f;
    EXPECT_EQ(driverCellText(kColumnLastTime, d, r), QStringLiteral("-"));
    r.lastTime = 83.456f;
    EXPECT_EQ(driverCellText(kColumnLastTime, d, r), QStringLiteral("1:23:456"));
    d.position = 3;
    d.iRating = -5;
    EXPECT_EQ(driverCellText(kColumnPos, d, r), QStringLiteral("3"));
    EXPECT_EQ(driverCellText(kColumnIRating, d, r), QStringLiteral("-5"));
    EXPECT_EQ(licenceColourName(QStringLiteral("0xfc0706")), QStringLiteral("#fc0706"));
}
