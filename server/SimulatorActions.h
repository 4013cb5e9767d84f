#pragma once
// What a client's chat-macro and key requests do in the simulator. Run on
// the GUI thread by the main window's handlers.

#include "platform/Platform.h"

constexpr int kChatMacroCount = 15; // ids 0 to 14

// Plays chat macro `id` (0-based) while the simulator is linked; other ids
// are dropped. Returns whether the request was broadcast.
bool playChatMacro(bool simulatorLinked, int id);

// Presses and releases `key` (a virtual-key code, low 16 bits) in the
// simulator. The last poll's "in front" flag is not enough: the user may have
// switched windows since, so the foreground window is checked now, and no key
// goes to any other program. Returns whether the key was injected.
bool pressSimulatorKey(bool simulatorOnTop, int key, platform::Os &os);
