#pragma once

#include <istream>
#include <streambuf>

namespace quillon {

// Reads a file descriptor it does not own (standard input) through a
// buffer. It cannot seek, so a reader that would rewind learns so at once.
// A failed read ends the input with errno set by the system.
class DescriptorInputBuffer : public std::streambuf {
  public:
    explicit DescriptorInputBuffer(int fd) : m_fd(fd) {}

  protected:
    int_type underflow() override;

  private:
    int m_fd;
    char m_buffer[1 << 16];
};

// A stream on standard input; "-" names it on the command line.
class StandardInputStream : public std::istream {
  public:
    StandardInputStream() : std::istream(nullptr), m_buffer(0) { rdbuf(&m_buffer); }

  private:
    DescriptorInputBuffer m_buffer;
};

}  // namespace quillon
