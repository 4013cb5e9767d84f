// The dashboard: its state message built from snapshots (units, time or
// laps left, the fuel estimate, the standings join), and its HTTP side with
// real loopback sockets: requests and their answers, the bounds on
// connections, headers and bodies, a page that stops reading, and a stop that
// does not wait for it.

#include "platform/fake/FakeOs.h"
#include "sim_process.h"
#include "simlink/TelemetryLayout.h"
#include "web/DashboardServer.h"
#include "web/StateMessage.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr int kIoMs = 3000;
constexpr platform::WindowId kSimulator = 7;
constexpr platform::WindowId kOther = 8;

// One request on a connection of its own; everything the server sent until
// it closed.
QByteArray exchange(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request); // sent once connected
    socket.waitForDisconnected(kIoMs);
    return socket.readAll();
}

QByteArray press(const QByteArray &body)
{
    return "POST /press HTTP/1.1\r\nHost: x\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"
           + body;
}

// A page's stream; one that `stalls` leaves everything in the kernel.
std::unique_ptr<QTcpSocket> openStream(quint16 port, bool stalls = false)
{
    auto socket = std::make_unique<QTcpSocket>();
    if (stalls)
        socket->setReadBufferSize(1);
    socket->connectToHost(QHostAddress::LocalHost, port);
    socket->waitForConnected(kIoMs);
    socket->write("GET /events HTTP/1.1\r\nHost: x\r\n\r\n");
    socket->waitForBytesWritten(kIoMs);
    return socket;
}

class DashboardHttp : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setOs(&os);
        port = freePort();
    }
    void TearDown() override
    {
        dashboard.reset();
        platform::setOs(nullptr);
    }
    void start(const DashboardLimits &limits = DashboardLimits())
    {
        dashboard.reset();
        dashboard = std::make_unique<DashboardServer>(nullptr, limits);
        ASSERT_TRUE(dashboard->start(port));
    }
    bool waitForPages(int pages)
    {
        return QTest::qWaitFor([&] { return dashboard->connectionCount() == pages; }, kIoMs);
    }
    // Keeps publishing a several hundred KiB state that changes each time.
    void publishBulky(int times)
    {
        irVariables v;
        v.trackName = QString(300 * 1024, QLatin1Char('t'));
        for (int i = 0; i < times && dashboard->connectionCount() > 0; ++i) {
            v.speed += 1.0f;
            dashboard->publish(v, QString());
            QTest::qWait(20);
        }
    }

    platform::FakeOs os;
    quint16 port = 0;
    std::unique_ptr<DashboardServer> dashboard;
};

