#pragma once

namespace platform::files {

// An open file descriptor, closed on every way out that has not closed or released it. -1 holds
// nothing.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor();
    Descriptor(Descriptor &&other) noexcept : m_fd(other.Release()) {}
    Descriptor &operator=(Descriptor &&other) noexcept;
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int Fd() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    // 0, or the error of the close (a file system that writes late reports a full disk here).
    int Close();
    // The descriptor, no longer closed here: its new owner closes it.
    int Release();

private:
    int m_fd;
};

} // namespace platform::files
