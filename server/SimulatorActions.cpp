#include "server/SimulatorActions.h"

#include "simlink/Broadcast.h"
#include "simlink/TelemetryLayout.h"

#include <cstdint>

bool playChatMacro(bool simulatorLinked, int id)
{
    if (!simulatorLinked)
        return false;
    // Taken as unsigned, negative ids are out of range too.
    if (static_cast<unsigned>(id) >= static_cast<unsigned>(kChatMacroCount))
        return false;
    sendBroadcast(kBroadcastChatMacro, 0, id);
    return true;
}

bool pressSimulatorKey(bool simulatorOnTop, int key, platform::Os &os)
{
    if (!simulatorOnTop)
        return false;
    const platform::WindowId simulator = os.findWindow(telemetry::kSimulatorWindowTitle);
    if (simulator == 0 || os.foregroundWindow() != simulator)
        return false;
    const auto code = static_cast<std::uint16_t>(key & 0xFFFF);
    os.injectKey(code, false);
    os.injectKey(code, true);
    return true;
}
