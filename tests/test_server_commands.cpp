// The frame reader, the message record, the command handler with its data
// messages, and the request rate bounds: pure code, no sockets. A recording
// environment stands in for the client thread.

#include "qt_printers.h"
#include "server/CommandHandler.h"
#include "server/FrameFormat.h"
#include "server/FrameReader.h"
#include "server/irMessage.h"
#include "server/RequestLimiter.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

class RecordingEnvironment : public CommandEnvironment {
public:
    qintptr clientId() const override { return 17; }
    void setClientName(const QString &n) override { name = n; }
    QString documentsPath() const override { return documents; }
    QByteArray dataText(int c) const override { return (vars ? dataMessageText(c, *vars) : noDataText()).toUtf8(); }
    platform::WindowId simulatorWindow() const override { return simulator; }
    platform::WindowId foregroundWindow() const override { return foreground; }
    void debugString(const QString &line, int level) override { log.emplace_back(line, level); }
    void trace(const QString &) override {}
    void chatClicked(int id) override { signalled.push_back(id); }
    void keyboardKey(int key) override { signalled.push_back(key); }

    QString name, documents;
    std::optional<irVariables> vars;
    platform::WindowId simulator = 0, foreground = 0;
    std::vector<std::pair<QString, int>> log;
    std::vector<int> signalled; // chat macros and keys
};

// The reply's frame as sent, or "" for none.
QByteArray handle(RecordingEnvironment &env, int command, const QByteArray &text = QByteArray())
{
    const auto reply = handleCommand(irMessage(requestFrame(command, 42, QString::fromUtf8(text))), env);
    return reply ? reply->raw : QByteArray();
}

QByteArray textOf(const QByteArray &reply)
{
    return reply.mid(frame::kTextOffset).chopped(1);
}

TEST(Commands, RepliesSignalsAndLogLines)
{
    // command, argument, simulator and foreground window, snapshot attached,
    // reply text (none: ""), chat or key signalled (none: 99), log line (a
    // name is logged at level 1, as one line, and stored as sent)
    const std::vector<std::tuple<int, QByteArray, platform::WindowId, platform::WindowId, bool, QByteArray, int, QString>>
        cases = {
        {202, "", 0, 0, false, "@000020;202;000042;pit-link;", 99, "(Server) - Get Server name: Pitlink"},
        {203, "", 0, 0, false, "@000014;203;000042;17;", 99, "(Server) - Get Client ID: 17"},
        {201, "Dash 1;", 0, 0, false, "", 99, "(Server) - Client Name: Dash 1"},
        {201, "a\nb\r\x1b\x7f;", 0, 0, false, "", 99, "(Server) - Client Name: a\ufffdb\ufffd\ufffd\x7f"},
        {201, "x\xc2\x85y\xc2\x9f;", 0, 0, false, "", 99, "(Server) - Client Name: x\ufffdy\ufffd"}, // C1
        {201, "p\xe2\x80\xa8q\xe2\x80\xa9;", 0, 0, false, "", 99, "(Server) - Client Name: p\ufffdq\ufffd"},
        {204, "", 0, 0, false, "", 99, ""},
        {210, "", 0, 0, false, "", 99, ""},
        {206, "3;", 0, 0, false, "@000021;206;000042;Button ok;", 2, ""},
        {206, "0;", 0, 0, false, "@000021;206;000042;Button ok;", -1, ""},
        {206, "x;", 0, 0, false, "@000021;206;000042;Button ok;", -1, ""},
        {206, "-2147483648;", 0, 0, false, "@000021;206;000042;Button ok;", -1, ""},
        {209, "65;", 5, 5, false, "@000018;209;000042;KEY OK;", 65, ""},
        {209, "66;", 5, 9, false, "@000029;209;000042;IRACING NOT ONTOP;", 66, ""},
        // Neither window: no key would reach a simulator.
        {209, "67;", 0, 0, false, "@000029;209;000042;IRACING NOT ONTOP;", 67, ""},
        {207, "", 0, 0, false, "@000019;207;000042;NO DATA;", 99, ""},
        {208, "", 0, 0, false, "@000019;208;000042;NO DATA;", 99, ""},
        // 207 without the simulator connected: end to end.
        {208, "", 0, 0, true, "@000033;208;000042;IRACING NOT CONNECTED;", 99, ""},
    };
    for (const auto &[command, text, simulator, foreground, attached, reply, signalled, line] : cases) {
        RecordingEnvironment env;
        env.simulator = simulator;
        env.foreground = foreground;
        if (attached)
            env.vars = irVariables();
        EXPECT_EQ(handle(env, command, text), reply) << command << text.constData();
        EXPECT_EQ(env.signalled, signalled == 99 ? std::vector<int>() : std::vector<int>{signalled});
        EXPECT_EQ(env.log, line.isEmpty() ? decltype(env.log)() : decltype(env.log)({{line, command == 201}}));
        EXPECT_EQ(env.name, command == 201 ? QString::fromUtf8(text).chopped(1) : QString());
    }
    RecordingEnvironment env;
    EXPECT_FALSE(handleCommand(irMessage(QByteArray("@000005;20201")), env));
    EXPECT_EQ(irMessage(QByteArray("@000011;2025000007;")).command, 202) << "three digits, whatever follows";
}

