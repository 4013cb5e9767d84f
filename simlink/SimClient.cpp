#include "simlink/SimClient.h"

#include "simlink/SessionInfoIndex.h"
#include "simlink/SessionInfoQuery.h"
#include "simlink/TelemetryLink.h"

#include <cmath>
#include <cstring>
#include <limits>

using namespace telemetry;

SimClient &SimClient::shared()
{
    static SimClient client;
    return client;
}

SimClient::SimClient() = default;

SimClient::~SimClient()
{
    telemetryClose();
}

void SimClient::reset()
{
    dropSample();
    index_.reset();
}

void SimClient::dropSample()
{
    sample_.reset();
    sampleSize_ = 0;
    sampleTick_ = kNoTick;
}

bool SimClient::waitForSample(int timeoutMs)
{
    TelemetrySampleTaken taken;
    const bool ok = telemetryWait(timeoutMs, sample_.get(), sample_ ? static_cast<std::size_t>(sampleSize_) : 0, &taken);
    if (ok) {
        if (sample_ && sampleSize_ == taken.bufferSize) {
            sampleTick_ = taken.tick;
            return true;
        }
        // First sample, or the simulator's buffer size changed: the size
        // comes from the header copy the link checked against the mapping.
        sampleSize_ = taken.bufferSize;
        sample_.reset(new std::uint8_t[static_cast<std::size_t>(sampleSize_)]());
        sampleTick_ = kNoTick;
        TelemetrySampleTaken again;
        if (!telemetryFetch(sample_.get(), static_cast<std::size_t>(sampleSize_), &again))
            return false;
        if (again.bufferSize != sampleSize_)
            return false; // changed again: only part of a sample was copied
        sampleTick_ = again.tick;
        return true;
    }
    if (sample_ && telemetryAlive())
        return false;
    dropSample();
    return false;
}

bool SimClient::isLinked() const
{
    return sample_ && telemetryAlive();
}

int SimClient::sessionValue(const char *path, char *buffer, int size)
{
    if (!isLinked() || !path || !buffer || size < 1)
        return 0;
    std::size_t limit = 0;
    const char *text = telemetrySessionText(&limit);
    if (!text)
        return 0;
    if (!index_)
        index_.reset(new SessionInfoIndex);
    // The index answers from its own copy of the text and checks, before
    // each answer, that the text it depends on has not changed since.
    index_->use(text, limit);
    const char *start = nullptr;
    int length = 0;
    if (!index_->query(path, &start, &length))
        return 0;
    return copySessionValue(start, length, buffer, size);
}

int SimClient::variableIndex(const char *name) const
{
    if (!isLinked())
        return 0;
    return telemetryVarIndex(name);
}

namespace {

int widthOf(std::int32_t type)
{
    switch (type) {
    case kTypeChar:
    case kTypeBool: return 1;
    case kTypeInt:
    case kTypeBitField:
    case kTypeFloat: return 4;
    case kTypeDouble: return 8;
    default: return 0;
    }
}

int clampToInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

} // namespace

// The stored value of entry `entry`, or false when it cannot be read.
struct StoredValue {
    std::int32_t type;
    std::int64_t integer;
    double real;
};

static bool readStored(const SimClient &client, int index, int entry, StoredValue *out)
{
    if (!client.isLinked())
        return false;
    TelemetryVarHeader var;
    if (!telemetryVarHeader(index, &var))
        return false;
    const std::int32_t type = var.valueType;
    const std::int32_t offset = var.valueOffset;
    const std::int32_t count = var.entryCount;
    const int width = widthOf(type);
    if (width == 0 || entry < 0 || entry >= count || offset < 0)
        return false;
    // The whole variable must lie inside our copy of the sample.
    if (static_cast<std::int64_t>(offset) + static_cast<std::int64_t>(count) * width > client.sampleSize())
        return false;
    const std::uint8_t *at = client.sampleBuffer() + offset + static_cast<std::int64_t>(entry) * width;
    out->type = type;
    switch (type) {
    case kTypeChar:
    case kTypeBool: {
        std::int8_t v;
        std::memcpy(&v, at, 1);
        out->integer = v;
        break;
    }
    case kTypeInt:
    case kTypeBitField: {
        std::int32_t v;
        std::memcpy(&v, at, 4);
        out->integer = v;
        break;
    }
    case kTypeFloat: {
        float v;
        std::memcpy(&v, at, 4);
        out->real = v;
        break;
    }
    default: {
        double v;
        std::memcpy(&v, at, 8);
        out->real = v;
        break;
    }
    }
    return true;
}

static bool isReal(std::int32_t type)
{
    return type == kTypeFloat || type == kTypeDouble;
}

bool SimClient::readBool(int index, int entry) const
{
    StoredValue v;
    if (!readStored(*this, index, entry, &v))
        return false;
    return isReal(v.type) ? v.real >= 1.0 : v.integer != 0;
}

int SimClient::readInt(int index, int entry) const
{
    StoredValue v;
    if (!readStored(*this, index, entry, &v))
        return 0;
    return isReal(v.type) ? clampToInt(v.real) : static_cast<int>(v.integer);
}

float SimClient::readFloat(int index, int entry) const
{
    StoredValue v;
    if (!readStored(*this, index, entry, &v))
        return 0.0f;
    return isReal(v.type) ? static_cast<float>(v.real) : static_cast<float>(v.integer);
}

double SimClient::readDouble(int index, int entry) const
{
    StoredValue v;
    if (!readStored(*this, index, entry, &v))
        return 0.0;
    return isReal(v.type) ? v.real : static_cast<double>(v.integer);
}
