// Both ways of staging a file: unnamed until it is put in place, or, where
// the file system cannot make unnamed files, hidden beside the target.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FolderFiles.h"
#include "SmallDisk.h"
#include "platform/StagedFile.h"

namespace fs = std::filesystem;

// Outside the unnamed namespace, where GoogleTest's printer finds it beside StagedFile.
void PrintTo(StagedFile::Staging staging, std::ostream* os)
{
    *os << (staging == StagedFile::Staging::Named ? "named" : "unnamed");
}

namespace {
using Staging = StagedFile::Staging;

const std::string kOld = "old contents";
const std::string kNew(10000, 'n');

class Staged : public testing::TestWithParam<Staging> {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/nivo-staged-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        target = dir / "file.avi";
    }
    void TearDown() override { fs::remove_all(dir); }

    bool Open(StagedFile& file) const { return file.Open(target.string(), GetParam()); }

    fs::path dir;
    fs::path target;
};

TEST_P(Staged, NothingChangesUntilCommitThenTheNewBytesAreInPlace)
{
    WriteAll(target, kOld);
    StagedFile file;
    ASSERT_TRUE(Open(file));
    EXPECT_EQ(file.StagingName().empty(), GetParam() == Staging::Unnamed);
    ASSERT_TRUE(file.Write(kNew.data(), kNew.size()));
    // Rewrite the start, as a muxer completes its header.
    EXPECT_EQ(file.Seek(0, SEEK_SET), 0);
    ASSERT_TRUE(file.Write("head", 4));
    EXPECT_EQ(file.Size(), std::int64_t(kNew.size()));
    EXPECT_EQ(ReadAll(target), kOld);
    EXPECT_EQ(Entries(dir).size(), GetParam() == Staging::Unnamed ? 1u : 2u);
    EXPECT_TRUE(file.Commit());
    EXPECT_EQ(ReadAll(target), "head" + kNew.substr(4));
    EXPECT_EQ(Entries(dir), std::set<std::string> {"file.avi"});
}

TEST_P(Staged, ADiscardedFileLeavesNothingBehind)
{
    WriteAll(target, kOld);
    {
        StagedFile file;
        ASSERT_TRUE(Open(file));
        ASSERT_TRUE(file.Write(kNew.data(), kNew.size()));
        file.Discard();
        EXPECT_FALSE(file.Commit());
    }
    {
        // Forgotten without a commit: the same.
        StagedFile file;
        ASSERT_TRUE(Open(file));
        ASSERT_TRUE(file.Write(kNew.data(), kNew.size()));
    }
    EXPECT_EQ(ReadAll(target), kOld);
    EXPECT_EQ(Entries(dir), std::set<std::string> {"file.avi"});
}

TEST_P(Staged, ATargetThatBecameAFolderMeanwhileIsLeftAlone)
{
    StagedFile file;
    ASSERT_TRUE(Open(file));
    ASSERT_TRUE(file.Write(kNew.data(), kNew.size()));
    fs::create_directory(target);
    fs::create_directory(target / "inside");
    EXPECT_FALSE(file.Commit());
    EXPECT_TRUE(fs::is_directory(target / "inside"));
    EXPECT_EQ(Entries(dir), std::set<std::string> {"file.avi"});
}

TEST_P(Staged, AFollowedLinkStaysAndTheFileItNamesIsReplaced)
{
    WriteAll(dir / "real.avi", kOld);
    fs::create_symlink("real.avi", target);
    StagedFile file;
    ASSERT_TRUE(file.Open(target.string(), GetParam(), StagedFile::Links::Follow));
    ASSERT_TRUE(file.Write(kNew.data(), kNew.size()));
    ASSERT_TRUE(file.Commit());
    EXPECT_TRUE(fs::is_symlink(target));
    EXPECT_EQ(ReadAll(dir / "real.avi"), kNew);
}