TEST_F(DashboardHttp, requestsAndPressesAreAnsweredAsTheClientCommandsAnswerThem)
{
    bool refuse = false;
    start();
    dashboard->setPressGate([&refuse](const QString &, bool) { return !refuse; });
    QSignalSpy chats(dashboard.get(), &DashboardServer::sigButtonChatClicked);
    QSignalSpy keys(dashboard.get(), &DashboardServer::sigKeyboardKey);
    // The window in front, a press refused by the gate, the status (or its
    // first digits), part of the header or the whole body, and the chat and
    // key signalled (-1: none).
    const struct {
        QByteArray request; platform::WindowId front; bool refused; const char *status; QByteArray part; int chat, key;
    } cases[] = {
        {"GET / HTTP/1.1\r\nHost: x\r\n\r\n", kSimulator, false, "200", "Content-Security-Policy: default-src 'none'", -1, -1},
        {"GET /other HTTP/1.1\r\n\r\n", kSimulator, false, "404", "", -1, -1},
        {"DELETE / HTTP/1.1\r\n\r\n", kSimulator, false, "405", "", -1, -1},
        {press(QByteArray(4097, 'k')), kSimulator, false, "413", "", -1, -1},
        {"GET / HTTP/1.1\r\nX-Fill: " + QByteArray(9000, 'h') + "\r\n\r\n", kSimulator, false, "4", "", -1, -1},
        {press("macro=3"), kSimulator, false, "200", "\r\n\r\nok", 2, -1},
        {press("key=32"), kSimulator, false, "200", "\r\n\r\nok", -1, 32},
        {press("key=32"), kOther, false, "200", "\r\n\r\nnot in front", -1, 32},
        {press("macro=16"), kSimulator, false, "400", "\r\n\r\nbad press", -1, -1},
        {press("macro=0"), kSimulator, false, "400", "\r\n\r\nbad press", -1, -1},
        {press("key=0"), kSimulator, false, "400", "\r\n\r\nbad press", -1, -1},
        {press("key=4x"), kSimulator, false, "400", "\r\n\r\nbad press", -1, -1},
        {press("jump=1"), kSimulator, false, "400", "\r\n\r\nbad press", -1, -1},
        {press("macro=1"), kSimulator, true, "429", "\r\n\r\ntoo many requests", -1, -1},
        {press("key=9"), kSimulator, true, "429", "\r\n\r\ntoo many requests", -1, -1},
    };
    os.setWindow(telemetry::kSimulatorWindowTitle, kSimulator);
    for (const auto &c : cases) {
        os.setForegroundWindow(c.front);
        refuse = c.refused;
        chats.clear();
        keys.clear();
        const QByteArray answer = exchange(port, c.request);
        EXPECT_TRUE(answer.startsWith("HTTP/1.") && answer.mid(9).startsWith(c.status) && answer.contains(c.part))
            << c.request.left(40).constData() << ": " << answer.left(300).constData();
        QTest::qWait(50); // the presses are queued to this thread
        EXPECT_EQ(chats.isEmpty() ? -1 : chats.takeFirst().at(0).toInt(), c.chat) << c.request.constData();
        EXPECT_EQ(keys.isEmpty() ? -1 : keys.takeFirst().at(0).toInt(), c.key) << c.request.constData();
    }
}

TEST_F(DashboardHttp, pagesBeyondTheBoundAreRefusedAndTheOthersGetEachNewState)
{
    DashboardLimits limits;
    limits.resendMs = 60000; // only a new state is sent
    start(limits);
    std::vector<std::unique_ptr<QTcpSocket>> streams;
    for (int i = 0; i < 16; ++i)
        streams.push_back(openStream(port));
    EXPECT_TRUE(waitForPages(16));
    EXPECT_TRUE(exchange(port, "GET /events HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 503"));
    QTcpSocket &page = *streams.front();
    // The macros are read again from another folder: the same ones are no new state.
    QTemporaryDir documents;
    QFile ini(documents.path() + "/app.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly) && ini.write("[Autochat Messages]\nAutoChatStr1=\"  \"\nAutoChatStr2=<i>gg</i>\n") > 0);
    ini.close();
    dashboard->publish(irVariables(), documents.path());
    QByteArray first;
    for (int i = 0; !(first.contains("data: {") && first.endsWith("\n\n")) && i < 30; ++i, page.waitForReadyRead(100))
        first += page.readAll();
    // Numbered from 1, a blank macro has no button, a text stays text.
    EXPECT_TRUE(first.contains("data: {\"connected\":false") && first.contains(R"("macros":[{"number":2,"text":"<i>gg</i>"}])"))
        << first.constData();
    dashboard->publish(irVariables(), documents.path() + "/");
    EXPECT_FALSE(page.waitForReadyRead(500)) << page.readAll().constData();
}

TEST_F(DashboardHttp, aPageThatStopsReadingIsClosedAndDoesNotHoldUpTheStop)
{
    DashboardLimits limits;
    limits.requestTimeoutMs = 1000; // the stall allowed a write, shortened
    start(limits);
    auto stalled = openStream(port, true);
    ASSERT_TRUE(waitForPages(1));
    publishBulky(750);
    EXPECT_EQ(dashboard->connectionCount(), 0) << "a stalled page stays connected";

    // With the normal stall limit the page is still open when the stop comes.
    start();
    auto reading = openStream(port);
    auto stalledAgain = openStream(port, true);
    ASSERT_TRUE(waitForPages(2));
    QObject::connect(reading.get(), &QTcpSocket::readyRead, [&] { reading->readAll(); });
    publishBulky(30);
    ASSERT_EQ(dashboard->connectionCount(), 2);
    QElapsedTimer time;
    time.start();
    dashboard.reset();
    EXPECT_LT(time.elapsed(), 1000) << "closing waits for a page that does not read";
}


