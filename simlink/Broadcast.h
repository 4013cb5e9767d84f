#pragma once
// The simulator's broadcast window message ("IRSDK_BROADCASTMSG").

#include <cstdint>

// Packs and broadcasts one request; codes above 12 are dropped. Any thread.
void sendBroadcast(int messageCode, int argument1, int argument2);

// The two message parameters for a request, sign-extended to 64 bits.
std::uint64_t broadcastWParam(int messageCode, int argument1);
std::int64_t broadcastLParam(int argument2);

// Chat macros are played with this code, the 0-based macro as argument 2.
constexpr int kBroadcastChatMacro = 8;
constexpr int kBroadcastMaxCode = 12;
