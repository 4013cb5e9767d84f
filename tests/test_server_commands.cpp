// The frame reader, the message record, the command handler with its data
// messages, the request rate bounds, a client's deadlines and the idle
// eviction: pure code, no sockets. A recording environment stands in for the
// client thread.

#include "qt_printers.h"
#include "server/ClientDeadlines.h"
#include "server/CommandHandler.h"
#include "server/FrameFormat.h"
#include "server/FrameReader.h"
#include "server/irMessage.h"
#include "server/irServer.h"
#include "server/RequestBudget.h"
#include "server/RequestLimiter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <vector>

namespace {

// What a request meets: a snapshot or none, the simulator's window and the
// window in front (0: none).
struct World {
    const irVariables *vars = nullptr;
    platform::WindowId simulator = 0;
    platform::WindowId foreground = 0;
};

class RecordingEnvironment : public CommandEnvironment, public World {
public:
    qintptr clientId() const override { return 17; }
    void setClientName(const QString &n) override { name = n; }
    QString documentsPath() const override { return documents; }
    QByteArray dataText(int c) const override { return (vars ? dataMessageText(c, *vars) : noDataText()).toUtf8(); }
    platform::WindowId simulatorWindow() const override { return simulator; }
    platform::WindowId foregroundWindow() const override { return foreground; }
    void debugString(const QString &line, int level) override { log.append(QString::number(level) + " " + line); }
    void trace(const QString &) override {}
    void chatClicked(int id) override { signalled.append(QString::number(id)); }
    void keyboardKey(int key) override { signalled.append(QString::number(key)); }
    // A reply and what it left behind, each part named.
    QString outcome(const QByteArray &reply) const
    {
        return QStringLiteral("reply=%1 signalled=%2 log=%3 name=%4").arg(QString::fromUtf8(reply), signalled.join(','), log.join('|'), name);
    }

