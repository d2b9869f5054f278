#include "cli/input_stream.h"

#include <unistd.h>

#include <cerrno>

namespace quillon {

DescriptorInputBuffer::int_type DescriptorInputBuffer::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    ssize_t count = 0;
    do {
        count = ::read(m_fd, m_buffer, sizeof m_buffer);
    } while (count < 0 && errno == EINTR);
    if (count <= 0) return traits_type::eof();
    setg(m_buffer, m_buffer, m_buffer + count);
    return traits_type::to_int_type(*gptr());
}

}  // namespace quillon
