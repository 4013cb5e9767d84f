// Input: a whole telemetry memory image, served by the fake platform. The
// link must open or refuse it, fetch, read variables and answer queries
// without reading outside the image.

#include "platform/fake/FakeOs.h"
#include "simlink/SimClient.h"
#include "simlink/TelemetryLink.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static platform::FakeOs fake;
    platform::setOs(&fake);
    fake.setInstantTimeouts(true);
    fake.setImage(std::vector<unsigned char>(data, data + size));

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
    (void)client.variableIndex("Speed");
    char buffer[64];
    (void)client.sessionValue("WeekendInfo:TrackName:", buffer, sizeof buffer);
    (void)client.sessionValue("DriverInfo:Drivers:CarIdx:{0}UserName:", buffer, sizeof buffer);
    client.reset();
    telemetryClose();
    return 0;
}
