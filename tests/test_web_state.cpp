// The dashboard's state message built from snapshots: units, time or laps
// left, the fuel estimate, the standings join and the connected state.

#include "web/StateMessage.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <functional>
#include <limits>
#include <tuple>
#include <vector>

namespace {

irDriver driver(int carIdx, const char *name, const char *licColor)
{
    irDriver d;
    d.carIdx = carIdx;
    d.userName = QString::fromUtf8(name);
    d.carNumberRaw = carIdx + 10;
    d.licString = QStringLiteral("A 4.99");
    d.licColor = QString::fromLatin1(licColor);
    d.iRating = 1500 + carIdx;
    return d;
}

irResult result(int carIdx, int position, float best, float last)
{
    irResult r;
    r.carIdx = carIdx;
    r.position = position;
    r.fastestTime = best;
    r.lastTime = last;
    return r;
}

// A metric race snapshot with every fuel input set: 20 l at 0.75 kg/l,
// 30 kg/h and 90 s laps last 20 * 0.75 * 3600 / (30 * 90) = 20 laps.
irVariables race()
{
    irVariables v;
    v.simConnected = true;
    v.displayUnits = 1;
    v.trackName = QStringLiteral("Spa <b>&amp;</b>");
    v.sessionType = QStringLiteral("Race");
    v.sessionLength = 3600.0;
    v.sessionTime = 600.5;
    v.sessionLaps = kUnlimitedLaps;
    v.sessionLapsRemain = 12;
    v.playerLaps = 4;
    v.playerCarPosition = 3;
    v.playerCarClassPosition = 2;
    v.speed = 50.0f;
    v.fuelLevel = 20.0f;
    v.fuelUsePerHour = 30.0f;
    v.playerDriver.driverCarFuelKgPerLtr = 0.75f;
    v.playerDriver.driverCarEstLapTime = 90.0f;
    v.trackTempCrew = 30.0f;
    v.airTemp = 20.0f;
    v.skies = 1;
    v.windVel = 5.0f;
    v.windDir = 1.5707964f; // east
    v.relativeHumidity = 0.55f;
    return v;
}

QJsonObject message(const irVariables &v)
{
    return QJsonDocument::fromJson(dashboardStateMessage(v, {{2, QStringLiteral("<i>gg</i>")}})).object();
}

QString tileValue(const QJsonObject &m, const QString &id)
{
    for (const QJsonValue &t : m.value(QStringLiteral("tiles")).toArray()) {
        if (t.toObject().value(QStringLiteral("id")).toString() == id)
            return t.toObject().value(QStringLiteral("label")).toString() + QStringLiteral(": ")
                   + t.toObject().value(QStringLiteral("value")).toString();
    }
    return QStringLiteral("<no tile>");
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(DashboardState, tilesFollowTheSnapshot)
{
    // change to the race, tile, its label and value
    const std::vector<std::tuple<std::function<void(irVariables &)>, const char *, const char *>> cases = {
        {[](irVariables &) {}, "speed", "Speed: 180 km/h"},
        {[](irVariables &v) { v.displayUnits = 0; }, "speed", "Speed: 112 mph"},
        {[](irVariables &) {}, "fuel", "Fuel: 20.0 l"},
        {[](irVariables &v) { v.displayUnits = 0; }, "fuel", "Fuel: 5.3 gal"},
        {[](irVariables &) {}, "trackTemp", "Track: 30.0 \u00B0C"},
        {[](irVariables &v) { v.displayUnits = 0; }, "airTemp", "Air: 68.0 \u00B0F"},
        {[](irVariables &) {}, "wind", "Wind: 18 km/h E"},
        {[](irVariables &) {}, "humidity", "Humidity: 55 %"},
        {[](irVariables &) {}, "sky", "Sky: partly cloudy"},
        {[](irVariables &v) { v.skies = 7; }, "sky", "Sky: -"},
        {[](irVariables &) {}, "remaining", "Time left: 49:59"},
        {[](irVariables &v) { v.sessionLength = 7201.0, v.sessionTime = 0.0; }, "remaining", "Time left: 2:00:01"},
        {[](irVariables &v) { v.sessionTime = 4000.0; }, "remaining", "Time left: 00:00"},
        {[](irVariables &v) { v.sessionLength = -1.0, v.sessionLaps = 20; }, "remaining", "Laps left: 12"},
        {[](irVariables &v) { v.sessionLength = -1.0; }, "remaining", "Left: -"},
        {[](irVariables &) {}, "position", "Position: 3"},
        {[](irVariables &v) { v.playerCarClassPosition = 0; }, "classPosition", "Class position: -"},
        {[](irVariables &) {}, "fuelLaps", "Fuel laps: 20.0"},
        {[](irVariables &v) { v.fuelUsePerHour = 0.0f; }, "fuelLaps", "Fuel laps: -"},
        {[](irVariables &v) { v.playerDriver.driverCarEstLapTime = 0.0f; }, "fuelLaps", "Fuel laps: -"},
        {[](irVariables &v) { v.playerDriver.driverCarFuelKgPerLtr = -1.0f; }, "fuelLaps", "Fuel laps: -"},
        {[](irVariables &v) { v.fuelLevel = 0.0f; }, "fuelLaps", "Fuel laps: -"},
        {[](irVariables &v) { v.fuelUsePerHour = kNaN; }, "fuelLaps", "Fuel laps: -"},
        {[](irVariables &v) { v.speed = kNaN; }, "speed", "Speed: -"},
    };
    for (const auto &c : cases) {
        irVariables v = race();
        std::get<0>(c)(v);
        EXPECT_EQ(tileValue(message(v), QLatin1String(std::get<1>(c))), QString::fromUtf8(std::get<2>(c)));
    }
}

// Rows as "pos car name licence licColor iRating best last player".
QStringList rowTexts(const QJsonObject &m)
{
    QStringList rows;
    for (const QJsonValue &row : m.value(QStringLiteral("standings")).toArray()) {
        QStringList cells;
        for (const char *key : {"pos", "car", "name", "licence", "licColor", "iRating", "best", "last"})
            cells << row.toObject().value(QLatin1String(key)).toString();
        rows << cells.join(QLatin1Char('|')) + (row.toObject().value(QStringLiteral("player")).toBool() ? "|P" : "");
    }
    return rows;
}

TEST(DashboardState, standingsJoinResultsAsTheDriversWindowDoesAndTextsStayText)
{
    irVariables v = race();
    v.playerDriver.driverCarIdx = 2;
    v.drivers = {driver(1, "Ann", "0xfc0706"), driver(2, "B\u00E9a <script>", "0x12345"),
                 driver(3, "Cy", "0xffffff")};
    v.results = {result(1, 2, 83.456f, 84.0f), result(2, 1, 82.0f, -1.0f), result(3, 0, 0.0f, 0.0f)};
    const QJsonObject m = message(v);
    EXPECT_TRUE(m.value(QStringLiteral("connected")).toBool());
    // Placed 0 is "not placed yet": last, as "-". Five hex digits are no colour.
    EXPECT_EQ(rowTexts(m), QStringList({QString::fromUtf8("1|12|B\u00E9a <script>|A 4.99||1502|1:22:000|-|P"),
                                        QStringLiteral("2|11|Ann|A 4.99|#fc0706|1501|1:23:456|1:24:000"),
                                        QStringLiteral("-|13|Cy|A 4.99|#ffffff|1503|-|-")}));
    const QJsonArray macros = m.value(QStringLiteral("macros")).toArray();
    ASSERT_EQ(macros.size(), 1);
    EXPECT_EQ(macros[0].toObject().value(QStringLiteral("number")).toInt(), 2);
    EXPECT_EQ(macros[0].toObject().value(QStringLiteral("text")).toString(), QStringLiteral("<i>gg</i>"));

    EXPECT_FALSE(message(irVariables()).value(QStringLiteral("connected")).toBool());
    const QVector<ChatMacro> buttons =
        chatMacroButtons({QString(), QStringLiteral("gl hf"), QStringLiteral("  "), QStringLiteral("pit")});
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons[1].number, 4);
}

} // namespace
