#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace quillon {

// Writes a file so that a failed save never destroys the file it replaces:
// the bytes go to a temporary file in the target's folder, which is renamed
// over the target only after a complete, flushed and checked write. A
// symbolic link as target is followed, so the link keeps pointing at the
// new contents; an existing target's permission bits are kept.
//
//   AtomicFile file(path);
//   if (!file.Open()) ... file.Error()
//   fwrite(..., file.Stream());          // or file.Write(...)
//   if (!file.Commit()) ... file.Error()
//
// Destroying an uncommitted AtomicFile removes the temporary file.
class AtomicFile {
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file; false (with Error()) when it cannot be created.
    bool Open();
    // The temporary file's stream, for libraries that write through stdio;
    // null before Open and after Commit or Discard.
    std::FILE* Stream() { return m_stream; }
    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view text) { return Write(text.data(), text.size()); }
    // Flushes, checks every write, closes and renames over the target.
    bool Commit();
    // Drops the temporary file; the target is left as it was.
    void Discard();

    const std::string& Path() const { return m_path; }
    const std::string& Error() const { return m_error; }

private:
    void Fail(const char* what, int err);

    std::string m_path;    // as given
    std::string m_target;  // after following symbolic links
    std::string m_temp;
    std::FILE* m_stream = nullptr;
    bool m_failed = false;
    std::string m_error;
};

// Writes the whole of data to path through an AtomicFile. On failure the
// old file stays and, when error is given, it receives the reason.
bool WriteFileAtomically(const std::string& path, std::string_view data,
                         std::string* error = nullptr);

}  // namespace quillon
