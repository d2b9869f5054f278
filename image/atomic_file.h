#pragma once

#include <cstddef>
#include <cstdio>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace quillon {

// The one way files are written, so that a failed save never destroys the
// file it replaces and never reports success:
// - a regular file (or a new one) is written to an unnamed temporary file in
//   its folder, which gets a name and replaces the target only after a
//   complete, flushed and checked write; a process killed meanwhile leaves
//   nothing behind, and temporaries that dead processes left are removed;
// - a symbolic link is saved through to the file it points to, keeping the
//   link; an existing target's permission bits are kept;
// - a character device or a FIFO (/dev/null, a pipe) is written directly,
//   never replaced; a socket, a block device or a folder is refused;
// - an open stream of the caller's (standard output) is written directly.
// Every failure keeps the first reason, with the system's words for it.
//
//   AtomicFile file(path);
//   if (!file.Open()) ... file.Error()
//   fwrite(..., file.Stream());          // or file.Write(...)
//   if (!file.Commit()) ... file.Error()
//
// Destroying an uncommitted AtomicFile drops what was written.
class AtomicFile {
  public:
    explicit AtomicFile(std::string path);
    // Writes to a stream the caller owns; name is what messages call it.
    // Open and Commit never close it.
    AtomicFile(std::FILE* stream, std::string name);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file (or opens the device); false with Error().
    bool Open();
    // The stream to write, for libraries that write through stdio; null
    // before Open and after Commit or Discard. Commit notices its errors.
    std::FILE* Stream() { return m_stream; }
    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view text) { return Write(text.data(), text.size()); }
    // Records a failure met outside the file (memory ran short while the
    // caller built the bytes); Commit then refuses.
    void Fail(const std::string& reason);
    // Flushes, checks every write, and puts the file in place.
    bool Commit();
    // Drops what was written; the target is left as it was.
    void Discard();

    bool Failed() const { return m_failed; }
    const std::string& Path() const { return m_path; }
    const std::string& Error() const { return m_error; }

  private:
    enum class Mode { kClosed, kUnnamed, kNamed, kDirect, kBorrowed };

    void FailWith(const char* what, int err);
    void Fail(const char* what, const std::string& reason);
    bool OpenTemporary(const std::string& dir, const std::string& base, int& err);
    bool PutInPlace();

    std::string m_path;    // as given
    std::string m_target;  // after following symbolic links
    std::string m_temp;    // the named temporary file, when there is one
    std::FILE* m_stream = nullptr;
    std::FILE* m_borrowed = nullptr;
    Mode m_mode = Mode::kClosed;
    bool m_failed = false;
    std::string m_error;
};

// A text stream into an open AtomicFile, for writers that speak
// std::ostream. With crlf every LF goes out as CR LF. A failed write sets
// the stream's badbit and fails the file, so its Commit refuses.
class AtomicFileStream : public std::ostream {
  public:
    explicit AtomicFileStream(AtomicFile& file, bool crlf = false);
    ~AtomicFileStream() override;

    // Writes out what is buffered; false when any write failed.
    bool Finish();

  private:
    class Buffer : public std::streambuf {
      public:
        Buffer(AtomicFile& file, bool crlf);
        bool Drain();

      protected:
        int_type overflow(int_type c) override;
        int sync() override;

      private:
        AtomicFile& m_file;
        bool m_crlf;
        char m_bytes[16384];
    };
    Buffer m_buffer;
};

// Writes the whole of data to path through an AtomicFile. On failure the
// old file stays and, when error is given, it receives the reason.
bool WriteFileAtomically(const std::string& path, std::string_view data,
                         std::string* error = nullptr);

}  // namespace quillon
