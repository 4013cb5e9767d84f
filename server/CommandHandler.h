#pragma once
// The client commands 201 to 209: what each does and the reply it gets.
// Pure functions over an environment, so they run without a socket or thread.

#include "model/irVariables.h"
#include "platform/Platform.h"
#include "server/irMessage.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string>

enum Command : int {
    kCommandClientName = 201,
    kCommandServerName = 202,
    kCommandClientId = 203,
    kCommandChatMacros = 205,
    kCommandChatMacro = 206,
    kCommandTelemetry = 207,
    kCommandSession = 208,
    kCommandKeyPress = 209,
};

// What a command may read and do; the client thread provides it.
class CommandEnvironment {
public:
    virtual ~CommandEnvironment() = default;

    virtual qintptr clientId() const = 0;
    virtual void setClientName(const QString &name) = 0;
    virtual QString documentsPath() const = 0;
    // The UTF-8 reply text of 207 or 208 as built for the current snapshot
    // (see dataMessageText), or "NO DATA" when none is attached.
    virtual QByteArray dataText(int command) const = 0;
    virtual platform::WindowId simulatorWindow() const = 0;
    virtual platform::WindowId foregroundWindow() const = 0;

    virtual void debugString(const QString &line, int level) = 0;
    // A trace line for the debug output, not for the pane.
    virtual void trace(const QString &line) = 0;
    virtual void chatClicked(int id) = 0;
    virtual void keyboardKey(int key) = 0;
};

// Carries out `request` and appends its reply frame to `reply`; false for
// the commands that get none (201, unknown ones, a request too short to
// parse). The text is decoded only by the commands that read it, and 202,
// 207 and 208 are answered with no allocation once `reply` has room.
bool answerRequest(const RequestView &request, CommandEnvironment &env, std::string *reply);
// The same for a parsed message, returning the reply.
std::optional<irMessage> handleCommand(const irMessage &request, CommandEnvironment &env);

// The 15 chat macros of "app.ini" in `documentsPath` (missing ones empty),
// or an empty list when the file cannot be read.
QStringList chatMacros(const QString &documentsPath);
// Reply text of 205: the 15 chat macros of "app.ini" in `documentsPath`,
// joined with "|", or "IRACING NOT FOUND". A macro is cut to 60,000 UTF-8
// bytes at a character boundary, so the reply always fits one frame.
QString chatMacrosText(const QString &documentsPath);
// Reply text of 207 and 208: indented JSON or "IRACING NOT CONNECTED"; and
// "NO DATA" when no snapshot is attached.
QString dataMessageText(int command, const irVariables &vars);
QString noDataText();

// An ini value read with no codec holds one Latin-1 character per byte:
// returns it decoded as UTF-8 when those bytes are valid UTF-8, else as is.
QString redecodeIniText(const QString &latin1);
bool isValidUtf8(const QByteArray &bytes);
