#include "platform/ClientSocket.h"

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace platform {

namespace {

int fdOf(std::intptr_t descriptor) { return static_cast<int>(descriptor); }

bool nothingNow(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

} // namespace

ClientSocket::ClientSocket(std::intptr_t descriptor_) : descriptor(descriptor_) {}

ClientSocket::~ClientSocket()
{
    if (descriptor >= 0)
        ::close(fdOf(descriptor));
}

bool ClientSocket::open()
{
    // Reads wait in the system (a receive time-out bounds them); writes never
    // wait, they say so per call.
    const int flags = ::fcntl(fdOf(descriptor), F_GETFL);
    if (flags < 0 || ::fcntl(fdOf(descriptor), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return false;
    const int on = 1;
    return ::setsockopt(fdOf(descriptor), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0;
}

ClientSocket::Result ClientSocket::receive(char *buffer, std::size_t capacity, int timeoutMs,
                                           std::size_t *got)
{
    *got = 0;
    int flags = 0;
    if (timeoutMs <= 0) {
        flags = MSG_DONTWAIT;
    } else if (timeoutMs != receiveTimeoutMs) {
        timeval limit{};
        limit.tv_sec = timeoutMs / 1000;
        limit.tv_usec = (timeoutMs % 1000) * 1000;
        if (::setsockopt(fdOf(descriptor), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0)
            return Result::Failed;
        receiveTimeoutMs = timeoutMs;
    }
    const ssize_t n = ::recv(fdOf(descriptor), buffer, capacity, flags);
    if (n > 0) {
        *got = static_cast<std::size_t>(n);
        return Result::Done;
    }
    if (n == 0)
        return Result::Closed;
    return nothingNow(errno) ? Result::TimedOut : Result::Failed;
}

ClientSocket::Result ClientSocket::send(const char *data, std::size_t size, std::size_t *sent)
{
    *sent = 0;
    // MSG_NOSIGNAL: a peer that is gone gives an error, not SIGPIPE.
    const ssize_t n = ::send(fdOf(descriptor), data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n >= 0) {
        *sent = static_cast<std::size_t>(n);
        return Result::Done;
    }
    return nothingNow(errno) ? Result::Done : Result::Failed;
}

unsigned ClientSocket::wait(bool forRead, bool forWrite, int timeoutMs)
{
    pollfd entry{};
    entry.fd = fdOf(descriptor);
    entry.events = static_cast<short>((forRead ? POLLIN : 0) | (forWrite ? POLLOUT : 0));
    if (::poll(&entry, 1, timeoutMs < 0 ? 0 : timeoutMs) <= 0)
        return 0;
    unsigned ready = 0;
    if (entry.revents & POLLIN)
        ready |= kReadable;
    if (entry.revents & (POLLERR | POLLHUP | POLLNVAL))
        ready |= kBroken;
    if (entry.revents & POLLOUT)
        ready |= kWritable;
    return ready;
}

void ClientSocket::interrupt() { ::shutdown(fdOf(descriptor), SHUT_RDWR); }

} // namespace platform