// Car `carIdx`, its driver and its result.
void addCar(irVariables &v, int carIdx, const char *name, const char *licColor, int position, float best, float last)
{
    irDriver d;
    d.carIdx = carIdx, d.carNumberRaw = carIdx + 10, d.iRating = 1500 + carIdx;
    d.userName = QString::fromUtf8(name);
    d.licString = QStringLiteral("A 4.99"), d.licColor = QString::fromLatin1(licColor);
    v.drivers.append(d);
    irResult r;
    r.carIdx = carIdx, r.position = position, r.fastestTime = best, r.lastTime = last;
    v.results.append(r);
}

// A metric race snapshot with every fuel input set: 20 l at 0.75 kg/l,
// 30 kg/h and 90 s laps last 20 * 0.75 * 3600 / (30 * 90) = 20 laps.
irVariables race()
{
    irVariables v;
    v.simConnected = true;
    v.displayUnits = 1;
    v.sessionLength = 3600.0, v.sessionTime = 600.5;
    v.sessionType = QStringLiteral("Race");
    v.sessionLaps = kUnlimitedLaps, v.sessionLapsRemain = 12, v.playerLaps = 4;
    v.playerCarPosition = 3, v.playerCarClassPosition = 2;
    v.speed = 50.0f;
    v.fuelLevel = 20.0f, v.fuelUsePerHour = 30.0f;
    v.playerDriver.driverCarFuelKgPerLtr = 0.75f, v.playerDriver.driverCarEstLapTime = 90.0f;
    v.trackTempCrew = 30.0f, v.airTemp = 20.0f, v.relativeHumidity = 0.55f, v.skies = 1;
    v.windVel = 5.0f, v.windDir = 1.5707964f; // east
    return v;
}

// A race of 20 laps, `left` of them left.
void lapsRace(irVariables &v, int left)
{
    v.sessionLength = -1.0;
    v.sessionLaps = 20;
    v.sessionLapsRemain = left;
}

QJsonObject message(const irVariables &v)
{
    return QJsonDocument::fromJson(dashboardStateMessage(v, {}, {})).object();
}

