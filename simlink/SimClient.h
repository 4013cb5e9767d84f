#pragma once
// The process-wide telemetry client: keeps its own copy of the newest sample
// and answers typed variable reads and session-info queries from it.
// GUI thread only.

#include "simlink/TelemetryLayout.h"

#include <cstdint>
#include <memory>

class SessionInfoIndex;

class SimClient {
public:
    static SimClient &shared();

    SimClient(const SimClient &) = delete;
    SimClient &operator=(const SimClient &) = delete;

    // True when the sample buffer now holds a new sample.
    bool waitForSample(int timeoutMs);
    // A sample buffer exists and the link is alive.
    bool isLinked() const;

    // Copies the value at `path` into `buffer` (NUL-terminated). Returns 1
    // when the whole value fits, its negated length when it was cut, and 0
    // when not linked, on bad arguments or when the path is not found.
    int sessionValue(const char *path, char *buffer, int size);

    // 0 while not linked, else the variable's index (or -1).
    int variableIndex(const char *name) const;
    bool readBool(int index, int entry) const;
    int readInt(int index, int entry) const;
    float readFloat(int index, int entry) const;
    double readDouble(int index, int entry) const;

    const std::uint8_t *sampleBuffer() const { return sample_.get(); }
    std::int32_t sampleSize() const { return sampleSize_; }
    // Tick count of the sample in the buffer; kNoTick while it holds none.
    // A reader that missed a wait can still tell whether the buffer moved on
    // since it last read it.
    std::int32_t sampleTick() const { return sampleTick_; }

    // Drops the sample buffer and the session index (tests start clean).
    void reset();

    ~SimClient();

private:
    SimClient();
    void dropSample();

    std::unique_ptr<std::uint8_t[]> sample_;
    std::int32_t sampleSize_ = 0;
    std::int32_t sampleTick_ = telemetry::kNoTick;
    std::unique_ptr<SessionInfoIndex> index_;
};
