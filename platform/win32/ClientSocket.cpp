#include "platform/ClientSocket.h"

#include <winsock2.h>

namespace platform {

namespace {

SOCKET socketOf(std::intptr_t descriptor) { return static_cast<SOCKET>(descriptor); }

// The Winsock calls take and return int counts.
int countOf(std::size_t size)
{
    constexpr std::size_t kMost = 1 << 30;
    return static_cast<int>(size < kMost ? size : kMost);
}

// What the connection allows now, without waiting.
unsigned readyNow(SOCKET socket, bool forRead, bool forWrite)
{
    fd_set readable, writable, broken;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&broken);
    if (forRead)
        FD_SET(socket, &readable);
    if (forWrite)
        FD_SET(socket, &writable);
    FD_SET(socket, &broken);
    timeval now{};
    const int count = ::select(0, &readable, &writable, &broken, &now);
    if (count < 0)
        return ClientSocket::kBroken;
    unsigned ready = 0;
    if (FD_ISSET(socket, &readable))
        ready |= ClientSocket::kReadable;
    if (FD_ISSET(socket, &writable))
        ready |= ClientSocket::kWritable;
    if (FD_ISSET(socket, &broken))
        ready |= ClientSocket::kBroken;
    return ready;
}

} // namespace

ClientSocket::ClientSocket(std::intptr_t descriptor_)
    : descriptor(descriptor_), wakeEvent(::WSACreateEvent())
{
}

ClientSocket::~ClientSocket()
{
    if (socketOf(descriptor) != INVALID_SOCKET)
        ::closesocket(socketOf(descriptor));
    if (socketEvent)
        ::WSACloseEvent(socketEvent);
    if (wakeEvent)
        ::WSACloseEvent(wakeEvent);
}

bool ClientSocket::open()
{
    // A Winsock call that times out leaves the connection undefined, so no
    // socket time-out is used: waits are on events (the socket's network
    // events, and interrupt()'s), and select() says what is ready. The event
    // selection also makes the socket non-blocking.
    socketEvent = ::WSACreateEvent();
    if (!socketEvent || !wakeEvent ||
        ::WSAEventSelect(socketOf(descriptor), socketEvent, FD_READ | FD_WRITE | FD_CLOSE) != 0)
        return false;
    const BOOL on = TRUE;
    return ::setsockopt(socketOf(descriptor), SOL_SOCKET, SO_KEEPALIVE,
                        reinterpret_cast<const char *>(&on), sizeof on) == 0;
}

ClientSocket::Result ClientSocket::receive(char *buffer, std::size_t capacity, int timeoutMs,
                                           std::size_t *got)
{
    *got = 0;
    if (timeoutMs > 0 && !(wait(true, false, timeoutMs) & (kReadable | kBroken)))
        return Result::TimedOut;
    const int n = ::recv(socketOf(descriptor), buffer, countOf(capacity), 0);
    if (n > 0) {
        *got = static_cast<std::size_t>(n);
        return Result::Done;
    }
    if (n == 0)
        return Result::Closed;
    return ::WSAGetLastError() == WSAEWOULDBLOCK ? Result::TimedOut : Result::Failed;
}

ClientSocket::Result ClientSocket::send(const char *data, std::size_t size, std::size_t *sent)
{
    *sent = 0;
    // Until a write is refused, the system posts no event when room comes:
    // write on until it is, or everything is taken.
    while (*sent < size) {
        const int n = ::send(socketOf(descriptor), data + *sent, countOf(size - *sent), 0);
        if (n > 0) {
            *sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && ::WSAGetLastError() != WSAEWOULDBLOCK)
            return Result::Failed;
        break;
    }
    return Result::Done;
}

unsigned ClientSocket::wait(bool forRead, bool forWrite, int timeoutMs)
{
    if (!socketEvent)
        return kBroken;
    // Clears what was recorded first, so an event after the look below wakes
    // the wait.
    WSANETWORKEVENTS recorded;
    ::WSAEnumNetworkEvents(socketOf(descriptor), socketEvent, &recorded);
    unsigned ready = readyNow(socketOf(descriptor), forRead, forWrite);
    if (ready != 0 || timeoutMs <= 0)
        return ready;
    const WSAEVENT events[2] = {socketEvent, wakeEvent};
    const DWORD woken = ::WSAWaitForMultipleEvents(2, events, FALSE, static_cast<DWORD>(timeoutMs), FALSE);
    if (woken == WSA_WAIT_EVENT_0 + 1)
        return kBroken; // interrupted
    if (woken != WSA_WAIT_EVENT_0)
        return 0;
    return readyNow(socketOf(descriptor), forRead, forWrite);
}

void ClientSocket::interrupt()
{
    if (wakeEvent)
        ::WSASetEvent(wakeEvent); // stays set: every later wait returns at once
    ::shutdown(socketOf(descriptor), SD_BOTH);
}

} // namespace platform