    QString name;
    QString documents;
    QStringList log; // level and line
    QStringList signalled; // chat macros and keys
};

// The reply's frame as sent, or "none".
QByteArray handle(RecordingEnvironment &env, int command, const QByteArray &text = QByteArray())
{
    const std::optional<irMessage> reply = handleCommand(irMessage(requestFrame(command, 42, QString::fromUtf8(text))), env);
    return reply ? reply->raw : QByteArray("none");
}

QByteArray textOf(const QByteArray &reply) { return reply.mid(frame::kTextOffset).chopped(1); }

TEST(Commands, RepliesSignalsLogLinesAndNames)
{
    // A name is logged at level 1, as one line, and stored as sent. A key is
    // signalled whichever window is in front; a macro by its 0-based number, -1 for none.
    const struct {
        const char *name;
        int command;
        QByteArray argument;
        World world;
        QString outcome;
    } cases[] = {
        {"server name", 202, "", {}, "reply=@000020;202;000042;pit-link; signalled= log=0 (Server) - Get Server name: Pitlink name="},
        {"client id", 203, "", {}, "reply=@000014;203;000042;17; signalled= log=0 (Server) - Get Client ID: 17 name="},
        {"client name", 201, "Dash 1;", {}, "reply=none signalled= log=1 (Server) - Client Name: Dash 1 name=Dash 1"},
        {"control characters", 201, "a\nb\r\x1b\x7f;", {}, "reply=none signalled= log=1 (Server) - Client Name: a\ufffdb\ufffd\ufffd\x7f name=a\nb\r\x1b\x7f"},
        {"C1 controls", 201, "x\xc2\x85y\xc2\x9f;", {}, "reply=none signalled= log=1 (Server) - Client Name: x\ufffdy\ufffd name=x\xc2\x85y\xc2\x9f"},
        {"line and paragraph separators", 201, "p\xe2\x80\xa8q\xe2\x80\xa9;", {}, "reply=none signalled= log=1 (Server) - Client Name: p\ufffdq\ufffd name=p\xe2\x80\xa8q\xe2\x80\xa9"},
        {"telemetry without a snapshot", 207, "", {}, "reply=@000019;207;000042;NO DATA; signalled= log= name="},
        // A data request without the simulator connected is checked end to end.
        {"macro 1, the first", 206, "1;", {}, "reply=@000021;206;000042;Button ok; signalled=0 log= name="},
        {"the lowest int", 206, "-2147483648;", {}, "reply=@000021;206;000042;Button ok; signalled=-1 log= name="},
        {"key in front", 209, "65;", {{}, 5, 5}, "reply=@000018;209;000042;KEY OK; signalled=65 log= name="},
        {"key behind", 209, "66;", {{}, 5, 9}, "reply=@000029;209;000042;IRACING NOT ONTOP; signalled=66 log= name="},
        {"key, neither window: no key would reach a simulator", 209, "67;", {}, "reply=@000029;209;000042;IRACING NOT ONTOP; signalled=67 log= name="},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RecordingEnvironment env;
        static_cast<World &>(env) = c.world;
        EXPECT_EQ(env.outcome(handle(env, c.command, c.argument)), c.outcome);
    }
    RecordingEnvironment env;
    EXPECT_FALSE(handleCommand(irMessage(QByteArray("@000005;20201")), env));
    EXPECT_EQ(irMessage(QByteArray("@000011;2025000007;")).command, 202) << "three digits, whatever follows";
    EXPECT_EQ(handleCommand(irMessage(QByteArray("@000011;202;-00001;")), env).value_or(irMessage()).raw, "@000020;202;-00001;pit-link;") << "the request number echoed in its six places";
}

TEST(Commands, DataMessagesCarryEveryKeyWithItsType)
{
    RecordingEnvironment env;
    irVariables vars;
    env.vars = &vars;
    vars.simConnected = true;
    vars.sessionNum = 2;
    vars.sessionTime = 123.5;
    vars.sessionFlags = static_cast<std::int32_t>(0x80000001u);
    vars.displayUnits = static_cast<std::int8_t>(200);
    vars.isOnTrack = true;
    vars.speed = 0.1f; // sent widened: 0.10000000149011612
    vars.playerDriver.driverCarEstLapTime = 92.5f;
    const struct {
        const char *name;
        int command;
        QString keys;      // every key, in sorted order
        QByteArray values; // some of them, with their JSON types
    } cases[] = {
        {"telemetry", 207,
         "AirDensity AirPressure AirTemp DisplayUnits FogLevel FuelLevel FuelLevelPct FuelUsePerHour "
         "IsOnTrack IsReplayPlaying PlayerCarClassPosition PlayerCarIdx PlayerCarPosition PlayerLaps "
         "RaceLaps RelativeHumidity SessionFlags SessionLapsRemain SessionNum SessionTimeSinceStarted "
         "Skies Speed TrackTempCrew WeatherType WindDir WindVel",
         R"({"SessionNum": 2, "SessionTimeSinceStarted": 123.5, "SessionFlags": -2147483647, "DisplayUnits": -56,)"
         R"( "IsOnTrack": true, "IsReplayPlaying": false, "Speed": 0.10000000149011612})"},
        // Start values go out as they are.
        {"session", 208,
         "DI.DriverCarEstLapTime DI.DriverCarFuelKgPerLtr DI.DriverCarFuelMaxLtr DI.DriverCarMaxFuelPct "
         "SI.SessionLaps SI.SessionNum SI.SessionTime SI.SessionType WI.TrackDisplayShortName WI.Trackname",
         R"({"SI.SessionType": "n/a", "WI.Trackname": "n/a", "SI.SessionTime": -1, "SI.SessionLaps": -1,)"
         R"( "SI.SessionNum": 1, "DI.DriverCarEstLapTime": 92.5})"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray reply = handle(env, c.command);
        EXPECT_TRUE(textOf(reply).startsWith("{\n    \"")) << reply.constData();
        const QJsonObject o = QJsonDocument::fromJson(textOf(reply)).object();
        EXPECT_EQ(o.keys().join(' '), c.keys);
        const QJsonObject expected = QJsonDocument::fromJson(c.values).object();
        for (const QString &key : expected.keys())
            EXPECT_EQ(o.value(key), expected.value(key)) << qPrintable(key);
    }
}

TEST(Commands, ChatMacrosAreFifteenFieldsFromUtf8OrElseLatin1TextCutToFitOneFrame)
{
    // 1 + 2 x 600,000 bytes; 60,000 would split an "e acute".
    const QByteArray longest = "a" + QByteArray("\xc3\xa9").repeated(600000);
    QByteArray longestIni = "[Autochat Messages]\n";
    for (int n = 1; n <= 15; ++n)
        longestIni += "AutoChatStr" + QByteArray::number(n) + "=" + longest + "\n";
    const struct {
        const char *name;
        QByteArray ini; // app.ini's text; none: a folder of that name
        QString reply;
    } cases[] = {
        {"UTF-8, else Latin-1", "[Autochat Messages]\nAutoChatStr1=Gr\xc3\xbc\xc3\x9f" "e\nAutoChatStr2=Gr\xfc\xdf" "e\n"
         "AutoChatStr3=left,right,centre\nAutoChatStr14=\xf4\x8f\xbf\xbf\nAutoChatStr15=\xe2\x82\xac 5\n",
         QString::fromUtf8("Gr\xc3\xbc\xc3\x9f" "e|Gr\xc3\xbc\xc3\x9f" "e|left,right,centre|||||||||||\xf4\x8f\xbf\xbf|\xe2\x82\xac 5")},
        {"Latin-1 e acute, cut short, overlong, surrogate, beyond U+10FFFF, a lone continuation byte: not UTF-8", "[Autochat Messages]\nAutoChatStr1=caf\xe9\nAutoChatStr2=\xc3 \nAutoChatStr3=\xc0\xaf\n"
         "AutoChatStr4=\xed\xa0\x80\nAutoChatStr5=\xf4\x90\x80\x80\nAutoChatStr6=\xf0\x9f\x8f\x81\nAutoChatStr7=\x80\n",
         QString::fromLatin1("caf\xe9|\xc3|\xc0\xaf|\xed\xa0\x80|\xf4\x90\x80\x80|") + QString::fromUtf8("\xf0\x9f\x8f\x81") + QString::fromLatin1("|\x80||||||||")},
        {"each cut to fit one frame", longestIni, QVector<QString>(15, QString::fromUtf8(longest.left(59999))).toList().join('|')},
        {"app.ini a folder", QByteArray(), "IRACING NOT FOUND"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        QFile ini(dir.path() + "/app.ini");
        ASSERT_TRUE(c.ini.isNull() ? QDir(dir.path()).mkdir("app.ini") : (ini.open(QIODevice::WriteOnly) && ini.write(c.ini) == c.ini.size() && ini.flush()));
        RecordingEnvironment env;
        env.documents = dir.path();
        const QByteArray reply = handle(env, 205);
        EXPECT_TRUE(QString::fromUtf8(textOf(reply)) == c.reply) << reply.left(100).constData();
    }
}

// The bounds per client and overall are checked with loopback clients; here
// the sliding second, a page by its address, the overall bound shared among
// the sources that press, and the report.

// What `client` is given at `nowMs` before it is held back.
int takenUntilHeld(RequestBudget &budget, int client, qint64 nowMs)
{
    int taken = 0;
    while (budget.take(client, nowMs) == 0)
        ++taken;
    return taken;
}

// What clients that want less leave goes to those that want more. Of 100 a
// second, a client that took 4 a second and was never held back leaves 96 to
// the one that was. The light one joins in the slot a client left.
TEST(RequestBudget, whatTheOtherClientsLeaveGoesToThoseThatWantMore)
{
    RequestBudget budget(1000, 100);
    budget.leave(budget.join(0));
    const int light = budget.join(0);
    EXPECT_EQ(light, 0) << "a slot left is taken by the next client: the table grows with the clients at once, not with every connection";
    const int heavy = budget.join(0);
    EXPECT_EQ(budget.take(light, 100), 0);
    EXPECT_EQ(takenUntilHeld(budget, heavy, 100), 25) << "a quarter second's burst";
    EXPECT_EQ(takenUntilHeld(budget, heavy, 250), 14) << "150 ms at 96 a second";
    // A second without a request leaves the light client out of the split;
    // back and still light, it leaves the heavy one 96 a second again.
    takenUntilHeld(budget, heavy, 1350);
    EXPECT_EQ(budget.take(light, 1400), 0);
    EXPECT_EQ(takenUntilHeld(budget, heavy, 1600), 24) << "a quarter second's burst at 96 a second";
    // Held at its burst, then quiet: it took less than half, yet still wants more.
    EXPECT_EQ(budget.take(light, 1700), 0);
    EXPECT_EQ(budget.take(light, 2400), 0);
    EXPECT_EQ(takenUntilHeld(budget, heavy, 2400), 24) << "a quarter second's burst at 98.75 a second";
    // Silent for a second (here exactly), held or not, a client is out of the split.
    const int third = budget.join(2400);
    EXPECT_EQ(budget.take(light, 2600), 0);
    EXPECT_EQ(budget.take(third, 2600), 0);
    EXPECT_EQ(takenUntilHeld(budget, third, 3400), 25) << "a quarter second's burst of the whole budget";

    // Of 120 a second split three ways (a fourth client, silent for a second,
    // takes no part), a client that took exactly its even 40 a second wants
    // more too: the held one gets half of what the light one, at 32 a second, left.
    RequestBudget split(1000, 120);
    split.join(0);
    const int lightOfThree = split.join(0);
    const int even = split.join(0);
    const int heavyOfThree = split.join(0);
    for (int i = 0; i < 8; ++i)
        split.take(lightOfThree, 1100);
    for (int i = 0; i < 10; ++i)
        split.take(even, 1100);
    takenUntilHeld(split, heavyOfThree, 1100);
    EXPECT_EQ(takenUntilHeld(split, heavyOfThree, 1350), 11) << "a quarter second's burst at 44 a second";
}

// The program's own time-outs: a frame begun and left, or replies of which
// no byte leaves, for ten seconds end the client. At the cap, of clients last
// heard at 700, 400 and 650 ms, the one heard at 400 makes room once it has
// been silent for the whole eviction time. Each at its millisecond.
TEST(ClientDeadlines, EachTimeOutAndTheIdleEvictionComeAtTheirMillisecond)
{
    ClientWaitState midFrame;
    midFrame.midFrame = true;
    ClientTimeOut timedOut = ClientTimeOut::None;
    EXPECT_EQ(nextClientWaitMs(midFrame, 9999, ServerLimits(), &timedOut), 1);
    EXPECT_EQ(nextClientWaitMs(midFrame, 10000, ServerLimits(), &timedOut), 0);
    EXPECT_EQ(timedOut, ClientTimeOut::Stalled);
    ClientWaitState unread;
    unread.repliesWaiting = true;
    EXPECT_EQ(nextClientWaitMs(unread, 10000, ServerLimits(), &timedOut), 0);
    EXPECT_EQ(timedOut, ClientTimeOut::NotReading);
    EXPECT_EQ(idleClientToEvict({700, 400, 650}, 1399, 1000), -1);
    EXPECT_EQ(idleClientToEvict({700, 400, 650}, 1400, 1000), 1);
}

// The program's own rate for one client: drained of its burst, it is
// answered 49 more requests 208 ms later, at 240 a second.
TEST(RequestBudget, aClientIsAnsweredAt240ASecondByDefault)
{
    const ServerLimits limits;
    RequestBudget budget(limits.requestsPerClient, limits.requestsOverall);
    const int client = budget.join(0);
    takenUntilHeld(budget, client, 0);
    EXPECT_EQ(takenUntilHeld(budget, client, 208), 49);
}

TEST(RequestLimiter, AtMostTheRateInAnyOneSecondPerSourceSharedOverallAndDropsAreReportedOnce)
{
    RequestLimiter limiter;
    RequestLimiter::Client client = limiter.newClient();
    RequestLimiter::Client phone = limiter.newClient(); // a second TCP client
    RequestLimiter::Client tablet = limiter.newClient(); // a third
    // So many presses so far apart from a time on.
    struct Schedule {
        qint64 fromMs;
        int times;
        qint64 everyMs;
    };
    struct Presses {
        const char *name;
        RequestLimiter::Client *source; // none: a page, known by its address
        SimulatorRequest request;
        Schedule at;
        int admitted;
        int got = 0;
    };
    // Run in time order, rows at the same time in table order.
    std::vector<Presses> rows = {
        {"2 a second for a lone client", &client, SimulatorRequest::ChatMacro, {0, 3, 0}, 2},
        {"still within the second of the first two", &client, SimulatorRequest::ChatMacro, {999, 1, 0}, 0},
        {"the first has left the window", &client, SimulatorRequest::ChatMacro, {1000, 1, 0}, 1},
        {"a lone page keeps its own full rate", nullptr, SimulatorRequest::Key, {1000, 12, 0}, 10},
        {"a client flooding gets a part of the overall rate", &client, SimulatorRequest::ChatMacro, {5000, 100, 100}, 10},
        {"and so does a page flooding", nullptr, SimulatorRequest::ChatMacro, {5000, 100, 100}, 10},
        {"a paired phone pressing every 2 s gets every press", &phone, SimulatorRequest::ChatMacro, {5000, 5, 2000}, 5},
        {"a fourth source in that second gets none: the parts keep room for one more", &tablet, SimulatorRequest::ChatMacro, {5000, 1, 0}, 0},
        {"a source alone later", &tablet, SimulatorRequest::ChatMacro, {20000, 1, 0}, 1},
        {"counts no more a second after: a lone phone gets two", &phone, SimulatorRequest::ChatMacro, {21000, 2, 0}, 2},
        {"ten keys each from three clients at once: the first, alone so far, its own 10", &client, SimulatorRequest::Key, {30000, 10, 0}, 10},
        {"the second a third of the 20 overall, room kept for one more", &phone, SimulatorRequest::Key, {30000, 10, 0}, 6},
        {"the third what is left of the 20", &tablet, SimulatorRequest::Key, {30000, 10, 0}, 4},
    };
    // The rows' presses by time, each row's at one time after those of the rows before.
    std::multimap<qint64, Presses *> timeline;
    for (Presses &row : rows) {
        for (int i = 0; i < row.at.times; ++i)
            timeline.emplace(row.at.fromMs + i * row.at.everyMs, &row);
    }
    for (const auto &press : timeline)
        press.second->got += press.second->source ? limiter.admit(*press.second->source, press.second->request, press.first)
                                                  : limiter.admitPeer("192.0.2.7", press.second->request, press.first);
    for (const Presses &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.got, row.admitted);
    }
    EXPECT_EQ(limiter.takeDroppedReport(), QStringLiteral("(Server) - 183 chat macros and 12 keys dropped (too many requests)"));
    EXPECT_EQ(limiter.takeDroppedReport(), QString());
    EXPECT_FALSE(RateWindow(0).admit(0)) << "a rate of 0 admits nothing";
    // Shared by threads, a full window refuses without its lock until its
    // oldest event leaves it, and admits again at that millisecond.
    SharedRateWindow lines(1);
    EXPECT_TRUE(lines.admit(0));
    EXPECT_TRUE(lines.admit(1000));
}

// Pages are known by their address: at 256 the table starts afresh, so no
// stream of addresses can grow it.
TEST(RequestLimiter, OnePageMoreThan256StartsANewTable)
{
    RequestLimiter limiter;
    EXPECT_TRUE(limiter.admitPeer("192.0.2.1", SimulatorRequest::ChatMacro, 0));
    EXPECT_TRUE(limiter.admitPeer("192.0.2.1", SimulatorRequest::ChatMacro, 0));
    EXPECT_FALSE(limiter.admitPeer("192.0.2.1", SimulatorRequest::ChatMacro, 0));
    EXPECT_EQ(limiter.takeDroppedReport(), QStringLiteral("(Server) - 1 chat macros and 0 keys dropped (too many requests)")) << "a report of one kind alone";
    for (int page = 2; page <= 256; ++page)
        limiter.admitPeer(QString::number(page), SimulatorRequest::Key, 0);
    EXPECT_FALSE(limiter.admitPeer("192.0.2.1", SimulatorRequest::ChatMacro, 500)) << "256 pages: its 2 a second used";
    limiter.admitPeer(QStringLiteral("257"), SimulatorRequest::Key, 0);
    EXPECT_TRUE(limiter.admitPeer("192.0.2.1", SimulatorRequest::ChatMacro, 500)) << "forgotten with the others";
}

const QByteArray kRequest202("@000011;202;000001;");

TEST(FrameReader, FramesGarbageAndWhatStaysBuffered)
{
    const QByteArray big = "@999999;" + QByteArray(frame::kMaxPayload, 'x');
    const struct {
        const char *name;
        QByteArray bytes;
        int piece; // fed this many bytes at a time; 0: all at once
        QVector<QByteArray> frames;
        QString rest; // what was skipped and what is left buffered at the end
    } cases[] = {
        {"a header inside garbage", "junk@0000" + kRequest202.mid(5), 9, {kRequest202}, "skipped=4 headerNotFound=0 buffered=0 midFrame=0"},
        {"a short header, cut", "xx@12;" + kRequest202, 6, {kRequest202}, "skipped=6 headerNotFound=0 buffered=0 midFrame=0"},
        {"length negative", "@-00001;" + kRequest202, 0, {kRequest202}, "skipped=8 headerNotFound=0 buffered=0 midFrame=0"},
        {"no separator", "@000011:" + kRequest202, 0, {kRequest202}, "skipped=8 headerNotFound=0 buffered=0 midFrame=0"},
        {"a refused header alone", "@000000;", 0, {}, "skipped=8 headerNotFound=1 buffered=0 midFrame=0"},
        {"one byte of a frame", "@", 0, {}, "skipped=0 headerNotFound=0 buffered=1 midFrame=1"},
        // Three largest frames in one piece never sit in the reader at once.
        {"largest frames", big + big + big.left(100), 0, {big, big}, "skipped=0 headerNotFound=0 buffered=100 midFrame=1"},
        {"largest garbage", QByteArray(3 * frame::kMaxFrame, 'g'), 0, {}, QStringLiteral("skipped=%1 headerNotFound=1 buffered=0 midFrame=0").arg(3 * frame::kMaxFrame)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FrameReader reader;
        FrameReader::Result all;
        const int piece = c.piece > 0 ? c.piece : c.bytes.size();
        for (int from = 0; from < c.bytes.size(); from += piece) {
            const FrameReader::Result r = reader.feed(c.bytes.mid(from, piece));
            all.frames += r.frames;
            all.skippedBytes += r.skippedBytes;
            all.headerNotFound = all.headerNotFound || r.headerNotFound;
        }
        EXPECT_TRUE(all.frames == c.frames);
        const QString rest = QStringLiteral("skipped=%1 headerNotFound=%2 buffered=%3 midFrame=%4").arg(all.skippedBytes).arg(all.headerNotFound).arg(reader.bufferedBytes()).arg(reader.midFrame());
        EXPECT_EQ(rest, c.rest);
    }
}

TEST(irMessage, RepliesAndRequestsArePaddedAndCountUtf8BytesAndTooLongTextIsCutAtACharacter)
{
    // With "a" first, the room left ends inside a euro sign.
    const QByteArray euros = "a" + QByteArray(frame::kMaxPayload / 3, 'x').replace("x", "\xe2\x82\xac");
    const QByteArray ys(frame::kMaxPayload, 'y');
    // The text bytes sent: UTF-8 counting is checked with the chat macros.
    const struct {
        const char *name;
        int command;
        int number;
        QByteArray text;
        QByteArray header; // and the fields of the frame
        int sent;          // bytes of the text
    } cases[] = {
        {"no text", 7, 0, "", "@000012;007;000000;", 0},
        {"too long, longer fields", 1001, 2147483647, ys, "@999999;1001;2147483647;", frame::kMaxPayload - 17},
        {"cut at a character", 205, 1, euros, "@999997;205;000001;", 1 + (frame::kMaxPayload - 13) / 3 * 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const irMessage reply(c.command, c.number, QString::fromUtf8(c.text));
        EXPECT_EQ(reply.raw, c.header + c.text.left(c.sent) + ";");
        EXPECT_EQ(reply.text.toUtf8(), c.text.left(c.sent));
        EXPECT_EQ(irMessage::fromUtf8(c.command, c.number, c.text).raw, reply.raw);
        std::string direct;
        appendReplyFrame(&direct, c.command, c.number, c.text.constData(), c.text.size());
        EXPECT_EQ(QByteArray::fromStdString(direct), reply.raw);
    }
}

} // namespace
