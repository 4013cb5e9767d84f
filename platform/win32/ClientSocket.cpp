#include "platform/ClientSocket.h"

#include <winsock2.h>

namespace platform {

namespace {

SOCKET socketOf(std::intptr_t descriptor) { return static_cast<SOCKET>(descriptor); }

timeval limitOf(int timeoutMs)
{
    timeval limit{};
    if (timeoutMs > 0) {
        limit.tv_sec = timeoutMs / 1000;
        limit.tv_usec = (timeoutMs % 1000) * 1000;
    }
    return limit;
}

// The Winsock calls take and return int counts.
int countOf(std::size_t size)
{
    constexpr std::size_t kMost = 1 << 30;
    return static_cast<int>(size < kMost ? size : kMost);
}

} // namespace

ClientSocket::ClientSocket(std::intptr_t descriptor_) : descriptor(descriptor_) {}

ClientSocket::~ClientSocket()
{
    if (socketOf(descriptor) != INVALID_SOCKET)
        ::closesocket(socketOf(descriptor));
}

bool ClientSocket::open()
{
    // Every call below waits in select() and then reads or writes without
    // blocking: a Winsock call that times out leaves the connection in an
    // undefined state, so no socket time-out is used.
    u_long nonBlocking = 1;
    if (::ioctlsocket(socketOf(descriptor), FIONBIO, &nonBlocking) != 0)
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
    const int n = ::send(socketOf(descriptor), data, countOf(size), 0);
    if (n >= 0) {
        *sent = static_cast<std::size_t>(n);
        return Result::Done;
    }
    return ::WSAGetLastError() == WSAEWOULDBLOCK ? Result::Done : Result::Failed;
}

unsigned ClientSocket::wait(bool forRead, bool forWrite, int timeoutMs)
{
    fd_set readable, writable, broken;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&broken);
    if (forRead)
        FD_SET(socketOf(descriptor), &readable);
    if (forWrite)
        FD_SET(socketOf(descriptor), &writable);
    FD_SET(socketOf(descriptor), &broken);
    const timeval limit = limitOf(timeoutMs);
    if (::select(0, &readable, &writable, &broken, &limit) <= 0)
        return 0;
    unsigned ready = 0;
    if (FD_ISSET(socketOf(descriptor), &readable))
        ready |= kReadable;
    if (FD_ISSET(socketOf(descriptor), &writable))
        ready |= kWritable;
    if (FD_ISSET(socketOf(descriptor), &broken))
        ready |= kBroken;
    return ready;
}

void ClientSocket::interrupt() { ::shutdown(socketOf(descriptor), SD_BOTH); }

} // namespace platform
