#include "platform/posix/SharedMemory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace platform::posix {

namespace {
// Objects are private to the user, as Windows "Local\" objects are to the
// session.
constexpr mode_t kObjectMode = 0600;
} // namespace

std::string sharedMemoryName(const char *name)
{
    if (!name || !*name)
        return {};
    std::string result = "/";
    for (const char *p = name; *p; ++p)
        result += (*p == '\\' || *p == '/') ? '_' : *p;
    return result;
}

SharedMemory::SharedMemory(SharedMemory &&other) noexcept
    : base_(std::exchange(other.base_, nullptr)), size_(std::exchange(other.size_, 0))
{
}

SharedMemory &SharedMemory::operator=(SharedMemory &&other) noexcept
{
    if (this != &other) {
        close();
        base_ = std::exchange(other.base_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

SharedMemory::~SharedMemory() { close(); }

bool SharedMemory::openExisting(const std::string &name, bool writable)
{
    close();
    if (name.empty())
        return false;
    const int fd = ::shm_open(name.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC, 0);
    if (fd < 0)
        return false;
    struct stat st {};
    void *base = MAP_FAILED;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        base = ::mmap(nullptr, static_cast<std::size_t>(st.st_size),
                      writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
    }
    ::close(fd); // the mapping keeps the object
    if (base == MAP_FAILED)
        return false;
    base_ = base;
    size_ = static_cast<std::size_t>(st.st_size);
    return true;
}

bool SharedMemory::openOrCreate(const std::string &name, std::size_t size, bool *created)
{
    close();
    if (created)
        *created = false;
    if (name.empty() || size == 0)
        return false;
    bool isNew = true;
    int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kObjectMode);
    if (fd < 0) {
        isNew = false;
        fd = ::shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
        if (fd < 0)
            return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || (static_cast<std::size_t>(st.st_size) < size && ::ftruncate(fd, static_cast<off_t>(size)) != 0)) {
        ::close(fd);
        return false;
    }
    if (!isNew && st.st_size == 0)
        isNew = true; // created by someone who never sized it
    const std::size_t mapped = std::max(size, static_cast<std::size_t>(st.st_size));
    void *base = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (base == MAP_FAILED)
        return false;
    base_ = base;
    size_ = mapped;
    if (created)
        *created = isNew;
    return true;
}

void SharedMemory::unlink(const std::string &name)
{
    if (!name.empty())
        ::shm_unlink(name.c_str());
}

void *SharedMemory::release()
{
    size_ = 0;
    return std::exchange(base_, nullptr);
}

void SharedMemory::unmap(const void *base, std::size_t size)
{
    if (base && size)
        ::munmap(const_cast<void *>(base), size);
}

void SharedMemory::close()
{
    if (base_)
        ::munmap(base_, size_);
    base_ = nullptr;
    size_ = 0;
}

} // namespace platform::posix
