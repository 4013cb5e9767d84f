#include "tools/sim/SimulatorSession.h"

#include "platform/Platform.h"
#include "simlink/TelemetryLayout.h"
#include "tools/sim/HostileHeader.h"
#include "tools/sim/RecordLine.h"
#include "tools/sim/SessionTextGenerator.h"
#include "tools/sim/TornPublish.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

namespace sim {

namespace {
constexpr SimulatorSession::Clock::duration kSampleInterval =
    std::chrono::duration_cast<SimulatorSession::Clock::duration>(std::chrono::seconds(1)) / kSamplesPerSecond;
} // namespace

SimulatorSession::SimulatorSession(SimOptions options, std::unique_ptr<platform::SimulatorHost> host)
    : options_(std::move(options)), host_(std::move(host)),
      sample_(std::make_unique<LiveSample>(writer_, options_.drivers))
{
}

SimulatorSession::~SimulatorSession() { close(); }

bool SimulatorSession::open(Clock::time_point now, std::string *error)
{
    if (!options_.sessionFile.empty()) {
        std::ifstream in(options_.sessionFile, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in) {
            *error = "cannot read the session file " + options_.sessionFile;
            return false;
        }
        fileText_ = text.str();
    }
    TelemetryImageWriter::Layout layout;
    layout.bufferCount = kRingBuffers;
    layout.sessionTextCapacity = kSessionTextCapacity;
    if (!host_->open(telemetry::kMappingName, telemetry::kDataValidEventName, writer_.imageSize(layout),
                     telemetry::kSimulatorWindowTitle, error))
        return false;
    // An object left by an earlier run keeps its (possibly larger) size; the
    // image is laid out over all of it.
    writer_.layout(host_->memory(), host_->size(), layout);
    broadcastMessage_ = platform::systemOs().registerMessage(telemetry::kBroadcastMessageName);
    opened_ = lastSample_ = now;
    nextSample_ = now + kSampleInterval;
    publishSessionText();
    publish();
    writer_.setConnected(true);
    host_->announceSample();
    host_->setWindow(platform::SimulatorWindow::Front);
    open_ = true;
    return true;
}

void SimulatorSession::publishSessionText()
{
    if (!options_.sessionFile.empty()) {
        writer_.setSessionText(fileText_);
        textLaps_ = 0;
        return;
    }
    SessionTextOptions text;
    text.drivers = options_.drivers;
    text.codePage = options_.codePage;
    text.raceLapsComplete = sample_->lapsComplete();
    text.trackName = trackName_;
    writer_.setSessionText(generateSessionText(text));
    textLaps_ = text.raceLapsComplete;
}

void SimulatorSession::publish()
{
    sample_->write(writer_);
    if (options_.tornWrites && samplesPublished_ > 0 && samplesPublished_ % kTornEverySamples == 0)
        publishInPlace(writer_);
    else
        writer_.publish();
    ++samplesPublished_;
}

std::vector<std::string> SimulatorSession::advance(Clock::time_point now)
{
    std::vector<std::string> lines;
    if (!open_)
        return lines;
    if (!disconnectDone_ && options_.disconnectAfterSeconds >= 0 &&
        now - opened_ >= std::chrono::duration<double>(options_.disconnectAfterSeconds)) {
        disconnectDone_ = true;
        writer_.setConnected(false);
        lines.push_back("fault: disconnected");
    }
    if (now < nextSample_)
        return lines;
    sample_->advance(std::chrono::duration<double>(now - lastSample_).count());
    lastSample_ = now;
    nextSample_ += kSampleInterval;
    if (now - nextSample_ > kMaxCatchUp)
        nextSample_ = now + kSampleInterval;
    if (rewriteHeader(now))
        return lines;
    if (sample_->lapsComplete() != textLaps_ && options_.sessionFile.empty())
        publishSessionText();
    publish();
    host_->announceSample();
    return lines;
}

void SimulatorSession::startHeaderRewrite(const std::string &track, Clock::time_point now)
{
    if (validHeader_.empty())
        validHeader_.assign(writer_.block(), writer_.block() + kHeaderBytes);
    trackName_ = track;
    hostileUntil_ = now + kHostileHeaderTime;
    hostileStep_ = 0;
}

bool SimulatorSession::rewriteHeader(Clock::time_point now)
{
    if (validHeader_.empty())
        return false;
    if (now < hostileUntil_) {
        writeHostileHeader(writer_, hostileStep_++);
        host_->announceSample();
        return true;
    }
    // A valid header again, the connected bit still set, the samples going
    // on with higher tick counts than the hostile ones, and a new track.
    restoreHeader();
    publishSessionText();
    return false;
}

void SimulatorSession::restoreHeader()
{
    if (validHeader_.empty())
        return;
    std::memcpy(writer_.block(), validHeader_.data(), validHeader_.size());
    validHeader_.clear();
}

SimulatorSession::Clock::duration SimulatorSession::untilNextSample(Clock::time_point now) const
{
    return now < nextSample_ ? nextSample_ - now : Clock::duration::zero();
}

void SimulatorSession::restart(Clock::time_point now)
{
    // The writer publishes through the header: it must be the valid one.
    restoreHeader();
    // Every buffer's count goes back, or readers would keep taking the
    // highest old one as the newest.
    telemetry::TelemetryHeader *h = writer_.header();
    for (telemetry::TelemetryBufferInfo &buffer : h->bufferTable)
        buffer.tickCount = 0;
    writer_.setNextTick(kRestartTick);
    sample_->reset();
    lastSample_ = now;
    nextSample_ = now + kSampleInterval;
    publishSessionText();
    publish();
    host_->announceSample();
}

std::string SimulatorSession::apply(const SimCommand &command, Clock::time_point now)
{
    using Kind = SimCommand::Kind;
    using platform::SimulatorWindow;
    switch (command.kind) {
    case Kind::Empty: return {};
    case Kind::Invalid: return command.error;
    case Kind::WindowFront: host_->setWindow(SimulatorWindow::Front); break;
    case Kind::WindowBack: host_->setWindow(SimulatorWindow::Behind); break;
    case Kind::WindowGone: host_->setWindow(SimulatorWindow::Gone); break;
    case Kind::Restart: restart(now); break;
    case Kind::Disconnect: writer_.setConnected(false); break;
    case Kind::Connect: writer_.setConnected(true); break;
    case Kind::Session: sample_->setSessionNum(command.sessionNum); break;
    case Kind::Speed: sample_->fixSpeed(command.speed); break;
    case Kind::SpeedLive: sample_->liveSpeed(); break;
    case Kind::RewriteHeader: startHeaderRewrite(command.track, now); break;
    case Kind::Quit: quit_ = true; break;
    }
    return "ok " + command.text;
}

std::vector<std::string> SimulatorSession::takeRecordLines(int timeoutMs)
{
    std::vector<platform::SimulatorRecord> records;
    const std::uint32_t lost = host_->takeRecords(&records, timeoutMs);
    std::vector<std::string> lines;
    if (lost > 0)
        lines.push_back(lostLine(lost));
    for (const platform::SimulatorRecord &r : records) {
        if (r.kind == platform::SimulatorRecord::Kind::Broadcast)
            lines.push_back(broadcastLine(r.message, r.wParam, r.lParam, r.message == broadcastMessage_));
        else
            lines.push_back(keyLine(r.keyCode, r.keyUp, r.toSimulator));
    }
    return lines;
}

void SimulatorSession::close()
{
    if (!open_)
        return;
    open_ = false;
    writer_.setConnected(false);
    host_->close();
}

} // namespace sim
