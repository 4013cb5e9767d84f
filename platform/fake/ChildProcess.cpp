#include "platform/fake/ChildProcess.h"

#include <chrono>
#include <thread>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace platform {

namespace {
using Clock = std::chrono::steady_clock;
} // namespace

ChildProcess::~ChildProcess() { kill(); }

bool ChildProcess::takeLine(std::string *line)
{
    const std::size_t end = pending_.find('\n');
    if (end == std::string::npos)
        return false;
    std::size_t stop = end;
    if (stop > 0 && pending_[stop - 1] == '\r')
        --stop;
    line->assign(pending_, 0, stop);
    pending_.erase(0, end + 1);
    return true;
}

bool ChildProcess::readLine(std::string *line, int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (takeLine(line))
            return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (outputEnded_ || left <= 0 || !readSome(static_cast<int>(left)))
            return takeLine(line);
    }
}

#ifdef _WIN32

namespace {
// Test programs lie in ASCII paths: the narrow calls do.
std::string besideThisProgram(const std::string &program)
{
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (program.find_first_of("\\/:") != std::string::npos || length == 0 || length >= MAX_PATH)
        return program;
    const std::string folder(self, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + program;
}

void closeHandle(void *&handle)
{
    if (handle)
        CloseHandle(static_cast<HANDLE>(handle));
    handle = nullptr;
}
} // namespace

bool ChildProcess::start(const std::string &program)
{
    kill();
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childIn = nullptr, ourIn = nullptr, ourOut = nullptr, childOut = nullptr;
    if (!CreatePipe(&childIn, &ourIn, &inherit, 0))
        return false;
    if (!CreatePipe(&ourOut, &childOut, &inherit, 0)) {
        CloseHandle(childIn);
        CloseHandle(ourIn);
        return false;
    }
    SetHandleInformation(ourIn, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(ourOut, HANDLE_FLAG_INHERIT, 0);
    const std::string path = besideThisProgram(program);
    std::string commandLine = "\"" + path + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &info);
    CloseHandle(childIn);
    CloseHandle(childOut);
    if (!started) {
        CloseHandle(ourIn);
        CloseHandle(ourOut);
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    input_ = ourIn;
    output_ = ourOut;
    pending_.clear();
    outputEnded_ = false;
    return true;
}

bool ChildProcess::writeLine(const std::string &line)
{
    if (!input_)
        return false;
    const std::string data = line + "\n";
    DWORD written = 0;
    return WriteFile(static_cast<HANDLE>(input_), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
           written == data.size();
}

bool ChildProcess::readSome(int timeoutMs)
{
    // Anonymous pipes cannot wait with a time-out: poll what is available.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        DWORD available = 0;
        if (!output_ || !PeekNamedPipe(static_cast<HANDLE>(output_), nullptr, 0, nullptr, &available, nullptr)) {
            outputEnded_ = true;
            return false;
        }
        if (available > 0) {
            char chunk[4096];
            DWORD got = 0;
            if (!ReadFile(static_cast<HANDLE>(output_), chunk, available < sizeof chunk ? available : sizeof chunk,
                          &got, nullptr) ||
                got == 0) {
                outputEnded_ = true;
                return false;
            }
            pending_.append(chunk, got);
            return true;
        }
        if (Clock::now() >= deadline)
            return true;
        Sleep(2);
    }
}

bool ChildProcess::wait(int timeoutMs, int *exitCode)
{
    if (!process_ || WaitForSingleObject(static_cast<HANDLE>(process_), static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(static_cast<HANDLE>(process_), &code);
    if (exitCode)
        *exitCode = static_cast<int>(code);
    return true;
}

void ChildProcess::kill()
{
    if (process_) {
        TerminateProcess(static_cast<HANDLE>(process_), 1); // fails harmlessly once it has ended
        WaitForSingleObject(static_cast<HANDLE>(process_), 5000);
        closeHandle(process_);
    }
    closeHandle(input_);
    closeHandle(output_);
}

#else

bool ChildProcess::start(const std::string &program)
{
    kill();
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        return false;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return false;
    }
    char *const argv[] = {const_cast<char *>(program.c_str()), nullptr};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::execv(program.c_str(), argv);
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    if (pid < 0) {
        ::close(in[1]);
        ::close(out[0]);
        return false;
    }
    pid_ = pid;
    input_ = in[1];
    output_ = out[0];
    pending_.clear();
    outputEnded_ = false;
    return true;
}

bool ChildProcess::writeLine(const std::string &line)
{
    if (input_ < 0)
        return false;
    const std::string data = line + "\n";
    // A child that went away must fail the write, not end the test process.
    signal(SIGPIPE, SIG_IGN);
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(input_, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ChildProcess::readSome(int timeoutMs)
{
    if (output_ < 0) {
        outputEnded_ = true;
        return false;
    }
    struct pollfd fd {output_, POLLIN, 0};
    const int ready = ::poll(&fd, 1, timeoutMs);
    if (ready <= 0)
        return ready == 0 || errno == EINTR;
    char chunk[4096];
    const ssize_t n = ::read(output_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR)
        return true;
    if (n <= 0) {
        outputEnded_ = true;
        return false;
    }
    pending_.append(chunk, static_cast<std::size_t>(n));
    return true;
}

bool ChildProcess::wait(int timeoutMs, int *exitCode)
{
    if (pid_ <= 0)
        return false;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(static_cast<pid_t>(pid_), &status, WNOHANG);
        if (done == static_cast<pid_t>(pid_)) {
            pid_ = -1;
            if (exitCode)
                *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        }
        if (done < 0 || Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void ChildProcess::kill()
{
    if (pid_ > 0) {
        ::kill(static_cast<pid_t>(pid_), SIGKILL);
        ::waitpid(static_cast<pid_t>(pid_), nullptr, 0);
        pid_ = -1;
    }
    if (input_ >= 0)
        ::close(input_);
    input_ = -1;
    if (output_ >= 0)
        ::close(output_);
    output_ = -1;
}

#endif

} // namespace platform