TEST(Commands, DataMessagesCarryEveryKeyWithItsType)
{
    RecordingEnvironment env;
    irVariables &vars = env.vars.emplace();
    vars.simConnected = true;
    vars.sessionNum = 2;
    vars.sessionTime = 123.5;
    vars.sessionFlags = static_cast<std::int32_t>(0x80000001u);
    vars.displayUnits = static_cast<std::int8_t>(200);
    vars.isOnTrack = true;
    vars.speed = 0.1f; // sent widened: 0.10000000149011612
    vars.playerDriver.driverCarEstLapTime = 92.5f;
    // command, every key in sorted order, some values with their JSON types
    const std::vector<std::tuple<int, QString, std::vector<std::pair<QString, QJsonValue>>>> cases = {
        {207,
         "AirDensity AirPressure AirTemp DisplayUnits FogLevel FuelLevel FuelLevelPct FuelUsePerHour "
         "IsOnTrack IsReplayPlaying PlayerCarClassPosition PlayerCarIdx PlayerCarPosition PlayerLaps "
         "RaceLaps RelativeHumidity SessionFlags SessionLapsRemain SessionNum SessionTimeSinceStarted "
         "Skies Speed TrackTempCrew WeatherType WindDir WindVel",
         {{"SessionNum", 2}, {"SessionTimeSinceStarted", 123.5}, {"SessionFlags", -2147483647.0},
          {"DisplayUnits", -56}, {"IsOnTrack", true}, {"IsReplayPlaying", false},
          {"Speed", static_cast<double>(0.1f)}}},
        // Start values go out as they are.
        {208,
         "DI.DriverCarEstLapTime DI.DriverCarFuelKgPerLtr DI.DriverCarFuelMaxLtr DI.DriverCarMaxFuelPct "
         "SI.SessionLaps SI.SessionNum SI.SessionTime SI.SessionType WI.TrackDisplayShortName WI.Trackname",
         {{"SI.SessionType", "n/a"}, {"WI.Trackname", "n/a"}, {"SI.SessionTime", -1.0},
          {"SI.SessionLaps", -1}, {"SI.SessionNum", 1}, {"DI.DriverCarEstLapTime", 92.5}}},
    };
    for (const auto &[command, keys, values] : cases) {
        const QByteArray reply = handle(env, command);
        EXPECT_TRUE(textOf(reply).startsWith("{\n    \"")) << reply.constData();
        const QJsonObject o = QJsonDocument::fromJson(textOf(reply)).object();
        EXPECT_EQ(o.keys().join(' '), keys);
        for (const auto &[key, value] : values)
            EXPECT_EQ(o.value(key), value) << qPrintable(key);
    }
}

