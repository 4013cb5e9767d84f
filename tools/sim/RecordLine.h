#pragma once
// The output lines for what the substitute receives: broadcast messages and
// keys, as tests and the demo log read them.

#include <cstdint>
#include <string>

namespace sim {

// The simulator's view of a broadcast request: the inverse of the packing
// in simlink/Broadcast.h.
struct BroadcastRequest {
    int code = 0;            // low 16 bits of wParam
    int argument1 = 0;       // next 16 bits of wParam, unsigned
    std::int64_t argument2 = 0; // lParam
};
BroadcastRequest decodeBroadcast(std::uint64_t wParam, std::int64_t lParam);

// "broadcast msg=<id> wparam=0x<hex> lparam=<n>", followed by the decoded
// " code=<c> arg1=<a1> arg2=<a2>" when `message` is the simulator's own.
std::string broadcastLine(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam,
                          bool simulatorMessage);
// "key vk=<code> down" or "key vk=<code> up" for a key that reached the
// simulator's window; " to another program" follows for one that did not.
std::string keyLine(std::uint32_t virtualKey, bool keyUp, bool toSimulator = true);
// "lost <n> records" when the control ring overflowed.
std::string lostLine(std::uint32_t count);

} // namespace sim
