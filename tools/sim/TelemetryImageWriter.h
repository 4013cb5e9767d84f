#pragma once
// Lays out a telemetry memory image (the layout of simlink/TelemetryLayout.h)
// on a caller-provided block: a std::vector in tests, the shared memory in
// the simulator substitute. Declare variables, then layout(); after that set
// values in the staging sample and publish() them into the next ring buffer.
// The raw accessors exist so tests can write hostile headers.

#include "simlink/TelemetryLayout.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TelemetryImageWriter {
public:
    struct Layout {
        int bufferCount = 3;        // 1..kMaxBuffers
        int sessionTextCapacity = 256 * 1024;
        int bufferSize = 0;         // 0: the declared variables' size, rounded up to 16
    };

    // Declares a variable; returns its index. Offsets are assigned in order.
    int addVariable(const std::string &name, telemetry::VarType type, int entryCount = 1);

    // Bytes the image needs for the declared variables and `layout`.
    std::size_t imageSize(const Layout &layout) const;
    // Writes header, variable table, empty text and zero buffers on `block`
    // (at least imageSize() bytes). The block must outlive the writer's use.
    void layout(void *block, std::size_t blockSize, const Layout &layout);

    // The session text: bytes plus NUL, cut to the capacity - 1.
    void setSessionText(const std::string &text);
    void setConnected(bool connected);

    // Staging sample, published by publish().
    void setInt(int var, int value, int entry = 0);
    void setChar(int var, std::int8_t value, int entry = 0);
    void setFloat(int var, float value, int entry = 0);
    void setDouble(int var, double value, int entry = 0);
    std::vector<std::uint8_t> &staging() { return staging_; }

    // Copies the staging sample into the next ring buffer and gives it the
    // next tick (or `tick` when set with setNextTick: ticks may go back).
    // Returns the buffer index written.
    int publish();
    void setNextTick(std::int32_t tick) { nextTick_ = tick; }
    std::int32_t nextTick() const { return nextTick_; }

    // Raw access for hostile images and torn-write tests.
    telemetry::TelemetryHeader *header();
    telemetry::TelemetryVarHeader *varHeader(int index);
    std::uint8_t *bufferData(int index);
    std::uint8_t *block() { return block_; }
    std::size_t blockSize() const { return blockSize_; }

private:
    struct Var {
        std::string name;
        telemetry::VarType type;
        int entries;
        int offset;
    };
    static int widthOf(telemetry::VarType type);
    template <typename T> void put(int var, int entry, T value);

    std::vector<Var> vars_;
    int nextValueOffset_ = 0;
    std::uint8_t *block_ = nullptr;
    std::size_t blockSize_ = 0;
    Layout layout_;
    int textOffset_ = 0;
    std::vector<std::uint8_t> staging_;
    std::int32_t nextTick_ = 1;
    int nextBuffer_ = 0;
};
