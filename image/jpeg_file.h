#pragma once

#include <exception>
#include <memory>
#include <string>

#include "image/image_buffer.h"

namespace quillon {

// A fatal error of the JPEG library: code 1 and the library's message
// followed by a line feed. Raised and caught inside JpegReader and
// JpegWriter only; it never reaches their callers.
class JPEGException : public std::exception {
  public:
    JPEGException(int code, std::string text) : m_code(code), m_text(std::move(text)) {}
    ~JPEGException() override = default;
    virtual int Code() const { return m_code; }
    virtual const std::string& Text() const { return m_text; }
    const char* what() const noexcept override { return m_text.c_str(); }

  private:
    int m_code;
    std::string m_text;
};

// Reads a JPEG file. Colour pictures give 3-byte R G B images (24 bits),
// greyscale ones 1-byte images (8 bits); other component counts are
// refused. Row 0 is the bottom row of the picture. A damaged file that the
// library can still decode (it pads missing data) gives an image and a
// warning text.
class JpegReader {
  public:
    JpegReader() = default;
    virtual ~JpegReader() = default;

    // Null on failure, with LastError() telling why.
    std::unique_ptr<ImageBuffer> Read(const std::string& path);
    const std::string& LastError() const { return m_lastError; }
    // The library's first warning of the last Read (for example on a
    // truncated file), empty when there was none.
    const std::string& LastWarning() const { return m_lastWarning; }

  private:
    std::string m_lastError;
    std::string m_lastWarning;
};

// Writes a 24-bit image, row 0 as the top scanline, as a baseline JPEG file
// at a quality of 1 (smallest) to 100 (best). The old file is replaced only
// after a complete write.
class JpegWriter {
  public:
    explicit JpegWriter(int quality = 75);
    virtual ~JpegWriter() = default;

    bool Write(const ImageBuffer& image, const std::string& path);
    int Quality() const { return m_quality; }
    const std::string& LastError() const { return m_lastError; }

  private:
    std::string m_lastError;
    int m_quality;
};

}  // namespace quillon
