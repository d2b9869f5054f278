#include "image/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace quillon {

namespace {

namespace fs = std::filesystem;

std::atomic<unsigned> g_tempCounter{0};

// A temporary younger than this may belong to a live writer on another
// machine that shares the folder: it is left alone.
constexpr std::time_t kStaleAgeSeconds = 60;

// The file a path names after following symbolic links one by one, so that
// a link to a file not yet created still saves to where it points.
std::string FollowLinks(const std::string& path) {
    fs::path current(path);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(current, ec)) return current.string();
        fs::path next = fs::read_symlink(current, ec);
        if (ec) return current.string();
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return current.string();
}

std::string TempName(const std::string& dir, const std::string& base) {
    return (dir.empty() ? std::string() : dir + "/") + "." + base + ".tmp-" +
           std::to_string(::getpid()) + "-" + std::to_string(g_tempCounter++);
}

// The process id in a name of the form ".NAME.tmp-PID-N", or 0.
pid_t TempOwner(const char* name) {
    std::string_view text(name);
    if (text.size() < 9 || text.front() != '.') return 0;
    std::size_t dash = text.find_last_of('-');
    if (dash == std::string_view::npos || dash + 1 == text.size()) return 0;
    for (char c : text.substr(dash + 1))
        if (c < '0' || c > '9') return 0;
    std::size_t tmp = text.rfind(".tmp-", dash);
    if (tmp == std::string_view::npos || tmp == 0 || tmp + 5 >= dash) return 0;
    long long pid = 0;
    for (char c : text.substr(tmp + 5, dash - tmp - 5)) {
        if (c < '0' || c > '9' || pid > 1 << 30) return 0;
        pid = pid * 10 + (c - '0');
    }
    return static_cast<pid_t>(pid);
}

// Removes the temporary files that processes killed while saving left in
// dir: ours by owner, of a process that is gone, not touched lately.
void RemoveStaleTemporaries(const std::string& dir) {
    DIR* folder = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!folder) return;
    const int dirFd = ::dirfd(folder);
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(folder)) {
        const pid_t pid = TempOwner(entry->d_name);
        if (pid <= 0 || pid == ::getpid()) continue;
        if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
        struct stat info {};
        if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) continue;
        if (now - info.st_mtime < kStaleAgeSeconds) continue;
        (void)::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(folder);
}

const char* NotWritableKind(mode_t mode) {
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISBLK(mode)) return "a block device";
    return "not a regular file";
}

}  // namespace

AtomicFile::AtomicFile(std::string path) : m_path(std::move(path)) {}

AtomicFile::AtomicFile(std::FILE* stream, std::string name)
    : m_path(std::move(name)), m_borrowed(stream) {}

AtomicFile::~AtomicFile() {
    Discard();
}

void AtomicFile::FailWith(const char* what, int err) {
    Fail(what, err != 0 ? std::strerror(err) : "");
}

void AtomicFile::Fail(const std::string& reason) {
    Fail("Error writing file", reason);
}

void AtomicFile::Fail(const char* what, const std::string& reason) {
    if (m_failed) return;  // keep the first reason
    m_failed = true;
    // A stream has a name, not a path: "Error writing to standard output".
    m_error = m_borrowed ? "Error writing to " + m_path : std::string(what) + " " + m_path;
    if (!reason.empty()) m_error += ": " + reason;
}

bool AtomicFile::OpenTemporary(const std::string& dir, const std::string& base, int& err) {
    const std::string folder = dir.empty() ? "." : dir;
    // Unnamed until complete; it needs /proc to be given a name later.
    if (::access("/proc/self/fd", X_OK) == 0) {
        int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_stream = ::fdopen(fd, "wb");
            if (m_stream) {
                m_mode = Mode::kUnnamed;
                return true;
            }
            err = errno;
            ::close(fd);
            return false;
        }
        err = errno;
        // Filesystems without unnamed files get a named temporary instead.
        if (err != EOPNOTSUPP && err != EISDIR && err != EINVAL) return false;
    }
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        m_temp = TempName(dir, base);
        fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        err = errno;
        if (fd < 0 && err != EEXIST) break;
    }
    if (fd >= 0) m_stream = ::fdopen(fd, "wb");
    if (!m_stream) {
        if (fd >= 0) {
            err = errno;
            ::close(fd);
            ::unlink(m_temp.c_str());
        }
        m_temp.clear();
        return false;
    }
    m_mode = Mode::kNamed;
    return true;
}

bool AtomicFile::Open() {
    Discard();
    m_failed = false;
    m_error.clear();
    if (m_borrowed) {
        m_stream = m_borrowed;
        m_mode = Mode::kBorrowed;
        return true;
    }
    if (m_path.empty()) {
        FailWith("Unable to create file", ENOENT);
        return false;
    }
    // What the path names in the end, links followed.
    struct stat existing {};
    const bool exists = ::stat(m_path.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        FailWith("Unable to create file", EISDIR);
        return false;
    }
    if (exists && (S_ISCHR(existing.st_mode) || S_ISFIFO(existing.st_mode))) {
        // Written in place: replacing /dev/null or a pipe with a file helps
        // nobody. A pipe nobody reads is refused rather than waited on.
        int fd = ::open(m_path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            if (errno == ENXIO && S_ISFIFO(existing.st_mode)) {
                Fail("Unable to create file", "nothing reads from the pipe");
            } else {
                FailWith("Unable to create file", errno);
            }
            return false;
        }
        (void)::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        m_stream = ::fdopen(fd, "wb");
        if (!m_stream) {
            FailWith("Unable to create file", errno);
            ::close(fd);
            return false;
        }
        m_mode = Mode::kDirect;
        return true;
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        Fail("Unable to create file", NotWritableKind(existing.st_mode));
        return false;
    }

    m_target = FollowLinks(m_path);
    const fs::path target(m_target);
    const std::string dir = target.parent_path().string();
    const std::string base = target.filename().string();
    if (base.empty() || base == "." || base == "..") {
        FailWith("Unable to create file", EISDIR);
        return false;
    }
    RemoveStaleTemporaries(dir);
    int err = 0;
    if (!OpenTemporary(dir, base, err)) {
        FailWith("Unable to create file", err);
        return false;
    }
    if (exists) (void)::fchmod(::fileno(m_stream), existing.st_mode & 07777);
    return true;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
    if (!m_stream) {
        FailWith("Error writing file", EBADF);
        return false;
    }
    if (m_failed) return false;
    if (size != 0 && std::fwrite(data, 1, size, m_stream) != size) {
        FailWith("Error writing file", errno);
        return false;
    }
    return true;
}

