#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

#include "image/atomic_file.h"
#include "test_support.h"

namespace quillon {
namespace {

using test::Bytes;

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

TEST(AtomicFile, ReplacesOnlyOnCommit) {
    test::TempDir dir;
    const std::string path = dir.File("doc.qln");
    ASSERT_TRUE(WriteFileAtomically(path, "first"));
    EXPECT_EQ(test::ReadBytes(path), Text("first"));
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.Write("second"));
        EXPECT_EQ(test::ReadBytes(path), Text("first"));  // untouched until Commit
        ASSERT_TRUE(file.Commit());
    }
    EXPECT_EQ(test::ReadBytes(path), Text("second"));
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.Open());
        file.Write("abandoned");
    }  // never committed
    EXPECT_EQ(test::ReadBytes(path), Text("second"));
    EXPECT_EQ(dir.Count(), 1u);
}

TEST(AtomicFile, FailuresKeepTheOldFileAndLeaveNoTemporary) {
    test::TempDir dir;
    const std::string path = dir.File("doc.qln");
    ASSERT_TRUE(WriteFileAtomically(path, "precious"));
    {
        test::FileSizeLimit limit(100);
        std::string error;
        EXPECT_FALSE(WriteFileAtomically(path, std::string(5000, 'x'), &error));
        // The system's reason, not a bare "write error".
        EXPECT_EQ(error, "Error writing file " + path + ": File too large");

        // The same through a text stream, which goes bad with the file.
        AtomicFile file(path);
        ASSERT_TRUE(file.Open());
        AtomicFileStream out(file);
        for (int i = 0; i < 1000; ++i) out << "line " << i << '\n';
        EXPECT_FALSE(out.Finish());
        EXPECT_FALSE(out.good());
        EXPECT_FALSE(file.Commit());
        EXPECT_EQ(file.Error(), "Error writing file " + path + ": File too large");
    }
    EXPECT_EQ(test::ReadBytes(path), Text("precious"));
    EXPECT_EQ(dir.Count(), 1u);

    std::string error;
    EXPECT_FALSE(WriteFileAtomically(dir.File("no/such/folder.txt"), "x", &error));
    EXPECT_EQ(error, "Unable to create file " + dir.File("no/such/folder.txt") +
                         ": No such file or directory");
    std::filesystem::create_directory(dir.File("folder"));
    EXPECT_FALSE(WriteFileAtomically(dir.File("folder"), "x"));
    EXPECT_FALSE(WriteFileAtomically("", "x"));
    AtomicFile unopened(dir.File("never"));
    EXPECT_FALSE(unopened.Commit());
}

