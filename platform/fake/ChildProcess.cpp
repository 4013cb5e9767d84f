#include "platform/fake/ChildProcess.h"

#include <algorithm>
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
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;
#endif

namespace platform {

using Clock = std::chrono::steady_clock;

bool ChildProcess::readLine(std::string *line, int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t end;
    while ((end = pending_.find('\n')) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || !readSome(static_cast<int>(left)))
            return false;
    }
    line->assign(pending_, 0, end > 0 && pending_[end - 1] == '\r' ? end - 1 : end);
    pending_.erase(0, end + 1);
    return true;
}

#ifdef _WIN32

namespace {
void closeHandle(void *&handle)
{
    if (handle)
        CloseHandle(handle);
    handle = nullptr;
}
} // namespace

bool ChildProcess::start(const std::string &program)
{
    kill();
    pending_.clear();
    // Test programs lie in ASCII paths: the narrow calls do.
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    void *childIn = nullptr, *childOut = nullptr;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    bool started = CreatePipe(&childIn, &input_, &inherit, 0) && CreatePipe(&output_, &childOut, &inherit, 0) &&
                   SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0) &&
                   SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + program + "\"";
    started = started && CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &info);
    closeHandle(childIn);
    closeHandle(childOut);
    closeHandle(info.hThread);
    process_ = info.hProcess;
    if (!started)
        kill();
    return started;
}

bool ChildProcess::writeLine(const std::string &line)
{
    const std::string data = line + "\n";
    DWORD written = 0;
    return input_ && WriteFile(input_, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
           written == data.size();
}

bool ChildProcess::readSome(int)
{
    // Anonymous pipes cannot wait with a time-out: take what is there, or
    // pause briefly and let the caller's deadline decide.
    DWORD available = 0, got = 0;
    if (!output_ || !PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr))
        return false;
    if (available == 0) {
        Sleep(2);
        return true;
    }
    char chunk[4096];
    const bool read = ReadFile(output_, chunk, std::min<DWORD>(available, sizeof chunk), &got, nullptr);
    pending_.append(chunk, got);
    return read && got > 0;
}

bool ChildProcess::wait(int timeoutMs, int *exitCode)
{
    DWORD code = 0;
    if (!process_ || WaitForSingleObject(process_, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process_, &code))
        return false;
    *exitCode = static_cast<int>(code);
    return true;
}

void ChildProcess::kill()
{
    if (process_) {
        TerminateProcess(process_, 1); // fails harmlessly once it has ended
        WaitForSingleObject(process_, 5000);
    }
    closeHandle(process_);
    closeHandle(input_);
    closeHandle(output_);
}

#else

bool ChildProcess::start(const std::string &program)
{
    kill();
    pending_.clear();
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    bool started = ::pipe2(in, O_CLOEXEC) == 0 && ::pipe2(out, O_CLOEXEC) == 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    char *const argv[] = {const_cast<char *>(program.c_str()), nullptr};
    pid_t pid = -1;
    started = started && ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {in[0], out[1]})
        ::close(fd); // harmless on -1
    pid_ = started ? pid : -1;
    input_ = in[1];
    output_ = out[0];
    if (!started)
        kill();
    return started;
}

bool ChildProcess::writeLine(const std::string &line)
{
    // A child that went away must fail the write, not end the test process.
    ::signal(SIGPIPE, SIG_IGN);
    // Lines are far shorter than the pipe's atomic write size.
    const std::string data = line + "\n";
    return input_ >= 0 && ::write(input_, data.data(), data.size()) == static_cast<ssize_t>(data.size());
}

bool ChildProcess::readSome(int timeoutMs)
{
    pollfd fd{output_, POLLIN, 0};
    if (output_ < 0)
        return false;
    if (::poll(&fd, 1, timeoutMs) <= 0)
        return true; // the time-out (or a signal): the caller's deadline decides
    char chunk[4096];
    const ssize_t n = ::read(output_, chunk, sizeof chunk);
    if (n > 0)
        pending_.append(chunk, static_cast<std::size_t>(n));
    return n > 0;
}

bool ChildProcess::wait(int timeoutMs, int *exitCode)
{
    int status = 0;
    for (const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs); pid_ > 0;) {
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        }
        if (Clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

void ChildProcess::kill()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ::close(input_); // harmless on -1
    ::close(output_);
    pid_ = input_ = output_ = -1;
}

#endif

} // namespace platform