// The tiles in order, each as "label: value unit".
QStringList tileTexts(const QJsonObject &m)
{
    QStringList texts;
    for (const QJsonValue &t : m.value(QStringLiteral("tiles")).toArray()) {
        const QString unit = t.toObject().value(QStringLiteral("unit")).toString();
        texts << t.toObject().value(QStringLiteral("label")).toString() + QStringLiteral(": ")
                     + t.toObject().value(QStringLiteral("value")).toString() + (unit.isEmpty() ? "" : " " + unit);
    }
    return texts;
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(DashboardState, tilesFollowTheSnapshot)
{
    EXPECT_EQ(tileTexts(message(race())),
              QStringList({"Session: Race", "Time left: 49:59", "Lap: 4", "Position: 3", "Class position: 2",
                           "Speed: 180 km/h", "Fuel: 20.0 l", "Fuel laps: 20.0 laps", "Fuel to finish: +15.0 l",
                           QString::fromUtf8("Track: 30.0 \u00B0C"), QString::fromUtf8("Air: 20.0 \u00B0C"),
                           "Sky: partly cloudy", "Wind: 18 E km/h", "Humidity: 55 %"}));
    // Without the simulator the start values are no race.
    for (const QString &text : tileTexts(message(irVariables())))
        EXPECT_TRUE(text.endsWith(": -")) << text.toStdString();
    // Fuel to finish: (laps to go + the current lap) x 1 l a lap, against 20 l.
    struct Case {
        const char *name;
        std::function<void(irVariables &)> change;
        const char *tile;
    };
    const Case cases[] = {
        {"miles", [](irVariables &v) { v.displayUnits = 0; }, "Speed: 112 mph"},
        {"gallons", [](irVariables &v) { v.displayUnits = 0; }, "Fuel: 5.3 gal"},
        {"Fahrenheit", [](irVariables &v) { v.displayUnits = 0; }, "Air: 68.0 \u00B0F"},
        {"unknown sky", [](irVariables &v) { v.skies = 7; }, "Sky: -"},
        {"hours", [](irVariables &v) { v.sessionLength = 7201.0; v.sessionTime = 0.0; }, "Time left: 2:00:01"},
        {"time over", [](irVariables &v) { v.sessionTime = 4000.0; }, "Time left: 00:00"},
        {"laps race", [](irVariables &v) { lapsRace(v, 12); }, "Laps left: 12"},
        {"no length", [](irVariables &v) { v.sessionLength = -1.0; }, "Left: -"},
        {"not placed", [](irVariables &v) { v.playerCarClassPosition = 0; }, "Class position: -"},
        {"no fuel use", [](irVariables &v) { v.fuelUsePerHour = 0.0f; }, "Fuel laps: -"},
        {"no lap time", [](irVariables &v) { v.playerDriver.driverCarEstLapTime = 0.0f; }, "Fuel laps: -"},
        {"negative density", [](irVariables &v) { v.playerDriver.driverCarFuelKgPerLtr = -1.0f; }, "Fuel laps: -"},
        {"empty tank", [](irVariables &v) { v.fuelLevel = 0.0f; }, "Fuel laps: -"},
        {"fuel use NaN", [](irVariables &v) { v.fuelUsePerHour = kNaN; }, "Fuel laps: -"},
        {"speed NaN", [](irVariables &v) { v.speed = kNaN; }, "Speed: -"},
        {"laps race: 13 laps, 7 l spare", [](irVariables &v) { lapsRace(v, 12); }, "Fuel to finish: -7.0 l"},
        {"timed: 2999.5 s is 34 laps and this one", [](irVariables &) {}, "Fuel to finish: +15.0 l"},
        {"timed, exactly 10 laps left", [](irVariables &v) { v.sessionTime = 2700.0; }, "Fuel to finish: -9.0 l"},
        {"timed, in gallons", [](irVariables &v) { v.displayUnits = 0; }, "Fuel to finish: +4.0 gal"},
        {"no laps left", [](irVariables &v) { lapsRace(v, 0); }, "Fuel to finish: -"},
        {"no length, unlimited laps", [](irVariables &v) { v.sessionLength = -1.0; }, "Fuel to finish: -"},
        {"session time not read", [](irVariables &v) { v.sessionTime = -1.0; }, "Fuel to finish: -"},
        {"time over, no laps to go", [](irVariables &v) { v.sessionTime = 3600.0; }, "Fuel to finish: -"},
        {"zero fuel use", [](irVariables &v) { v.fuelUsePerHour = 0.0f; }, "Fuel to finish: -"},
        {"negative density", [](irVariables &v) { v.playerDriver.driverCarFuelKgPerLtr = -0.75f; }, "Fuel to finish: -"},
        {"empty tank", [](irVariables &v) { v.fuelLevel = 0.0f; }, "Fuel to finish: -"},
        {"fuel level NaN", [](irVariables &v) { v.fuelLevel = kNaN; }, "Fuel to finish: -"},
        {"session time NaN", [](irVariables &v) { v.sessionTime = std::nan(""); }, "Fuel to finish: -"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        irVariables v = race();
        c.change(v);
        EXPECT_TRUE(tileTexts(message(v)).contains(QString::fromUtf8(c.tile))) << c.tile;
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
    addCar(v, 1, "Ann", "0xfc0706", 2, 83.456f, 84.0f);
    addCar(v, 2, "B\u00E9a <script>", "0x12345", 1, 82.0f, -1.0f);
    addCar(v, 3, "Cy", "0xffffff", 0, 0.0f, 0.0f);
    const QJsonObject m = message(v);
    EXPECT_TRUE(m.value(QStringLiteral("connected")).toBool());
    // Placed 0 is "not placed yet": last, as "-". Five hex digits are no colour.
    EXPECT_EQ(rowTexts(m), QStringList({QString::fromUtf8("1|12|B\u00E9a <script>|A 4.99||1502|1:22:000|-|P"),
                                        QStringLiteral("2|11|Ann|A 4.99|#fc0706|1501|1:23:456|1:24:000"),
                                        QStringLiteral("-|13|Cy|A 4.99|#ffffff|1503|-|-")}));
    EXPECT_TRUE(dashboardStateMessage(v, {}, {{"Pit <b>", 80}}).contains(R"("keys":[{"key":80,"label":"Pit <b>"}])"));
}

} // namespace
