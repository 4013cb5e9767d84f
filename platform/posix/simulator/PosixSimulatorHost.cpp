// The POSIX substitute's system side: shared memory and the pulsed event for
// the telemetry, the control block for its window and what reaches it,
// standard input polled without waiting, SIGINT and SIGTERM as stop requests.

#include "platform/SimulatorHost.h"
#include "platform/posix/SimulatorControl.h"
#include "platform/posix/SimulatorTelemetry.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

volatile sig_atomic_t stopFlag = 0;

extern "C" void onStopSignal(int) { stopFlag = 1; }

void watchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A reader of our output that went away must not kill us mid-line.
    signal(SIGPIPE, SIG_IGN);
}

posix::WindowState toState(SimulatorWindow state)
{
    switch (state) {
    case SimulatorWindow::Front: return posix::WindowState::Front;
    case SimulatorWindow::Behind: return posix::WindowState::Behind;
    case SimulatorWindow::Gone: break;
    }
    return posix::WindowState::Gone;
}

class PosixSimulatorHost final : public SimulatorHost {
public:
    PosixSimulatorHost() { watchStopSignals(); }
    ~PosixSimulatorHost() override { close(); }

    bool open(const char *mappingName, const char *eventName, std::size_t size, const char *windowTitle,
              std::string *error) override
    {
        return telemetry_.open(mappingName, eventName, size, error) && control_.open(windowTitle, error);
    }
    unsigned char *memory() const override { return telemetry_.memory(); }
    std::size_t size() const override { return telemetry_.size(); }
    void announceSample() override { telemetry_.announceSample(); }
    void setWindow(SimulatorWindow state) override { control_.setWindow(toState(state)); }

    std::uint32_t takeRecords(std::vector<SimulatorRecord> *records, int timeoutMs) override
    {
        std::vector<posix::ControlRecord> raw;
        const std::uint32_t lost = control_.takeRecords(&raw, timeoutMs);
        for (const posix::ControlRecord &r : raw) {
            SimulatorRecord record;
            record.kind = r.kind == posix::RecordKind::Key ? SimulatorRecord::Kind::Key
                                                           : SimulatorRecord::Kind::Broadcast;
            record.message = r.message;
            record.wParam = r.wParam;
            record.lParam = r.lParam;
            record.keyCode = r.keyCode;
            record.keyUp = r.keyUp != 0;
            record.toSimulator = r.kind != posix::RecordKind::Key || r.toSimulator != 0;
            records->push_back(record);
        }
        return lost;
    }

    void close() override { control_.close(); }

    bool readInput(std::string *bytes) override
    {
        struct pollfd fd {STDIN_FILENO, POLLIN, 0};
        while (::poll(&fd, 1, 0) > 0) {
            char chunk[4096];
            const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            bytes->append(chunk, static_cast<std::size_t>(n));
        }
        return true;
    }

    bool stopRequested() override { return stopFlag != 0; }

private:
    posix::SimulatorTelemetryHost telemetry_;
    posix::SimulatorControlHost control_;
};

} // namespace

std::unique_ptr<SimulatorHost> makeSimulatorHost() { return std::make_unique<PosixSimulatorHost>(); }

} // namespace platform
