#include "FilesFixture.h"

#include "files/BankFile.h"
#include "files/FileIo.h"
#include "files/NamesFile.h"
#include "files/PerformanceFile.h"

#include <algorithm>
#include <chrono>
#include <unistd.h>

using namespace kw;
namespace fs = std::filesystem;

namespace {

const Bytes kOld = {'o', 'l', 'd'};

} // namespace

TEST(AtomicSave, ReplacesTheOldFileKeepingItsPermissionsAndLeavesNothingElse)
{
    kwtest::TempDir dir;
    kwtest::writeAll(dir / "p.SYX", kOld);
    fs::permissions(dir / "p.SYX", fs::perms::owner_read | fs::perms::owner_write);
    const PerformanceRecord r = kwtest::makeRecord(2, 3, "Organ");
    {
        // Nothing with a name beside the target while it is written, where
        // the file system has unnamed files: a killed program leaves nothing.
        AtomicFile f(dir / "p.SYX");
        ASSERT_FALSE(f.open());
        ASSERT_FALSE(f.write(r.bytes()));
        EXPECT_EQ(dir.names().size(), f.unnamed() ? 1u : 2u);
        ASSERT_FALSE(f.commit());
    }
    EXPECT_EQ(kwtest::readAll(dir / "p.SYX"), Bytes(r.bytes().begin(), r.bytes().end()));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"p.SYX"});
    EXPECT_EQ(fs::status(dir / "p.SYX").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST(AtomicSave, TemporaryFilesOfAKilledRunGoWhenTheFolderIsNextWritten)
{
    kwtest::TempDir dir;
    // Left by runs that were killed: one whose process has ended, one an
    // earlier version named, long ago. Kept: this run's own, a fresh one of
    // an earlier version (perhaps still being written), and anything else.
    const std::string mine = ".a.PFB.kw-p" + std::to_string(::getpid()) + "-3-0";
    for (const char* n : {".bank.PFB.kw-p4194305-0-0", ".p.SYX.kw-123456-7-0", ".q.SYX.kw-654321-1-0", ".hidden",
                          "x.kw-p4194305-0-0", ".bank.PFB.kw-p4194305-0"})
        kwtest::writeAll(dir / n, kOld);
    kwtest::writeAll(dir / mine, kOld);
    fs::last_write_time(dir / ".p.SYX.kw-123456-7-0", fs::file_time_type::clock::now() - std::chrono::hours(2));
    ASSERT_FALSE(writePerformanceFile(dir / "new.SYX", PerformanceRecord()));
    std::vector<std::string> kept = {".bank.PFB.kw-p4194305-0", ".hidden", mine, ".q.SYX.kw-654321-1-0", "new.SYX",
                                     "x.kw-p4194305-0-0"};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(dir.names(), kept);
}

TEST(AtomicSave, ASaveThatBreaksOffKeepsTheOldFileAndSaysWhy)
{
    kwtest::TempDir dir;
    kwtest::writeAll(dir / "bank.PFB", kOld);
    kwtest::writeAll(dir / "p.SYX", kOld);
    kwtest::writeAll(dir / "n.PFN", kOld);
    std::vector<PerformanceRecord> records(3, kwtest::makeRecord(1, 1, "X"));
    SaveError bankError, perfError, namesError;
    {
        kwtest::FileSizeLimit limit(100);
        bankError = writeBankFile(dir / "bank.PFB", records);
        perfError = writePerformanceFile(dir / "p.SYX", records[0]);
        namesError = writeNamesFile(dir / "n.PFN", std::vector<std::string>(128, std::string(40, 'n')));
    }
    for (const SaveError* e : {&bankError, &perfError, &namesError}) {
        ASSERT_TRUE(e->has_value());
        EXPECT_EQ((*e)->kind, FileErrorKind::CannotSave);
        EXPECT_EQ((*e)->reason, "File too large");
    }
    EXPECT_EQ(bankError->message(), "Save-Error : Unable to save file\n" + (dir / "bank.PFB").string() + ": File too large");
    for (const char* name : {"bank.PFB", "p.SYX", "n.PFN"})
        EXPECT_EQ(kwtest::readAll(dir / name), kOld) << name;
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"bank.PFB", "n.PFN", "p.SYX"}));
}

TEST(AtomicSave, ATransferCutOffByAWriteErrorStillLeavesAValidBank)
{
    kwtest::TempDir dir;
    BankWriter w(dir / "backup.PFB");
    ASSERT_FALSE(w.open());
    SaveError failure;
    {
        kwtest::FileSizeLimit limit(14 + 3 * 317 + 100);
        for (int i = 0; i < 10 && !failure; ++i)
            failure = w.append(kwtest::makeRecord(i, 1, "R"));
    }
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(w.records(), 3);
    ASSERT_FALSE(w.commit());
    auto back = readBankFile(dir / "backup.PFB");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->records.size(), 3u);
}

TEST(AtomicSave, AFolderThatCannotTakeTheFileIsReported)
{
    kwtest::TempDir dir;
    kwtest::writeAll(dir / "file", kOld);
    // A folder path through a file fails for every user, root included.
    const SaveError e = writePerformanceFile(dir / "file" / "p.SYX", PerformanceRecord());
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->message(),
              "Save-Error : Unable to save file\n" + (dir / "file" / "p.SYX").string() + ": Not a directory");
    // A folder where the file should be: the rename fails and nothing stays behind.
    fs::create_directory(dir / "taken.SYX");
    EXPECT_TRUE(writePerformanceFile(dir / "taken.SYX", PerformanceRecord()).has_value());
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"file", "taken.SYX"}));
}

TEST(AtomicSave, AReadOnlyFolderKeepsTheOldFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root, where folder permissions do not stop writes; the file-size "
                        "limit and folder-path cases above cover the failure for root";
    kwtest::TempDir dir;
    kwtest::writeAll(dir / "names.PFN", kOld);
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    const SaveError e = writeNamesFile(dir / "names.PFN", std::vector<std::string>(128, "x"));
    fs::permissions(dir.path(), fs::perms::owner_all);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->reason, "Permission denied");
    EXPECT_EQ(kwtest::readAll(dir / "names.PFN"), kOld);
}
