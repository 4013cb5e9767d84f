#include "tools/sim/RecordLine.h"

#include <cstdio>

namespace sim {

namespace {
constexpr int kArgument1Shift = 16;
constexpr std::uint64_t kHalfWordMask = 0xFFFFu;
} // namespace

BroadcastRequest decodeBroadcast(std::uint64_t wParam, std::int64_t lParam)
{
    BroadcastRequest request;
    request.code = static_cast<int>(wParam & kHalfWordMask);
    request.argument1 = static_cast<int>((wParam >> kArgument1Shift) & kHalfWordMask);
    request.argument2 = lParam;
    return request;
}

std::string broadcastLine(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam,
                          bool simulatorMessage)
{
    char hex[24];
    std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(wParam));
    std::string line = "broadcast msg=" + std::to_string(message) + " wparam=" + hex +
                       " lparam=" + std::to_string(lParam);
    if (simulatorMessage) {
        const BroadcastRequest r = decodeBroadcast(wParam, lParam);
        line += " code=" + std::to_string(r.code) + " arg1=" + std::to_string(r.argument1) +
                " arg2=" + std::to_string(r.argument2);
    }
    return line;
}

std::string keyLine(std::uint32_t virtualKey, bool keyUp, bool toSimulator)
{
    return "key vk=" + std::to_string(virtualKey) + (keyUp ? " up" : " down") + (toSimulator ? "" : " to another program");
}

std::string lostLine(std::uint32_t count)
{
    return "lost " + std::to_string(count) + " records";
}

} // namespace sim
