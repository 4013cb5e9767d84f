#pragma once
// Layout of the simulator's telemetry memory. All integers are little-endian
// signed 32-bit; offsets are from the start of the block unless noted.

#include <cstddef>
#include <cstdint>

namespace telemetry {

constexpr const char *kMappingName = "Local\\IRSDKMemMapFileName";
constexpr const char *kDataValidEventName = "Local\\IRSDKDataValidEvent";
constexpr const char *kBroadcastMessageName = "IRSDK_BROADCASTMSG";
// Title of the simulator's main window.
constexpr const char *kSimulatorWindowTitle = "iRacing.com Simulator";

constexpr std::uint32_t kStatusConnected = 1u; // bit 0 of statusFlags
// Buffer table entries the header struct below spells out, which is what the
// substitute writes. The link itself walks `bufferCount` entries, bounded by
// the mapping, not by this.
constexpr int kMaxBuffers = 4;
constexpr std::size_t kBufferTableOffset = 48;
constexpr int kVarNameLength = 32;
constexpr std::int32_t kNoTick = 2147483647;   // "no sample taken yet"

enum VarType : std::int32_t {
    kTypeChar = 0,
    kTypeBool = 1,
    kTypeInt = 2,
    kTypeBitField = 3,
    kTypeFloat = 4,
    kTypeDouble = 5,
};

struct TelemetryBufferInfo {
    std::int32_t tickCount;
    std::int32_t dataOffset;
    std::int32_t reserved[2];
};
static_assert(sizeof(TelemetryBufferInfo) == 16, "buffer entry is 16 bytes");

struct TelemetryHeader {
    std::int32_t version;            // not read
    std::int32_t statusFlags;
    std::int32_t tickRate;           // not read
    std::int32_t sessionInfoUpdate;  // not read
    std::int32_t sessionInfoLength;  // not read
    std::int32_t sessionTextOffset;
    std::int32_t variableCount;
    std::int32_t variableTableOffset;
    std::int32_t bufferCount;
    std::int32_t bufferSize;
    std::int32_t reserved[2];        // not read
    TelemetryBufferInfo bufferTable[kMaxBuffers];
};
static_assert(offsetof(TelemetryHeader, statusFlags) == 4, "layout");
static_assert(offsetof(TelemetryHeader, sessionTextOffset) == 20, "layout");
static_assert(offsetof(TelemetryHeader, variableCount) == 24, "layout");
static_assert(offsetof(TelemetryHeader, variableTableOffset) == 28, "layout");
static_assert(offsetof(TelemetryHeader, bufferCount) == 32, "layout");
static_assert(offsetof(TelemetryHeader, bufferSize) == 36, "layout");
static_assert(offsetof(TelemetryHeader, bufferTable) == kBufferTableOffset, "layout");
static_assert(sizeof(TelemetryHeader) == 112, "header is 112 bytes");

struct TelemetryVarHeader {
    std::int32_t valueType;
    std::int32_t valueOffset;
    std::int32_t entryCount;
    std::int32_t countAsTime;        // not read
    char name[kVarNameLength];       // NUL-padded; no terminator at 32 chars
    char description[64];            // not read
    char unit[32];                   // not read
};
static_assert(offsetof(TelemetryVarHeader, name) == 16, "layout");
static_assert(sizeof(TelemetryVarHeader) == 144, "variable table stride is 144");

} // namespace telemetry