TEST(Commands, ChatMacrosAreFifteenFieldsFromUtf8OrElseLatin1TextCutToFitOneFrame)
{
    // 1 + 2 x 600,000 bytes; 60,000 would split an "e acute".
    const QByteArray longest = "a" + QByteArray("\xc3\xa9").repeated(600000);
    QByteArray longestIni = "[Autochat Messages]\n";
    for (int n = 1; n <= 15; ++n)
        longestIni += "AutoChatStr" + QByteArray::number(n) + "=" + longest + "\n";
    const QString gruesse = QString::fromUtf8("Gr\xc3\xbc\xc3\x9f" "e");
    // app.ini (none: no file), reply text
    const std::vector<std::pair<QByteArray, QString>> cases = {
        {"[Autochat Messages]\nAutoChatStr1=Gr\xc3\xbc\xc3\x9f" "e\nAutoChatStr2=Gr\xfc\xdf" "e\n"
         "AutoChatStr3=left,right,centre\nAutoChatStr14=\xf4\x8f\xbf\xbf\nAutoChatStr15=\xe2\x82\xac 5\n",
         gruesse + "|" + gruesse + "|left,right,centre|||||||||||" + QString::fromUtf8("\xf4\x8f\xbf\xbf|\xe2\x82\xac 5")},
        // Latin-1 e acute, cut short, overlong, surrogate, beyond U+10FFFF: not UTF-8.
        {"[Autochat Messages]\nAutoChatStr1=caf\xe9\nAutoChatStr2=\xc3 \nAutoChatStr3=\xc0\xaf\n"
         "AutoChatStr4=\xed\xa0\x80\nAutoChatStr5=\xf4\x90\x80\x80\nAutoChatStr6=\xf0\x9f\x8f\x81\n",
         QString::fromLatin1("caf\xe9|\xc3|\xc0\xaf|\xed\xa0\x80|\xf4\x90\x80\x80|") + QString::fromUtf8("\xf0\x9f\x8f\x81")
             + "|||||||||"},
        {longestIni, QVector<QString>(15, QString::fromUtf8(longest.left(59999))).toList().join('|')},
        {QByteArray(), "IRACING NOT FOUND"},
    };
    for (const auto &[iniText, expected] : cases) {
        QTemporaryDir dir;
        QFile ini(dir.path() + "/app.ini");
        ASSERT_TRUE(iniText.isNull() || (ini.open(QIODevice::WriteOnly) && ini.write(iniText) == iniText.size()));
        ini.close();
        RecordingEnvironment env;
        env.documents = dir.path();
        const QByteArray reply = handle(env, 205);
        EXPECT_EQ(reply.left(frame::kHeaderSize), "@" + zeroPadded(reply.size() - frame::kHeaderSize, 6) + ";");
        EXPECT_TRUE(QString::fromUtf8(textOf(reply)) == expected) << reply.left(100).constData();
        EXPECT_TRUE(env.log.empty());
    }
}

// The bounds per client and overall are checked with loopback clients; here
// the sliding second, a page by its address, the overall bound shared among
// the sources that press, and the report.
TEST(RequestLimiter, AtMostTheRateInAnyOneSecondPerSourceSharedOverallAndDropsAreReportedOnce)
{
    const auto chat = SimulatorRequest::ChatMacro;
    const auto key = SimulatorRequest::Key;
    struct Presses {
        const char *name;
        const char *source; // "client" and "phone" are TCP clients, anything else a page's address
        SimulatorRequest request;
        qint64 fromMs;
        int times;
        qint64 everyMs;
        int admitted;
    };
    // Run in time order, rows at the same time in table order.
    const std::vector<Presses> rows = {
        {"2 a second for a lone client", "client", chat, 0, 3, 0, 2},
        {"still within the second of the first two", "client", chat, 999, 1, 0, 0},
        {"the first has left the window", "client", chat, 1000, 1, 0, 1},
        {"a lone page keeps its own full rate", "page", key, 1000, 12, 0, 10},
        {"a client flooding gets a part of the overall rate", "client", chat, 5000, 100, 100, 10},
        {"and so does a page flooding", "page", chat, 5000, 100, 100, 10},
        {"a paired phone pressing every 2 s gets every press", "phone", chat, 5000, 5, 2000, 5},
    };
    struct Press {
        qint64 atMs;
        std::size_t row;
    };
    std::vector<Press> timeline;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (int i = 0; i < rows[r].times; ++i)
            timeline.push_back({rows[r].fromMs + i * rows[r].everyMs, r});
    }
    std::stable_sort(timeline.begin(), timeline.end(), [](const Press &a, const Press &b) { return a.atMs < b.atMs; });
    RequestLimiter limiter;
    std::map<std::string, RequestLimiter::Client> clients;
    clients.emplace("client", limiter.newClient());
    clients.emplace("phone", limiter.newClient());
    std::vector<int> admitted(rows.size(), 0);
    for (const Press &press : timeline) {
        const Presses &row = rows[press.row];
        const auto client = clients.find(row.source);
        const bool done = client == clients.end() ? limiter.admitPeer(row.source, row.request, press.atMs)
                                                  : limiter.admit(client->second, row.request, press.atMs);
        admitted[press.row] += done;
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        SCOPED_TRACE(rows[r].name);
        EXPECT_EQ(admitted[r], rows[r].admitted);
    }
    EXPECT_EQ(limiter.takeDroppedReport(),
              QStringLiteral("(Server) - 182 chat macros and 2 keys dropped (too many requests)"));
    EXPECT_EQ(limiter.takeDroppedReport(), QString());
}

const QByteArray kRequest202("@000011;202;000001;");
const QByteArray kRequest203("@000011;203;000002;");

