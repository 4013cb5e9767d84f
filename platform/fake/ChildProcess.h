#pragma once
// A child process for tests that run on both systems: started with its
// standard input and output on pipes, steered line by line, and killed when
// the object goes. Qt-free, so the Windows tests can use it under Wine.

#include <string>

namespace platform {

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;
    ~ChildProcess() { kill(); }

    // Starts `program` without arguments.
    bool start(const std::string &program);
    bool writeLine(const std::string &line);
    // The next whole output line (without its line end), waiting at most
    // `timeoutMs`. False at the time-out or when the output has ended.
    bool readLine(std::string *line, int timeoutMs);
    // Waits for the process to end; false at the time-out.
    bool wait(int timeoutMs, int *exitCode);
    void kill();

private:
    // Appends what the output has within `timeoutMs`; false once it ended.
    bool readSome(int timeoutMs);

    std::string pending_;
#ifdef _WIN32
    void *process_ = nullptr, *input_ = nullptr, *output_ = nullptr;
#else
    int pid_ = -1, input_ = -1, output_ = -1;
#endif
};

} // namespace platform
