#include "simlink/Broadcast.h"

#include "platform/Platform.h"
#include "simlink/TelemetryLayout.h"

#include <mutex>

namespace {
constexpr int kCodeBits = 16;
constexpr std::uint32_t kCodeMask = 0xFFFFu;
} // namespace

std::uint64_t broadcastWParam(int messageCode, int argument1)
{
    const std::uint32_t packed = (static_cast<std::uint32_t>(messageCode) & kCodeMask)
        | ((static_cast<std::uint32_t>(argument1) & kCodeMask) << kCodeBits);
    // Sign-extend the 32-bit value, as the message parameter is pointer-wide.
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(packed)));
}

std::int64_t broadcastLParam(int argument2)
{
    return static_cast<std::int64_t>(argument2);
}

void sendBroadcast(int messageCode, int argument1, int argument2)
{
    static std::once_flag registered;
    static std::uint32_t broadcastMessageId = 0;
    std::call_once(registered, [] { broadcastMessageId = platform::os().registerMessage(telemetry::kBroadcastMessageName); });
    if (broadcastMessageId == 0 || static_cast<unsigned>(messageCode) > static_cast<unsigned>(kBroadcastMaxCode))
        return;
    platform::os().broadcastMessage(broadcastMessageId, broadcastWParam(messageCode, argument1), broadcastLParam(argument2));
}