// Someone else's file, reached through a link planted under the name.
TEST_P(Staged, AReplacedLinkGoesAndWhatItNamedIsUntouched)
{
    WriteAll(dir / "victim", kOld);
    fs::permissions(dir / "victim", fs::perms(0444));
    fs::create_symlink("victim", target);
    fs::create_symlink("nowhere/created", dir / "dangling.avi");
    for (const fs::path& link : {target, dir / "dangling.avi"}) {
        StagedFile file;
        ASSERT_TRUE(file.Open(link.string(), GetParam(), StagedFile::Links::Replace));
        ASSERT_TRUE(file.Write(kNew.data(), kNew.size()));
        ASSERT_TRUE(file.Commit());
        EXPECT_FALSE(fs::is_symlink(link));
        EXPECT_EQ(ReadAll(link), kNew);
    }
    EXPECT_EQ(ReadAll(dir / "victim"), kOld);
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_EQ(Entries(dir), (std::set<std::string> {"dangling.avi", "file.avi", "victim"}));
}

TEST_P(Staged, NamesWhyATargetIsRefused)
{
    fs::create_directory(target);
    StagedFile file;
    EXPECT_FALSE(Open(file));
    EXPECT_EQ(file.Error(), EISDIR);
    EXPECT_FALSE(file.Open((dir / "absent" / "x").string(), GetParam()));
    EXPECT_EQ(file.Error(), ENOENT);
    EXPECT_FALSE(file.Open("/dev/null", GetParam()));
    EXPECT_EQ(file.Error(), EINVAL);
    // A folder that takes no new file, not a missing one.
    EXPECT_FALSE(file.Open("/proc/nivo-staged", GetParam()));
    EXPECT_EQ(file.Error(), EROFS);
}

class StagedOnSmallDisk : public OnSmallDisk<Staged> {};

TEST_P(StagedOnSmallDisk, AWriteThatDoesNotFitSpoilsTheFileForGood)
{
    WriteAll(target, kOld);
    const std::string tooMuch(100 * 1024, 'x');
    StagedFile file;
    ASSERT_TRUE(Open(file));
    EXPECT_FALSE(file.Write(tooMuch.data(), tooMuch.size()));
    EXPECT_FALSE(file.Intact());
    EXPECT_EQ(file.Error(), ENOSPC);
    // Even after room is made, the file stays spoilt: a byte is missing from it.
    fs::remove(target);
    EXPECT_FALSE(file.Write("x", 1));
    EXPECT_EQ(file.Seek(0, SEEK_SET), -1);
    EXPECT_FALSE(file.Commit());
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_P(StagedOnSmallDisk, AReadOnlyFolderCannotBeStagedIn)
{
    WriteAll(target, kOld);
    ASSERT_TRUE(disk->MakeReadOnly());
    StagedFile file;
    EXPECT_FALSE(Open(file));
    EXPECT_FALSE(file.Intact());
    EXPECT_EQ(file.Error(), EROFS);
    EXPECT_EQ(ReadAll(target), kOld);
}

// Room for part of the new bytes: the disk fills during the last of them.
TEST_P(StagedOnSmallDisk, StoreKeepsTheOldFileWhenTheDiskFillsPartWay)
{
    WriteAll(target, kOld);
    ASSERT_TRUE(disk->Fill("filler", 8192));
    const std::string larger(30000, 'n');
    EXPECT_EQ(StagedFile::Store(target.string(), larger.data(), larger.size()), ENOSPC);
    EXPECT_EQ(ReadAll(target), kOld);
    EXPECT_EQ(Entries(dir), (std::set<std::string> {"file.avi", "filler"}));
    fs::remove(dir / "filler");
    EXPECT_EQ(StagedFile::Store(target.string(), larger.data(), larger.size()), 0);
    EXPECT_EQ(ReadAll(target), larger);
}

std::string StagingTitle(const testing::TestParamInfo<Staging>& info)
{
    return info.param == Staging::Unnamed ? "Unnamed" : "Named";
}

INSTANTIATE_TEST_SUITE_P(Both, Staged, testing::Values(Staging::Unnamed, Staging::Named), StagingTitle);
INSTANTIATE_TEST_SUITE_P(Both, StagedOnSmallDisk, testing::Values(Staging::Unnamed, Staging::Named), StagingTitle);
} // namespace

