#include "server/CommandHandler.h"

#include "server/ClientText.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <cstring>

namespace {

const char *const kServerName = "pit-link";
const char *const kIracingNotFound = "IRACING NOT FOUND";
const char *const kButtonOk = "Button ok";
const char *const kNoData = "NO DATA";
const char *const kIracingNotConnected = "IRACING NOT CONNECTED";
const char *const kKeyOk = "KEY OK";
const char *const kIracingNotOnTop = "IRACING NOT ONTOP";

const char *const kChatIniFile = "/app.ini";
const char *const kChatMacroKey = "Autochat Messages/AutoChatStr%1";
constexpr int kChatMacroCount = 15;
const char kChatMacroSeparator = '|';
const char kListJoin = ',';

constexpr int kLevelInfo = 0;
constexpr int kLevelClientName = 1;

QString latin1(const char *text) { return QString::fromLatin1(text); }

// 15 macros of at most this many UTF-8 bytes, their separators and the fixed
// fields always fit one frame.
constexpr int kMaxMacroBytes = 60000;

QString fittedMacro(const QString &macro)
{
    const QByteArray bytes = macro.toUtf8();
    if (bytes.size() <= kMaxMacroBytes)
        return macro;
    return QString::fromUtf8(utf8Prefix(bytes, kMaxMacroBytes));
}

} // namespace

bool isValidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto *end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        int follow;
        unsigned min;
        unsigned code;
        if (c < 0x80) {
            ++p;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            follow = 1, min = 0x80, code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            follow = 2, min = 0x800, code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            follow = 3, min = 0x10000, code = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= follow)
            return false;
        for (int i = 1; i <= follow; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false; // overlong, beyond Unicode or a surrogate
        p += follow + 1;
    }
    return true;
}

QString redecodeIniText(const QString &latin1Text)
{
    for (const QChar ch : latin1Text) {
        if (ch.unicode() > 0xFF)
            return latin1Text; // an escape sequence made it wider than a byte
    }
    const QByteArray bytes = latin1Text.toLatin1();
    return isValidUtf8(bytes) ? QString::fromUtf8(bytes) : latin1Text;
}

QStringList chatMacros(const QString &documentsPath)
{
    const QString path = documentsPath + latin1(kChatIniFile);
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return QStringList();

    // No codec set: every byte of a value arrives as one Latin-1 character.
    const QSettings ini(path, QSettings::IniFormat);
    QStringList macros;
    for (int n = 1; n <= kChatMacroCount; ++n) {
        const QVariant value = ini.value(latin1(kChatMacroKey).arg(n));
        const QString raw = value.type() == QVariant::StringList
                                ? value.toStringList().join(QLatin1Char(kListJoin))
                                : value.toString();
        macros.append(fittedMacro(redecodeIniText(raw)));
    }
    return macros;
}

QString chatMacrosText(const QString &documentsPath)
{
    const QStringList macros = chatMacros(documentsPath);
    if (macros.isEmpty())
        return latin1(kIracingNotFound);
    const QString result = macros.join(QLatin1Char(kChatMacroSeparator));
    return result;
}

QString noDataText() { return latin1(kNoData); }

QString dataMessageText(int command, const irVariables &vars)
{
    if (!vars.simConnected)
        return latin1(kIracingNotConnected);
    const QJsonObject object =
        command == kCommandTelemetry ? vars.telemetryJson() : vars.sessionJson();
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

namespace {

void appendText(std::string *out, const RequestView &request, const QByteArray &utf8)
{
    appendReplyFrame(out, request.command, request.requestNumber, utf8.constData(), utf8.size());
}

void appendText(std::string *out, const RequestView &request, const char *latin1Text)
{
    appendReplyFrame(out, request.command, request.requestNumber, latin1Text,
                     static_cast<int>(std::strlen(latin1Text)));
}

} // namespace

bool answerRequest(const RequestView &request, CommandEnvironment &env, std::string *reply)
{
    switch (request.command) {
    case kCommandClientName: {
        const QString name = request.argument();
        env.setClientName(name);
        env.debugString(QStringLiteral("(Server) - Client Name: %1").arg(printableText(name)),
                        kLevelClientName);
        return false;
    }
    case kCommandServerName:
        env.debugString(QStringLiteral("(Server) - Get Server name: Pitlink"), kLevelInfo);
        appendText(reply, request, kServerName);
        return true;
    case kCommandClientId: {
        const QByteArray id = QByteArray::number(static_cast<qint64>(env.clientId()));
        env.debugString(QStringLiteral("(Server) - Get Client ID: %1").arg(QLatin1String(id)),
                        kLevelInfo);
        appendText(reply, request, id);
        return true;
    }
    case kCommandChatMacros: {
        const QString macros = chatMacrosText(env.documentsPath());
        env.trace(macros);
        appendText(reply, request, macros.toUtf8());
        return true;
    }
    case kCommandChatMacro: {
        // Numbers below 1 name no macro; taking 1 from the lowest int would overflow.
        const int number = request.numericArgument();
        env.chatClicked(number > 0 ? number - 1 : -1);
        appendText(reply, request, kButtonOk);
        return true;
    }
    case kCommandTelemetry:
    case kCommandSession:
        // The prebuilt text is shared, not copied: only the header is made here.
        appendText(reply, request, env.dataText(request.command));
        return true;
    case kCommandKeyPress: {
        const int code = request.numericArgument();
        const platform::WindowId simulator = env.simulatorWindow();
        // No key reaches the simulator when its window is missing.
        const bool onTop = simulator != 0 && env.foregroundWindow() == simulator;
        env.keyboardKey(code);
        appendText(reply, request, onTop ? kKeyOk : kIracingNotOnTop);
        return true;
    }
    default:
        return false;
    }
}

std::optional<irMessage> handleCommand(const irMessage &request, CommandEnvironment &env)
{
    const QByteArray text = request.text.toUtf8();
    RequestView view;
    view.length = request.length;
    view.command = request.command;
    view.requestNumber = request.requestNumber;
    view.text = text.constData();
    view.textSize = text.size();
    std::string bytes;
    if (!answerRequest(view, env, &bytes))
        return std::nullopt;
    irMessage reply;
    reply.command = request.command;
    reply.requestNumber = request.requestNumber;
    reply.raw = QByteArray(bytes.data(), static_cast<int>(bytes.size()));
    return reply;
}
