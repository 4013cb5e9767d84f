// The command handler and the data messages, without sockets: a recording
// environment stands in for the client thread.

#include "server/CommandHandler.h"
#include "server/FrameFormat.h"
#include "server/FrameReader.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>

#include <utility>
#include <vector>

namespace {

class RecordingEnvironment : public CommandEnvironment {
public:
    qintptr clientId() const override { return 17; }
    void setClientName(const QString &n) override { name = n; }
    QString documentsPath() const override { return documents; }
    QByteArray dataText(int command) const override
    {
        return (vars ? dataMessageText(command, *vars) : noDataText()).toUtf8();
    }
    platform::WindowId simulatorWindow() const override { return simulator; }
    platform::WindowId foregroundWindow() const override { return foreground; }
    void debugString(const QString &line, int level) override { log.emplace_back(line, level); }
    void trace(const QString &) override {}
    void chatClicked(int id) override { chats.push_back(id); }
    void keyboardKey(int key) override { keys.push_back(key); }

    QString name;
    QString documents;
    std::optional<irVariables> vars;
    platform::WindowId simulator = 0;
    platform::WindowId foreground = 0;
    std::vector<std::pair<QString, int>> log;
    std::vector<int> chats;
    std::vector<int> keys;
};

irMessage request(int command, int requestNumber, const QByteArray &text = QByteArray())
{
    return irMessage(requestFrame(command, requestNumber, QString::fromUtf8(text)));
}

// The reply's text as sent, taken from its frame.
QString replyText(const std::optional<irMessage> &reply)
{
    if (!reply)
        return QStringLiteral("<no reply>");
    return QString::fromUtf8(reply->raw.mid(frame::kTextOffset).chopped(1));
}

TEST(Commands, ClientNameIsStoredAndLoggedAsOneLineWithoutReply)
{
    // name sent, as the pane shows it
    const std::vector<std::pair<const char *, const char *>> cases = {
        {"Dash 1", "Dash 1"},
        {"a\nb\r\x1b\x7f", "a\xef\xbf\xbd" "b\xef\xbf\xbd\xef\xbf\xbd\x7f"},
        {"x\xc2\x85y\xc2\x9f", "x\xef\xbf\xbdy\xef\xbf\xbd"},           // C1
        {"p\xe2\x80\xa8q\xe2\x80\xa9", "p\xef\xbf\xbdq\xef\xbf\xbd"}, // U+2028, U+2029
        {"T\n(Server) - Client disconnected ID:99", "T\xef\xbf\xbd(Server) - Client disconnected ID:99"},
    };
    for (const auto &c : cases) {
        RecordingEnvironment env;
        EXPECT_FALSE(handleCommand(request(201, 1, QByteArray(c.first) + ";"), env));
        EXPECT_EQ(env.name, QString::fromUtf8(c.first));
        ASSERT_EQ(env.log.size(), 1u);
        EXPECT_EQ(env.log[0].first, "(Server) - Client Name: " + QString::fromUtf8(c.second));
        EXPECT_EQ(env.log[0].second, 1);
    }
}

TEST(Commands, RepliesSignalsAndLogLines)
{
    // command, argument, simulator and foreground window, reply (none: ""),
    // chat or key signalled (none: 99), log line
    struct Case {
        int command;
        QByteArray text;
        platform::WindowId simulator;
        platform::WindowId foreground;
        QByteArray reply;
        int signalled;
        QString line;
    };
    const std::vector<Case> cases = {
        {202, "", 0, 0, "@000020;202;000042;pit-link;", 99, "(Server) - Get Server name: Pitlink"},
        {203, "", 0, 0, "@000014;203;000042;17;", 99, "(Server) - Get Client ID: 17"},
        {204, "", 0, 0, "", 99, ""},
        {210, "", 0, 0, "", 99, ""},
        {206, "3;", 0, 0, "@000021;206;000042;Button ok;", 2, ""},
        {206, "0;", 0, 0, "@000021;206;000042;Button ok;", -1, ""},
        {206, "x;", 0, 0, "@000021;206;000042;Button ok;", -1, ""},
        {206, "-2147483648;", 0, 0, "@000021;206;000042;Button ok;", -1, ""},
        {209, "65;", 5, 5, "@000018;209;000042;KEY OK;", 65, ""},
        {209, "66;", 5, 9, "@000029;209;000042;IRACING NOT ONTOP;", 66, ""},
        // Neither window: no key would reach a simulator.
        {209, "67;", 0, 0, "@000029;209;000042;IRACING NOT ONTOP;", 67, ""},
        {207, "", 0, 0, "@000019;207;000042;NO DATA;", 99, ""},
        {208, "", 0, 0, "@000019;208;000042;NO DATA;", 99, ""},
    };
    for (const Case &c : cases) {
        RecordingEnvironment env;
        env.simulator = c.simulator;
        env.foreground = c.foreground;
        const auto reply = handleCommand(request(c.command, 42, c.text), env);
        EXPECT_EQ(reply ? reply->raw : QByteArray(), c.reply) << c.command << c.text.constData();
        std::vector<int> signalled = env.chats;
        signalled.insert(signalled.end(), env.keys.begin(), env.keys.end());
        EXPECT_EQ(signalled, c.signalled == 99 ? std::vector<int>() : std::vector<int>{c.signalled});
        EXPECT_EQ(env.log.size(), c.line.isEmpty() ? 0u : 1u);
        if (!env.log.empty()) {
            EXPECT_EQ(env.log[0].first, c.line);
            EXPECT_EQ(env.log[0].second, 0);
        }
    }
    RecordingEnvironment env;
    EXPECT_FALSE(handleCommand(irMessage(QByteArray("@000005;20201")), env));
    env.vars = irVariables();
    EXPECT_EQ(replyText(handleCommand(request(207, 1), env)), QStringLiteral("IRACING NOT CONNECTED"));
    EXPECT_EQ(replyText(handleCommand(request(208, 1), env)), QStringLiteral("IRACING NOT CONNECTED"));
}

QJsonObject jsonOf(const std::optional<irMessage> &reply)
{
    EXPECT_TRUE(reply);
    if (!reply)
        return {};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(replyText(reply).toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << qPrintable(replyText(reply));
    return doc.object();
}

TEST(Commands, TelemetryMessageHasEveryKeyAndType)
{
    RecordingEnvironment env;
    irVariables vars;
    vars.simConnected = true;
    vars.sessionNum = 2;
    vars.sessionTime = 123.5;
    vars.sessionFlags = static_cast<std::int32_t>(0x80000001u);
    vars.displayUnits = static_cast<std::int8_t>(200);
    vars.isOnTrack = true;
    vars.speed = 0.1f;
    vars.fuelUsePerHour = 7.25f;
    env.vars = vars;

    const auto reply = handleCommand(request(207, 9), env);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->raw.mid(frame::kHeaderSize).startsWith("207;000009;{\n    \""));
    EXPECT_TRUE(replyText(reply).contains(QStringLiteral("\"Speed\": 0.10000000149011612")));

    const QJsonObject o = jsonOf(reply);
    const QStringList keys = {
        "SessionNum", "SessionTimeSinceStarted", "SessionLapsRemain", "SessionFlags",
        "DisplayUnits", "IsOnTrack", "IsReplayPlaying", "PlayerCarPosition",
        "PlayerCarClassPosition", "PlayerCarIdx", "RaceLaps", "PlayerLaps", "Speed",
        "TrackTempCrew", "AirTemp", "WeatherType", "Skies", "AirDensity", "AirPressure",
        "WindVel", "WindDir", "RelativeHumidity", "FogLevel", "FuelLevel", "FuelLevelPct",
        "FuelUsePerHour"};
    EXPECT_EQ(o.size(), keys.size());
    for (const QString &key : keys)
        EXPECT_TRUE(o.contains(key)) << qPrintable(key);
    EXPECT_EQ(o.value("SessionNum").toInt(), 2);
    EXPECT_EQ(o.value("SessionTimeSinceStarted").toDouble(), 123.5);
    EXPECT_EQ(o.value("SessionFlags").toDouble(), -2147483647.0);
    EXPECT_EQ(o.value("DisplayUnits").toInt(), -56);
    EXPECT_TRUE(o.value("IsOnTrack").isBool());
    EXPECT_TRUE(o.value("IsOnTrack").toBool());
    EXPECT_TRUE(o.value("IsReplayPlaying").isBool());
    EXPECT_EQ(o.value("FuelUsePerHour").toDouble(), 7.25);
}

TEST(Commands, SessionMessageSendsStartValuesAsTheyAre)
{
    RecordingEnvironment env;
    irVariables vars;
    vars.simConnected = true;
    vars.playerDriver.driverCarEstLapTime = 92.5f;
    env.vars = vars;
    const QJsonObject o = jsonOf(handleCommand(request(208, 1), env));
    const QStringList keys = {"SI.SessionType", "SI.SessionTime", "SI.SessionNum",
                              "SI.SessionLaps", "WI.Trackname", "WI.TrackDisplayShortName",
                              "DI.DriverCarFuelKgPerLtr", "DI.DriverCarFuelMaxLtr",
                              "DI.DriverCarMaxFuelPct", "DI.DriverCarEstLapTime"};
    EXPECT_EQ(o.size(), keys.size());
    for (const QString &key : keys)
        EXPECT_TRUE(o.contains(key)) << qPrintable(key);
    EXPECT_EQ(o.value("SI.SessionType").toString(), QStringLiteral("n/a"));
    EXPECT_EQ(o.value("WI.Trackname").toString(), QStringLiteral("n/a"));
    EXPECT_EQ(o.value("SI.SessionTime").toDouble(), -1.0);
    EXPECT_EQ(o.value("SI.SessionLaps").toInt(), -1);
    EXPECT_EQ(o.value("SI.SessionNum").toInt(), 1);
    EXPECT_EQ(o.value("DI.DriverCarEstLapTime").toDouble(), 92.5);
}

class ChatMacros : public ::testing::Test {
protected:
    void writeIni(const QByteArray &content)
    {
        QFile file(dir.path() + "/app.ini");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QString reply()
    {
        env.documents = dir.path();
        return replyText(handleCommand(request(205, 1), env));
    }

    QTemporaryDir dir;
    RecordingEnvironment env;
};

TEST_F(ChatMacros, FifteenFieldsFromUtf8OrLatin1Text)
{
    writeIni("[Autochat Messages]\nAutoChatStr1=Gr\xc3\xbc\xc3\x9f" "e\nAutoChatStr2=Gr\xfc\xdf" "e\n"
             "AutoChatStr3=left,right,centre\nAutoChatStr15=\xe2\x82\xac 5\n");
    const QString gruesse = QString::fromUtf8("Gr\xc3\xbc\xc3\x9f" "e");
    EXPECT_EQ(reply(), gruesse + "|" + gruesse + "|left,right,centre||||||||||||" +
                           QString::fromUtf8("\xe2\x82\xac 5"));
}

TEST_F(ChatMacros, LongestMacroIsCutAtACharacterSoTheReplyFitsOneFrame)
{
    // 1 + 2 x 600,000 bytes; 60,000 would split an "e acute".
    QByteArray longest = "a";
    for (int i = 0; i < 600000; ++i)
        longest += "\xc3\xa9";
    QByteArray ini = "[Autochat Messages]\n";
    for (int n = 1; n <= 15; ++n)
        ini += "AutoChatStr" + QByteArray::number(n) + "=" + longest + "\n";
    writeIni(ini);
    env.documents = dir.path();
    const auto sent = handleCommand(request(205, 1), env);
    ASSERT_TRUE(sent);
    FrameReader reader;
    const FrameReader::Result read = reader.feed(sent->raw);
    ASSERT_EQ(read.frames.size(), 1);
    EXPECT_EQ(read.frames.first().size(), sent->raw.size());
    const QStringList fields = replyText(sent).split(QLatin1Char('|'));
    ASSERT_EQ(fields.size(), 15);
    for (const QString &field : fields)
        EXPECT_EQ(field.toUtf8(), longest.left(59999));
}

TEST_F(ChatMacros, MissingFileIsIracingNotFound)
{
    EXPECT_EQ(reply(), QStringLiteral("IRACING NOT FOUND"));
    env.documents = dir.path() + "/nowhere";
    EXPECT_EQ(replyText(handleCommand(request(205, 1), env)), QStringLiteral("IRACING NOT FOUND"));
    EXPECT_TRUE(env.log.empty());
}

TEST(Utf8Check, AcceptsValidAndRejectsBrokenSequences)
{
    EXPECT_TRUE(isValidUtf8("plain"));
    EXPECT_TRUE(isValidUtf8("\xc3\xa9\xe2\x82\xac\xf0\x9f\x8f\x81"));
    EXPECT_FALSE(isValidUtf8("\xe9"));             // Latin-1 e acute
    EXPECT_FALSE(isValidUtf8("\xc3"));             // cut short
    EXPECT_FALSE(isValidUtf8("\xc0\xaf"));         // overlong
    EXPECT_FALSE(isValidUtf8("\xed\xa0\x80"));     // surrogate
    EXPECT_FALSE(isValidUtf8("\xf4\x90\x80\x80")); // beyond U+10FFFF
    EXPECT_EQ(redecodeIniText(QString::fromLatin1("caf\xc3\xa9")), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_EQ(redecodeIniText(QString::fromLatin1("caf\xe9")), QString::fromLatin1("caf\xe9"));
}

} // namespace
