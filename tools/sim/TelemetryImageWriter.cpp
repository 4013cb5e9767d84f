#include "tools/sim/TelemetryImageWriter.h"

#include <algorithm>
#include <atomic>
#include <cstring>

using namespace telemetry;

namespace {
constexpr int kAlign = 16;
int alignUp(int v) { return (v + kAlign - 1) / kAlign * kAlign; }

// The simulator's counters are 32-bit and wrap; readers only look for a
// change. A header patched to the largest value must not overflow.
std::int32_t wrappedNext(std::int32_t counter)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) + 1u);
}
} // namespace

int TelemetryImageWriter::widthOf(VarType type)
{
    switch (type) {
    case kTypeChar:
    case kTypeBool: return 1;
    case kTypeDouble: return 8;
    default: return 4;
    }
}

int TelemetryImageWriter::addVariable(const std::string &name, VarType type, int entryCount)
{
    const int width = widthOf(type);
    nextValueOffset_ = (nextValueOffset_ + width - 1) / width * width;
    vars_.push_back({name, type, entryCount, nextValueOffset_});
    nextValueOffset_ += width * entryCount;
    return static_cast<int>(vars_.size()) - 1;
}

std::size_t TelemetryImageWriter::imageSize(const Layout &l) const
{
    const int bufferSize = l.bufferSize > 0 ? l.bufferSize : alignUp(std::max(nextValueOffset_, 1));
    std::size_t size = sizeof(TelemetryHeader);
    size += vars_.size() * sizeof(TelemetryVarHeader);
    size += static_cast<std::size_t>(alignUp(l.sessionTextCapacity));
    size += static_cast<std::size_t>(kMaxBuffers) * static_cast<std::size_t>(alignUp(bufferSize));
    return size;
}

void TelemetryImageWriter::layout(void *block, std::size_t blockSize, const Layout &l)
{
    block_ = static_cast<std::uint8_t *>(block);
    blockSize_ = blockSize;
    layout_ = l;
    if (layout_.bufferSize <= 0)
        layout_.bufferSize = alignUp(std::max(nextValueOffset_, 1));
    std::memset(block_, 0, blockSize_);

    TelemetryHeader *h = header();
    h->version = 2;
    h->tickRate = 60;
    h->variableCount = static_cast<std::int32_t>(vars_.size());
    h->variableTableOffset = static_cast<std::int32_t>(sizeof(TelemetryHeader));
    textOffset_ = h->variableTableOffset + static_cast<int>(vars_.size() * sizeof(TelemetryVarHeader));
    h->sessionTextOffset = textOffset_;
    h->sessionInfoLength = layout_.sessionTextCapacity;
    h->bufferCount = layout_.bufferCount;
    h->bufferSize = layout_.bufferSize;
    int data = alignUp(textOffset_ + layout_.sessionTextCapacity);
    for (int i = 0; i < kMaxBuffers; ++i) {
        h->bufferTable[i].tickCount = 0;
        h->bufferTable[i].dataOffset = data + i * alignUp(layout_.bufferSize);
    }
    for (std::size_t i = 0; i < vars_.size(); ++i) {
        TelemetryVarHeader *v = varHeader(static_cast<int>(i));
        v->valueType = vars_[i].type;
        v->valueOffset = vars_[i].offset;
        v->entryCount = vars_[i].entries;
        // The block is zeroed: the name is NUL-padded, and a 32-character
        // name is left unterminated.
        std::memcpy(v->name, vars_[i].name.data(), std::min(vars_[i].name.size(), static_cast<std::size_t>(kVarNameLength)));
    }
    staging_.assign(static_cast<std::size_t>(layout_.bufferSize), 0);
    nextBuffer_ = 0;
}

TelemetryHeader *TelemetryImageWriter::header()
{
    return reinterpret_cast<TelemetryHeader *>(block_);
}

TelemetryVarHeader *TelemetryImageWriter::varHeader(int index)
{
    return reinterpret_cast<TelemetryVarHeader *>(block_ + sizeof(TelemetryHeader)
                                                  + static_cast<std::size_t>(index) * sizeof(TelemetryVarHeader));
}

std::uint8_t *TelemetryImageWriter::bufferData(int index)
{
    return block_ + header()->bufferTable[index].dataOffset;
}

void TelemetryImageWriter::setSessionText(const std::string &text)
{
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(layout_.sessionTextCapacity - 1));
    std::memcpy(block_ + textOffset_, text.data(), n);
    block_[textOffset_ + static_cast<int>(n)] = 0;
    header()->sessionInfoUpdate = wrappedNext(header()->sessionInfoUpdate);
}

void TelemetryImageWriter::setConnected(bool connected)
{
    if (connected)
        header()->statusFlags |= static_cast<std::int32_t>(kStatusConnected);
    else
        header()->statusFlags &= ~static_cast<std::int32_t>(kStatusConnected);
}

template <typename T> void TelemetryImageWriter::put(int var, int entry, T value)
{
    const Var &v = vars_.at(static_cast<std::size_t>(var));
    const std::size_t at = static_cast<std::size_t>(v.offset) + static_cast<std::size_t>(entry) * sizeof(T);
    if (entry < 0 || entry >= v.entries || at + sizeof(T) > staging_.size())
        return;
    std::memcpy(staging_.data() + at, &value, sizeof(T));
}

void TelemetryImageWriter::setInt(int var, int value, int entry) { put<std::int32_t>(var, entry, value); }
void TelemetryImageWriter::setChar(int var, std::int8_t value, int entry) { put<std::int8_t>(var, entry, value); }
void TelemetryImageWriter::setFloat(int var, float value, int entry) { put<float>(var, entry, value); }
void TelemetryImageWriter::setDouble(int var, double value, int entry) { put<double>(var, entry, value); }

int TelemetryImageWriter::publish()
{
    const int index = nextBuffer_;
    TelemetryBufferInfo &b = header()->bufferTable[index];
    const std::size_t n = std::min(staging_.size(), static_cast<std::size_t>(layout_.bufferSize));
    std::memcpy(block_ + b.dataOffset, staging_.data(), n);
    // Readers in other processes take the new count as "data complete".
    std::atomic_thread_fence(std::memory_order_release);
    b.tickCount = nextTick_;
    nextTick_ = wrappedNext(nextTick_);
    nextBuffer_ = (nextBuffer_ + 1) % std::max(1, layout_.bufferCount);
    return index;
}
