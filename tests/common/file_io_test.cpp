// The atomic writer against what it finds at the target's place: things that
// are not files, symbolic links, names near the length limit, and the umask.

#include "common/file_io.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

const std::vector<uint8_t> kContent = {'n', 'e', 'w', '\n'};

bool Write(const fs::path& path) {
    return WriteFileAtomically(path, {kContent});
}

// Names in `folder` that only a write could have left.
std::vector<std::string> PartialFiles(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".morvane-partial-") != std::string::npos) {
            found.push_back(name);
        }
    }
    return found;
}

mode_t TypeOf(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & S_IFMT) : 0;
}

TEST(AtomicWrites, WhatIsNotARegularFileIsRefusedAndLeftAlone) {
    test::TempDir dir;
    const fs::path fifo = dir / "fifo";
    const fs::path folder = dir / "folder";
    const fs::path socketPath = dir / "socket";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(sock);
    // Through links too: one to the machine's /dev/null, one to the FIFO.
    fs::create_symlink("/dev/null", dir / "null-link");
    fs::create_symlink("fifo", dir / "fifo-link");

    const struct {
        fs::path path;
        mode_t type;  // of what the path names, once links are followed
    } targets[] = {
        {fifo, S_IFIFO},
        {folder, S_IFDIR},
        {socketPath, S_IFSOCK},
        {dir / "null-link", S_IFCHR},
        {dir / "fifo-link", S_IFIFO},
    };
    for (const auto& target : targets) {
        SCOPED_TRACE(target.path.string());
        const mode_t before = TypeOf(target.path);
        const OutputCheck check = CheckOutputPath(target.path);
        EXPECT_EQ(check.refusal, OutputRefusal::NotARegularFile);
        EXPECT_EQ(check.fileType, target.type);
        EXPECT_FALSE(Write(target.path));
        EXPECT_EQ(TypeOf(target.path), before);
    }
    EXPECT_EQ(TypeOf("/dev/null"), static_cast<mode_t>(S_IFCHR));
    EXPECT_EQ(PartialFiles(dir.path()), std::vector<std::string>{});
}

TEST(AtomicWrites, ASymbolicLinkIsFollowedToItsTargetAndKept) {
    test::TempDir dir;
    fs::create_directory(dir / "real");
    // first -> real/second -> third (relative to real/) -> the file.
    test::WriteAll(dir / "real" / "third", {'o', 'l', 'd'});
    fs::create_symlink("third", dir / "real" / "second");
    fs::create_symlink("real/second", dir / "first");
    ASSERT_TRUE(CheckOutputPath(dir / "first").ok());
    ASSERT_TRUE(Write(dir / "first"));
    EXPECT_TRUE(fs::is_symlink(dir / "first"));
    EXPECT_TRUE(fs::is_symlink(dir / "real" / "second"));
    EXPECT_EQ(test::ReadAll(dir / "real" / "third"), kContent);

    // A dangling link makes its target.
    fs::create_symlink("real/made", dir / "dangling");
    ASSERT_TRUE(Write(dir / "dangling"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
    EXPECT_EQ(test::ReadAll(dir / "real" / "made"), kContent);

    // A loop is refused and left as it is.
    fs::create_symlink("loop-b", dir / "loop-a");
    fs::create_symlink("loop-a", dir / "loop-b");
    const OutputCheck loop = CheckOutputPath(dir / "loop-a");
    EXPECT_EQ(loop.refusal, OutputRefusal::CannotResolve);
    EXPECT_EQ(loop.error, ELOOP);
    EXPECT_FALSE(Write(dir / "loop-a"));
    EXPECT_TRUE(fs::is_symlink(dir / "loop-a"));
    EXPECT_EQ(PartialFiles(dir.path()), std::vector<std::string>{});
    EXPECT_EQ(PartialFiles(dir / "real"), std::vector<std::string>{});
}

TEST(AtomicWrites, NamesUpToTheLimitAreWritten) {
    test::TempDir dir;
    // 232 bytes and more left no room for the partial file's prefix and
    // suffix; a name cut inside a UTF-8 character would be a broken name.
    std::string accented;
    while (accented.size() + 2 <= 255) {
        accented += "\xC3\xA9";  // é
    }
    accented += "x";
    for (const std::string& name :
         {std::string(231, 'n'), std::string(232, 'n'), std::string(255, 'n'), accented}) {
        SCOPED_TRACE(std::to_string(name.size()) + " bytes");
        const std::string prefix = PartialFilePrefix(name);
        EXPECT_LE(prefix.size() + 6, 255u);
        EXPECT_NE(static_cast<unsigned char>(prefix[prefix.size() - 18]) & 0xC0, 0xC0);
        EXPECT_TRUE(Write(dir / name));
        EXPECT_EQ(test::ReadAll(dir / name), kContent);
    }
    EXPECT_EQ(PartialFiles(dir.path()), std::vector<std::string>{});
}

TEST(AtomicWrites, NewFilesFollowTheUmaskAndReplacedOnesKeepTheirModeWithoutSetId) {
    test::TempDir dir;
    const mode_t saved = ::umask(027);
    const bool wroteNew = Write(dir / "new");
    ::umask(saved);
    ASSERT_TRUE(wroteNew);
    EXPECT_EQ(fs::status(dir / "new").permissions(), fs::perms(0640));

    test::WriteAll(dir / "set-id", {'o', 'l', 'd'});
    ASSERT_EQ(::chmod((dir / "set-id").c_str(), 06751), 0);
    ASSERT_TRUE(Write(dir / "set-id"));
    struct stat info {};
    ASSERT_EQ(::stat((dir / "set-id").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0751u);
}

}  // namespace
}  // namespace morvane