TEST(FrameReader, FramesGarbageAndWhatStaysBuffered)
{
    const QByteArray big = "@999999;" + QByteArray(frame::kMaxPayload, 'x');
    QVector<int> everyByte;
    for (int i = 1; i < kRequest202.size(); ++i)
        everyByte.append(i);
    // bytes, cuts between feeds, frames, skipped bytes, header not found, left buffered
    const std::vector<std::tuple<QByteArray, QVector<int>, QVector<QByteArray>, int, bool, int>> cases = {
        {kRequest202, {}, {kRequest202}, 0, false, 0},
        {kRequest202, everyByte, {kRequest202}, 0, false, 0},
        {kRequest202 + kRequest203 + kRequest202.left(5), {}, {kRequest202, kRequest203}, 0, false, 5},
        {"hello;" + kRequest202, {}, {kRequest202}, 6, false, 0},
        {"no header here", {}, {}, 14, true, 0},
        {kRequest202 + "junk", {}, {kRequest202}, 4, true, 0},
        {"junk@0000" + kRequest202.mid(5), {9}, {kRequest202}, 4, false, 0},
        {"xx@12;" + kRequest202, {}, {kRequest202}, 6, false, 0},
        {"xx@12;" + kRequest202, {6}, {kRequest202}, 6, false, 0},
        {"@@" + kRequest202, {}, {kRequest202}, 2, false, 0},
        {"@000000;" + kRequest202, {}, {kRequest202}, 8, false, 0},
        {"@abcdef;" + kRequest202, {}, {kRequest202}, 8, false, 0},
        {"@-00001;" + kRequest202, {}, {kRequest202}, 8, false, 0},
        {"@000011:" + kRequest202, {}, {kRequest202}, 8, false, 0},
        // Three largest frames in one piece never sit in the reader at once.
        {big + big + big.left(100), {}, {big, big}, 0, false, 100},
        {QByteArray(3 * frame::kMaxFrame, 'g'), {}, {}, 3 * frame::kMaxFrame, true, 0},
    };
    for (const auto &[bytes, cuts, frames, skipped, headerNotFound, buffered] : cases) {
        FrameReader reader;
        FrameReader::Result all;
        int from = 0;
        for (const int to : cuts + QVector<int>{bytes.size()}) {
            const FrameReader::Result r = reader.feed(bytes.mid(from, to - from));
            all.frames += r.frames;
            all.skippedBytes += r.skippedBytes;
            all.headerNotFound = all.headerNotFound || r.headerNotFound;
            from = to;
        }
        SCOPED_TRACE(bytes.left(20).constData());
        EXPECT_TRUE(all.frames == frames);
        EXPECT_EQ(all.skippedBytes, skipped);
        EXPECT_EQ(all.headerNotFound, headerNotFound);
        EXPECT_EQ(reader.bufferedBytes(), buffered);
        EXPECT_EQ(reader.midFrame(), buffered > 0);
    }
}

TEST(irMessage, RepliesAndRequestsArePaddedAndCountUtf8BytesAndTooLongTextIsCutAtACharacter)
{
    // With "a" first, the room left ends inside a euro sign.
    const QByteArray euros = "a" + QByteArray(frame::kMaxPayload / 3, 'x').replace("x", "\xe2\x82\xac");
    const QByteArray ys(frame::kMaxPayload, 'y');
    // command, request number, text, header and fields of the frame, text bytes
    // sent (UTF-8 counting is checked with the chat macros)
    const std::vector<std::tuple<int, int, QByteArray, QByteArray, int>> cases = {
        {7, 0, "", "@000012;007;000000;", 0},
        {202, 1234567, "a", "@000014;202;1234567;", 1},
        {1001, 2147483647, "", "@000017;1001;2147483647;", 0},
        {207, 1, ys.left(frame::kMaxPayload - 12), "@999999;207;000001;", frame::kMaxPayload - 12},
        {207, 1, ys, "@999999;207;000001;", frame::kMaxPayload - 12},
        {1001, 2147483647, ys, "@999999;1001;2147483647;", frame::kMaxPayload - 17},
        {205, 1, euros, "@999997;205;000001;", 1 + (frame::kMaxPayload - 13) / 3 * 3},
    };
    for (const auto &[command, number, text, header, sent] : cases) {
        const irMessage reply(command, number, QString::fromUtf8(text));
        EXPECT_EQ(reply.raw, header + text.left(sent) + ";") << header.constData();
        EXPECT_EQ(reply.text.toUtf8(), text.left(sent));
        EXPECT_EQ(irMessage::fromUtf8(command, number, text).raw, reply.raw);
    }
}

} // namespace
