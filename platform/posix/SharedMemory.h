#pragma once
// POSIX shared-memory objects standing in for Windows named objects. Private
// to the POSIX backend and the simulator substitute.

#include <cstddef>
#include <string>

namespace platform::posix {

// Name of the shared-memory object that stands for the Windows object `name`:
// a leading "/" and every path separator replaced, so "Local\\Foo" becomes
// "/Local_Foo". Empty for a null or empty name.
std::string sharedMemoryName(const char *name);

// One mapped object. Move-only; unmaps and closes on destruction.
class SharedMemory {
public:
    SharedMemory() = default;
    SharedMemory(SharedMemory &&other) noexcept;
    SharedMemory &operator=(SharedMemory &&other) noexcept;
    SharedMemory(const SharedMemory &) = delete;
    SharedMemory &operator=(const SharedMemory &) = delete;
    ~SharedMemory();

    // Maps an existing object whole. False when it is missing or empty.
    bool openExisting(const std::string &name, bool writable);
    // Opens or creates the object with at least `size` bytes and maps all of
    // it read-write. An existing object is never shrunk, because a reader
    // that has mapped it would fault on the lost pages; a smaller one grows.
    // *created tells whether the object was new (its bytes are zero).
    bool openOrCreate(const std::string &name, std::size_t size, bool *created);
    // Removes the name; mappings stay valid.
    static void unlink(const std::string &name);

    void close();
    // Forgets the mapping without unmapping it; the caller unmaps it later
    // with unmap().
    void *release();
    static void unmap(const void *base, std::size_t size);
    bool isOpen() const { return base_ != nullptr; }
    void *data() const { return base_; }
    std::size_t size() const { return size_; }

private:
    void *base_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace platform::posix
