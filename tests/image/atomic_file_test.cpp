#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "image/atomic_file.h"
#include "test_support.h"

namespace quillon {
namespace {

using test::Bytes;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

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
        EXPECT_NE(error.find(path), std::string::npos) << error;
    }
    EXPECT_EQ(test::ReadBytes(path), Text("precious"));
    EXPECT_EQ(dir.Count(), 1u);

    std::string error;
    EXPECT_FALSE(WriteFileAtomically(dir.File("no/such/folder.txt"), "x", &error));
    EXPECT_FALSE(error.empty());
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
}

}  // namespace
}  // namespace quillon