// The complete temporary file takes the target's place.
bool AtomicFile::PutInPlace() {
    if (m_mode == Mode::kUnnamed) {
        const std::string fdPath = "/proc/self/fd/" + std::to_string(::fileno(m_stream));
        const std::string dir = fs::path(m_target).parent_path().string();
        const std::string base = fs::path(m_target).filename().string();
        int err = EEXIST;
        for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
            m_temp = TempName(dir, base);
            err =
                ::linkat(AT_FDCWD, fdPath.c_str(), AT_FDCWD, m_temp.c_str(), AT_SYMLINK_FOLLOW) == 0
                    ? 0
                    : errno;
        }
        if (err != 0) {
            m_temp.clear();
            FailWith("Unable to replace file", err);
            return false;
        }
    }
    if (std::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        FailWith("Unable to replace file", errno);
        return false;
    }
    m_temp.clear();
    return true;
}

bool AtomicFile::Commit() {
    if (!m_stream) {
        FailWith("Error writing file", EBADF);
        return false;
    }
    errno = 0;
    if (!m_failed && (std::fflush(m_stream) != 0 || std::ferror(m_stream))) {
        FailWith("Error writing file", errno ? errno : EIO);
    }
    if (m_mode == Mode::kBorrowed) {
        m_stream = nullptr;
        m_mode = Mode::kClosed;
        return !m_failed;
    }
    const bool replacing = m_mode == Mode::kUnnamed || m_mode == Mode::kNamed;
    if (!m_failed && replacing && ::fsync(::fileno(m_stream)) != 0 && errno != EINVAL) {
        FailWith("Error writing file", errno);
    }
    // An unnamed file is linked while its descriptor is still open.
    if (!m_failed && m_mode == Mode::kUnnamed) PutInPlace();
    const int closed = std::fclose(m_stream);
    const int closeErr = errno;
    m_stream = nullptr;
    if (closed != 0) FailWith("Error writing file", closeErr);
    if (!m_failed && m_mode == Mode::kNamed) PutInPlace();
    const Mode mode = m_mode;
    m_mode = Mode::kClosed;
    if (m_failed) {
        // A close error after the link is too late to keep the old file;
        // the message still says the save failed.
        if (!m_temp.empty()) ::unlink(m_temp.c_str());
        m_temp.clear();
        return false;
    }
    if (mode == Mode::kDirect) return true;
    // Make the rename itself durable; a failure here loses nothing.
    std::string dir = fs::path(m_target).parent_path().string();
    int dirFd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

void AtomicFile::Discard() {
    if (m_stream && m_mode != Mode::kBorrowed) std::fclose(m_stream);
    m_stream = nullptr;
    m_mode = Mode::kClosed;
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
}

AtomicFileStream::Buffer::Buffer(AtomicFile& file, bool crlf) : m_file(file), m_crlf(crlf) {
    // Room for one more character, so overflow can always store its own.
    setp(m_bytes, m_bytes + sizeof m_bytes - 1);
}

bool AtomicFileStream::Buffer::Drain() {
    const char* begin = pbase();
    const char* end = pptr();
    if (begin == end) return !m_file.Failed();
    setp(m_bytes, m_bytes + sizeof m_bytes - 1);
    bool ok = true;
    if (!m_crlf) {
        ok = m_file.Write(begin, static_cast<std::size_t>(end - begin));
    } else {
        while (ok && begin != end) {
            const char* lf = static_cast<const char*>(
                std::memchr(begin, '\n', static_cast<std::size_t>(end - begin)));
            const char* stop = lf ? lf : end;
            ok = m_file.Write(begin, static_cast<std::size_t>(stop - begin));
            if (ok && lf) ok = m_file.Write("\r\n", 2);
            begin = lf ? lf + 1 : end;
        }
    }
    return ok && !m_file.Failed();
}

AtomicFileStream::Buffer::int_type AtomicFileStream::Buffer::overflow(int_type c) {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return Drain() ? traits_type::not_eof(c) : traits_type::eof();
}

int AtomicFileStream::Buffer::sync() {
    return Drain() ? 0 : -1;
}

AtomicFileStream::AtomicFileStream(AtomicFile& file, bool crlf)
    : std::ostream(nullptr), m_buffer(file, crlf) {
    rdbuf(&m_buffer);
}

AtomicFileStream::~AtomicFileStream() {
    m_buffer.Drain();
}

bool AtomicFileStream::Finish() {
    if (m_buffer.pubsync() != 0) setstate(std::ios::badbit);
    return good();
}

bool WriteFileAtomically(const std::string& path, std::string_view data, std::string* error) {
    AtomicFile file(path);
    bool ok = file.Open() && file.Write(data) && file.Commit();
    if (!ok && error) *error = file.Error();
    return ok;
}

}  // namespace quillon