namespace {
// A folder of that many levels below `dir`, each named with `length` bytes.
fs::path DeepFolder(const fs::path& dir, int levels, std::size_t length)
{
    fs::path folder = dir;
    for (int level = 0; level < levels; ++level)
        folder /= std::string(length, char('a' + level % 26));
    fs::create_directories(folder);
    return folder;
}

// Every valid name can be written: a name of NAME_MAX bytes, and a path one
// byte short of PATH_MAX.
TEST_P(Staged, NamesAsLongAsTheSystemAllowsAreWritten)
{
    const fs::path longName = DeepFolder(dir, 1, 3) / std::string(NAME_MAX, 'n');
    fs::path longPath = DeepFolder(dir, 16, 250);
    longPath /= std::string(PATH_MAX - 1 - longPath.string().size() - 1, 'p');
    ASSERT_EQ(longPath.string().size(), std::size_t(PATH_MAX - 1));
    for (const fs::path& path : {longName, longPath}) {
        for (int round = 0; round < 2; ++round) {
            StagedFile file;
            ASSERT_TRUE(file.Open(path.string(), GetParam())) << path.string().size() << ": " << file.Error();
            ASSERT_TRUE(file.Write(kNew.data(), kNew.size()));
            ASSERT_TRUE(file.Commit()) << path.string().size() << ": " << file.Error();
            EXPECT_EQ(ReadAll(path), kNew);
            EXPECT_EQ(Entries(path.parent_path()), std::set<std::string> {path.filename().string()});
        }
    }
}

// Killed while a named staging file exists, or between the naming of an
// unnamed one and its rename: nothing is left beside the target.
TEST_P(Staged, AStopSignalLeavesNoStagingFileBehind)
{
    WriteAll(target, kOld);
    for (const int signal : {SIGINT, SIGTERM}) {
        const pid_t child = fork();
        if (child == 0) {
            StagedFile file;
            if (!Open(file) || !file.Write(kNew.data(), kNew.size()))
                _exit(1);
            raise(signal);
            _exit(2);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(ReadAll(target), kOld);
        EXPECT_EQ(Entries(dir), std::set<std::string> {"file.avi"});
    }
}

// Root replaces a user's file: as a careful copy does, the user keeps it.
TEST_P(Staged, AReplacedFileKeepsItsOwnerAndMode)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to write another user's file";
    WriteAll(target, kOld);
    ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(StagedFile::Store(target.string(), kNew.data(), kNew.size()), 0);
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_gid, 65534u);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadAll(target), kNew);
}

struct StickyLink {
    uid_t folderOwner;
    uid_t linkOwner;
    bool followed;
};

// A link planted in a shared sticky folder by a third user is not followed:
// the user's own links and the folder owner's are.
TEST_P(Staged, LinksInASharedStickyFolderAreFollowedOnlyFromTheUserOrTheFolderOwner)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to own files as other users";
    const fs::path shared = dir / "shared";
    const fs::path victim = dir / "notes.txt";
    for (const StickyLink& c : {StickyLink {0, 65534, false}, StickyLink {0, 0, true}, StickyLink {65534, 65534, true},
                                StickyLink {65534, 1, false}}) {
        fs::remove_all(shared);
        fs::create_directory(shared);
        ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
        ASSERT_EQ(chown(shared.c_str(), c.folderOwner, 0), 0);
        WriteAll(victim, kOld);
        const fs::path link = shared / "out.png";
        fs::create_symlink(victim, link);
        ASSERT_EQ(lchown(link.c_str(), c.linkOwner, 0), 0);
        const int error = StagedFile::Store(link.string(), kNew.data(), kNew.size());
        const std::string at = std::to_string(c.folderOwner) + "/" + std::to_string(c.linkOwner);
        EXPECT_EQ(error, c.followed ? 0 : EACCES) << at;
        EXPECT_EQ(ReadAll(victim), c.followed ? kNew : kOld) << at;
        EXPECT_TRUE(fs::is_symlink(link)) << at;
        EXPECT_EQ(Entries(shared), std::set<std::string> {"out.png"}) << at;
    }
}
} // namespace
