#include "platform/files/Descriptor.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform::files {

Descriptor::~Descriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Descriptor &Descriptor::operator=(Descriptor &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.Release();
    }
    return *this;
}

int Descriptor::Close()
{
    const int result = ::close(m_fd);
    m_fd = -1;
    return result == 0 || errno == EINTR ? 0 : errno;
}

int Descriptor::Release() { return std::exchange(m_fd, -1); }

} // namespace platform::files
