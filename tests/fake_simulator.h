#pragma once
// A simulator on the fake platform backend: a telemetry memory image with the
// variables a test declares and a session text, its main window, and a data
// event that can announce a fresh sample on every wait, so code that waits
// for new data several times a pass gets it (or misses it) as the test plans.

#include "platform/fake/FakeOs.h"
#include "qt_printers.h"
#include "simlink/SimClient.h"
#include "simlink/TelemetryLayout.h"
#include "simlink/TelemetryLink.h"
#include "simlink/TelemetryLinkHooks.h"
#include "tools/sim/TelemetryImageWriter.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>

class FakeSimulator : public platform::FakeOs {
public:
    static constexpr platform::WindowId kSimulatorWindow = 0x51;
    static constexpr platform::WindowId kOtherWindow = 0x77;

    ~FakeSimulator() override
    {
        setTelemetryCopyHook(nullptr, nullptr);
        SimClient::shared().reset();
        telemetryClose();
    }

    int declare(const std::string &name, telemetry::VarType type, int entries = 1)
    {
        return vars[name] = writer.addVariable(name, type, entries);
    }

    // Lays out the image; declare every variable first.
    void build(const std::string &sessionText, const TelemetryImageWriter::Layout &layout = {})
    {
        image().assign(writer.imageSize(layout), 0);
        writer.layout(image().data(), image().size(), layout);
        writer.setConnected(true);
        writer.setSessionText(sessionText);
    }

    void setInt(const std::string &name, int value) { writer.setInt(vars.at(name), value); }
    void setFloat(const std::string &name, float value) { writer.setFloat(vars.at(name), value); }
    void setDouble(const std::string &name, double value) { writer.setDouble(vars.at(name), value); }

    void showWindow(bool inFront)
    {
        setWindow(telemetry::kSimulatorWindowTitle, kSimulatorWindow);
        setForegroundWindow(inFront ? kSimulatorWindow : kOtherWindow);
    }

    // Waits (the first wait opens the link) until the client holds a sample;
    // the first samples only size and synchronise the client.
    void link()
    {
        for (int i = 0; i < 4 && !SimClient::shared().waitForSample(16); ++i)
            writer.publish();
        ASSERT_TRUE(SimClient::shared().isLinked());
    }
    // One fresh sample taken into the client.
    void deliver()
    {
        writer.publish();
        ASSERT_TRUE(SimClient::shared().waitForSample(16));
    }

    // Each wait takes the next entry of `waitPlan` (true: a sample arrives);
    // once it is empty, `publishOnWait` decides.
    void waitEvent(platform::EventHandle, int timeoutMs) override
    {
        lastWaitMs = timeoutMs;
        if (waitPlan.empty() ? publishOnWait : waitPlan.front())
            writer.publish();
        if (!waitPlan.empty())
            waitPlan.pop_front();
    }

    TelemetryImageWriter writer;
    std::map<std::string, int> vars;
    bool publishOnWait = false;
    std::deque<bool> waitPlan;
    int lastWaitMs = 0;
};