TEST(AtomicFile, KeepsPermissionsAndFollowsLinks) {
    test::TempDir dir;
    const std::string path = dir.File("shared.txt");
    ASSERT_TRUE(WriteFileAtomically(path, "v1"));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(WriteFileAtomically(path, "v2"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    const std::string link = dir.File("link.txt");
    std::filesystem::create_symlink(path, link);
    ASSERT_TRUE(WriteFileAtomically(link, "v3"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(test::ReadBytes(path), Text("v3"));

    // A relative link, through a second one, to a file not yet made.
    std::filesystem::create_directory(dir.File("sub"));
    std::filesystem::create_symlink("sub/new.txt", dir.File("hop.txt"));
    std::filesystem::create_symlink("hop.txt", dir.File("start.txt"));
    ASSERT_TRUE(WriteFileAtomically(dir.File("start.txt"), "v4"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("start.txt")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("hop.txt")));
    EXPECT_EQ(test::ReadBytes(dir.File("sub/new.txt")), Text("v4"));
}

TEST(AtomicFile, DevicesAndPipesAreWrittenInPlaceNeverReplaced) {
    std::string error;
    EXPECT_TRUE(WriteFileAtomically("/dev/null", "discarded", &error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    EXPECT_FALSE(WriteFileAtomically("/dev/full", "x", &error));
    EXPECT_EQ(error, "Error writing file /dev/full: No space left on device");

    test::TempDir dir;
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Nobody reads: refused at once rather than waited on.
    EXPECT_FALSE(WriteFileAtomically(fifo, "x", &error));
    EXPECT_EQ(error, "Unable to create file " + fifo + ": nothing reads from the pipe");

    std::string received;
    std::thread reader([&] {
        std::ifstream in(fifo, std::ios::binary);
        received.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    });
    const std::string data(200000, 'p');  // more than a pipe holds at once
    bool written = false;
    for (int i = 0; i < 500 && !written; ++i) {  // until the reader has opened its end
        written = WriteFileAtomically(fifo, data);
        if (!written) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reader.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(received, data);
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    const std::string socketPath = dir.File("sock");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_FALSE(WriteFileAtomically(socketPath, "x", &error));
    EXPECT_EQ(error, "Unable to create file " + socketPath + ": a socket");
    ::close(fd);
    ASSERT_EQ(::stat(socketPath.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
}

TEST(AtomicFile, StreamsOfTheCallerAreCheckedNotClosed) {
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    AtomicFile out(full, "standard output");
    ASSERT_TRUE(out.Open());
    AtomicFileStream text(out);
    text << std::string(100000, 'x');
    EXPECT_FALSE(text.Finish());
    EXPECT_FALSE(out.Commit());
    EXPECT_EQ(out.Error(), "Error writing to standard output: No space left on device");
    std::fclose(full);

    std::FILE* scratch = std::tmpfile();
    ASSERT_NE(scratch, nullptr);
    AtomicFile ok(scratch, "standard output");
    ASSERT_TRUE(ok.Open() && ok.Write("abc") && ok.Commit());
    std::fputs("def", scratch);  // still open for its owner
    std::rewind(scratch);
    char back[8] = {};
    EXPECT_EQ(std::fread(back, 1, sizeof back, scratch), 6u);
    EXPECT_STREQ(back, "abcdef");
    std::fclose(scratch);

    test::TempDir dir;
    const std::string path = dir.File("crlf.txt");
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.Open());
        AtomicFileStream lines(file, true);
        lines << "a\nb\n\n" << std::string(20000, 'c') << '\n';
        ASSERT_TRUE(lines.Finish());
        ASSERT_TRUE(file.Commit());
    }
    EXPECT_EQ(test::ReadBytes(path), Text("a\r\nb\r\n\r\n" + std::string(20000, 'c') + "\r\n"));
}

// A save killed before its commit leaves no file behind; temporaries that
// processes which are gone left behind are removed by the next save there.
TEST(AtomicFile, KilledSavesLeaveNothingBehind) {
    test::TempDir dir;
    const std::string path = dir.File("doc.qln");
    ASSERT_TRUE(WriteFileAtomically(path, "kept"));
    const pid_t child = ::fork();
    if (child == 0) {
        AtomicFile file(path);
        if (file.Open()) (void)file.Write(std::string(100000, 'x'));
        std::fflush(file.Stream());
        ::_exit(0);  // as if killed: no destructor runs
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(test::ReadBytes(path), Text("kept"));
    EXPECT_EQ(dir.Count(), 1u);

    // The named temporaries an older program or a crash left: the dead
    // process's old one goes, a live process's and a fresh one stay.
    const std::string dead = dir.File(".doc.qln.tmp-" + std::to_string(child) + "-0");
    const std::string fresh = dir.File(".doc.qln.tmp-" + std::to_string(child) + "-1");
    const std::string live = dir.File(".doc.qln.tmp-" + std::to_string(::getppid()) + "-0");
    const std::string other = dir.File(".notes.tmp-x-0");
    for (const std::string& name : {dead, fresh, live, other}) test::WriteBytes(name, Text("left"));
    const timespec old[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
    for (const std::string& name : {dead, live, other}) ::utimensat(AT_FDCWD, name.c_str(), old, 0);
    ASSERT_TRUE(WriteFileAtomically(dir.File("another.qln"), "new"));
    EXPECT_FALSE(std::filesystem::exists(dead));
    EXPECT_TRUE(std::filesystem::exists(fresh));
    EXPECT_TRUE(std::filesystem::exists(live));
    EXPECT_TRUE(std::filesystem::exists(other));
}

}  // namespace
}  // namespace quillon
