#include "image/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace quillon {

namespace {

std::atomic<unsigned> g_tempCounter{0};

std::string FollowLinks(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec)) return path;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : resolved.string();
}

}  // namespace

AtomicFile::AtomicFile(std::string path) : m_path(std::move(path)) {}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Fail(const char* what, int err) {
    if (m_failed) return;  // keep the first reason
    m_failed = true;
    m_error = std::string(what) + " " + m_path;
    if (err != 0) m_error += ": " + std::string(std::strerror(err));
}

bool AtomicFile::Open() {
    Discard();
    m_failed = false;
    m_error.clear();
    if (m_path.empty()) {
        Fail("Unable to create file", ENOENT);
        return false;
    }
    m_target = FollowLinks(m_path);
    std::filesystem::path target(m_target);
    std::string dir = target.parent_path().string();
    std::string base = target.filename().string();
    if (base.empty()) {
        Fail("Unable to create file", EISDIR);
        return false;
    }
    struct stat existing {};
    bool exists = ::stat(m_target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        Fail("Unable to create file", EISDIR);
        return false;
    }

    int fd = -1;
    int err = 0;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        m_temp = (dir.empty() ? std::string() : dir + "/") + "." + base + ".tmp-" +
                 std::to_string(::getpid()) + "-" + std::to_string(g_tempCounter++);
        fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        err = errno;
        if (fd < 0 && err != EEXIST) break;
    }
    if (fd < 0) {
        m_temp.clear();
        Fail("Unable to create file", err);
        return false;
    }
    if (exists) (void)::fchmod(fd, existing.st_mode & 07777);
    m_stream = ::fdopen(fd, "wb");
    if (!m_stream) {
        err = errno;
        ::close(fd);
        ::unlink(m_temp.c_str());
        m_temp.clear();
        Fail("Unable to create file", err);
        return false;
    }
    return true;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
    if (!m_stream) {
        Fail("Error writing file", EBADF);
        return false;
    }
    if (size != 0 && std::fwrite(data, 1, size, m_stream) != size) {
        Fail("Error writing file", errno);
        return false;
    }
    return true;
}

bool AtomicFile::Commit() {
    if (!m_stream) {
        Fail("Error writing file", EBADF);
        return false;
    }
    if (!m_failed) {
        if (std::fflush(m_stream) != 0 || std::ferror(m_stream)) {
            Fail("Error writing file", errno);
        } else if (::fsync(::fileno(m_stream)) != 0 && errno != EINVAL) {
            Fail("Error writing file", errno);
        }
    }
    int closed = std::fclose(m_stream);
    int err = errno;
    m_stream = nullptr;
    if (closed != 0) Fail("Error writing file", err);
    if (!m_failed && std::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        Fail("Unable to replace file", errno);
    }
    if (m_failed) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
        return false;
    }
    m_temp.clear();
    // Make the rename itself durable; a failure here loses nothing.
    std::string dir = std::filesystem::path(m_target).parent_path().string();
    int dirFd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

void AtomicFile::Discard() {
    if (m_stream) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
}

bool WriteFileAtomically(const std::string& path, std::string_view data, std::string* error) {
    AtomicFile file(path);
    bool ok = file.Open() && file.Write(data) && file.Commit();
    if (!ok && error) *error = file.Error();
    return ok;
}

}  // namespace quillon
