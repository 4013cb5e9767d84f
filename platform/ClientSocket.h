#pragma once
// One accepted TCP connection, served by one thread that waits, reads and
// writes it directly: no event loop and no buffering of its own, so a request
// costs about one wait, one read and one write. Every wait is bounded.

#include <cstddef>
#include <cstdint>

namespace platform {

class ClientSocket {
public:
    enum class Result {
        Done,     // bytes moved (a write may have moved none: the system's buffer is full)
        TimedOut, // nothing arrived in time
        Closed,   // the peer ended the connection
        Failed,   // the connection is broken
    };
    enum Ready : unsigned { kReadable = 1, kWritable = 2, kBroken = 4 };

    // Takes over `descriptor`; it is closed when this object is destroyed.
    explicit ClientSocket(std::intptr_t descriptor);
    ~ClientSocket();
    ClientSocket(const ClientSocket &) = delete;
    ClientSocket &operator=(const ClientSocket &) = delete;

    // Prepares the connection for the calls below and turns on keep-alive
    // (the system's timing); false when it is no usable socket.
    bool open();
    // Waits up to `timeoutMs` (0: not at all) for bytes and reads at most
    // `capacity` of them.
    Result receive(char *buffer, std::size_t capacity, int timeoutMs, std::size_t *got);
    // Writes what the system takes now, never waiting.
    Result send(const char *data, std::size_t size, std::size_t *sent);
    // Waits up to `timeoutMs` until the connection can be read (when
    // `forRead`) or written (when `forWrite`), or is broken; returns the Ready
    // bits, 0 on time-out.
    unsigned wait(bool forRead, bool forWrite, int timeoutMs);
    // Ends the connection both ways and wakes a waiting call. Any thread,
    // as long as this object lives.
    void interrupt();

private:
    std::intptr_t descriptor;
#ifdef _WIN32
    // Waits are on events: the socket's network events, and the one
    // interrupt() sets.
    void *socketEvent = nullptr;
    void *wakeEvent = nullptr;
#else
    int receiveTimeoutMs = -1; // the time-out the system holds now, -1 unknown
#endif
};

} // namespace platform
