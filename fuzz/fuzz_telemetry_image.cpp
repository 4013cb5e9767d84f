// Input: a telemetry memory image, served by the fake platform. The link must
// open or refuse it, fetch, read variables and answer queries without
// reading outside the image.
//
// Most raw images are refused by the first header check, so an input whose
// first byte is odd is a recipe instead: a valid image laid out by the
// writer from the input's choices (ring size, variables), then patches of
// header, buffer table and descriptor fields, then the session text. That
// way the fuzzer reaches the reads past the checks.

#include "platform/fake/FakeOs.h"
#include "simlink/SimClient.h"
#include "simlink/TelemetryLink.h"
#include "simlink/TelemetryLinkHooks.h"
#include "tools/sim/TelemetryImageWriter.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kTextCapacity = 512;
constexpr int kMaxVariables = 8;
constexpr int kMaxPatches = 8;
const char *const kNames[kMaxVariables] = {"SessionTime", "Speed", "Gear", "RPM", "Lap", "FuelLevel", "CarIdxPos",
                                           "SessionNum"};
constexpr int kHeaderFields = 12;  // the 32-bit fields before the buffer table
constexpr int kEntryFields = 2;    // tick count, data offset
constexpr int kDescriptorFields = 3; // type, value offset, entry count
// Flags in the first byte of a recipe.
constexpr std::uint8_t kRecipe = 1;
constexpr std::uint8_t kTornCopies = 2;   // the simulator rewrites the buffer during every copy
constexpr std::uint8_t kTextRewritten = 4; // a text byte changes between queries
const char *const kPaths[] = {"WeekendInfo:TrackName:", "DriverInfo:Drivers:CarIdx:{0}UserName:",
                              "DriverInfo:Drivers:CarIdx:{1}", "SessionInfo:Sessions:SessionNum:{2}SessionType:",
                              "SessionInfo:Sessions:SessionNum:{2}ResultsPositions:Position:{1}CarIdx:",
                              "SessionInfo:NumSessions:", "A:", "A:B:", "A:{1}B:"};

void tearCopy(void *image)
{
    auto *h = reinterpret_cast<telemetry::TelemetryHeader *>(static_cast<std::vector<unsigned char> *>(image)->data());
    for (auto &b : h->bufferTable)
        b.tickCount = static_cast<int>(static_cast<unsigned>(b.tickCount) + 1u);
}

void askEveryPath(SimClient &client)
{
    char buffer[64];
    for (const char *path : kPaths)
        (void)client.sessionValue(path, buffer, sizeof buffer);
}

// Reads the input front to back; past its end every byte reads 0.
struct Input {
    const std::uint8_t *data;
    std::size_t size;
    std::size_t at = 0;
    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    std::int32_t int32()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(byte()) << (8 * i);
        return static_cast<std::int32_t>(v);
    }
};

// A 32-bit field of the image chosen by `selector`, or -1 when it lies outside.
long patchOffset(TelemetryImageWriter &writer, int variables, std::uint8_t selector)
{
    const int fields = kHeaderFields + telemetry::kMaxBuffers * kEntryFields + variables * kDescriptorFields;
    const int field = selector % fields;
    if (field < kHeaderFields + telemetry::kMaxBuffers * kEntryFields)
        return 4L * field; // header and buffer table are consecutive 32-bit fields
    const int d = field - kHeaderFields - telemetry::kMaxBuffers * kEntryFields;
    const long at = static_cast<long>(reinterpret_cast<std::uint8_t *>(writer.varHeader(d / kDescriptorFields)) - writer.block())
                    + 4L * (d % kDescriptorFields);
    return at + 4 <= static_cast<long>(writer.blockSize()) ? at : -1;
}

std::vector<unsigned char> recipeImage(Input &in)
{
    TelemetryImageWriter writer;
    TelemetryImageWriter::Layout layout;
    layout.bufferCount = 1 + in.byte() % telemetry::kMaxBuffers;
    layout.sessionTextCapacity = static_cast<int>(kTextCapacity);
    const int variables = in.byte() % (kMaxVariables + 1);
    for (int v = 0; v < variables; ++v) {
        const std::uint8_t choice = in.byte();
        writer.addVariable(kNames[v], static_cast<telemetry::VarType>(choice % 6), 1 + (choice >> 4) % 4);
    }
    std::vector<unsigned char> image(writer.imageSize(layout), 0);
    writer.layout(image.data(), image.size(), layout);
    writer.setConnected(true);
    for (int v = 0; v < variables; ++v)
        writer.setInt(v, in.int32());
    for (int i = 0; i < layout.bufferCount; ++i)
        writer.publish();
    const int patches = in.byte() % (kMaxPatches + 1);
    for (int p = 0; p < patches; ++p) {
        const long at = patchOffset(writer, variables, in.byte());
        const std::int32_t value = in.int32();
        if (at >= 0)
            std::memcpy(image.data() + at, &value, sizeof value);
    }
    writer.setSessionText(std::string(reinterpret_cast<const char *>(in.data + in.at), in.size - std::min(in.size, in.at)));
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static platform::FakeOs fake;
    const std::uint8_t flags = size > 0 && (data[0] & kRecipe) ? data[0] : 0;
    Input in{data + 1, size > 0 ? size - 1 : 0};
    if (flags & kRecipe)
        fake.image() = recipeImage(in);
    else
        fake.image().assign(data, data + size);
    setTelemetryCopyHook(flags & kTornCopies ? &tearCopy : nullptr, &fake.image());

    SimClient &client = SimClient::shared();
    for (int i = 0; i < 3; ++i) {
        client.waitForSample(0);
        // A sample arriving: bump every tick the header may have.
        if (fake.image().size() >= sizeof(telemetry::TelemetryHeader)) {
            auto *h = reinterpret_cast<telemetry::TelemetryHeader *>(fake.image().data());
            // Wrapping on purpose: the image may hold any tick count.
            for (auto &b : h->bufferTable)
                b.tickCount = static_cast<int>(static_cast<unsigned>(b.tickCount) + 1u + static_cast<unsigned>(i));
        }
    }
    TelemetryHeaderFields fields;
    const int count = telemetryHeaderFields(&fields) ? fields.variableCount : 0;
    for (int v = -1; v < count && v < 64; ++v) {
        for (int e = -1; e < 3; ++e) {
            (void)client.readBool(v, e);
            (void)client.readInt(v, e);
            (void)client.readFloat(v, e);
            (void)client.readDouble(v, e);
        }
    }
    for (const char *name : kNames)
        (void)client.variableIndex(name);
    askEveryPath(client);
    std::size_t limit = 0;
    if (flags & kTextRewritten && telemetrySessionText(&limit) && limit > 0) {
        // In place, between two queries and no wait: the index must notice.
        const std::size_t at = static_cast<std::size_t>(fields.sessionTextOffset) + data[size - 1] % limit;
        fake.image()[at] = static_cast<unsigned char>(fake.image()[at] ^ data[size / 2]);
        askEveryPath(client);
    }
    setTelemetryCopyHook(nullptr, nullptr);
    client.reset();
    telemetryClose();
    return 0;
}
