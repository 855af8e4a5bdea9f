// knobwright-files as a shell user runs it: the built program as a child
// process with its own standard streams, working folder, file-size limit and
// signals.

#include "FilesFixture.h"

#include "files/BankFile.h"
#include "files/PerformanceFile.h"
#include "model/Cp1252.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>

using namespace kw;
namespace fs = std::filesystem;

namespace {

struct Ran {
    int status = -1;  // the exit status; -1 when a signal ended the program
    int signal = 0;
    std::string out, err;
};

std::string describe(const Ran& r)
{
    return "status " + std::to_string(r.status) + (r.signal ? " signal " + std::to_string(r.signal) : "")
           + "\nstdout: " + r.out.substr(0, 2000) + "\nstderr: " + r.err.substr(0, 2000);
}

// The tool running in `cwd`. Standard input is a pipe fed with `input` (and
// left open with `holdInput` until finish()), standard output a pipe or the
// file `stdoutFile`, standard error a pipe.
class Child {
public:
    struct Options {
        std::string input;
        bool holdInput = false;
        std::string stdoutFile;
        rlim_t fileSizeLimit = RLIM_INFINITY;
    };

    Child(const fs::path& cwd, const std::vector<std::string>& args, Options o) : input_(std::move(o.input))
    {
        // A program that stops reading its input early must not end this one.
        ::signal(SIGPIPE, SIG_IGN);
        int in[2], out[2] = {-1, -1}, err[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0
            || (o.stdoutFile.empty() && ::pipe2(out, O_CLOEXEC) != 0))
            throw std::runtime_error("pipe failed");
        const int outFile = o.stdoutFile.empty() ? -1 : ::open(o.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        std::vector<std::string> all = {KW_FILES_TOOL};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string dir = cwd.string();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(outFile >= 0 ? outFile : out[1], 1);
            ::dup2(err[1], 2);
            // As a shell starts a program: every signal at its default.
            for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ})
                ::signal(s, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            rlimit lim;
            ::getrlimit(RLIMIT_FSIZE, &lim);
            lim.rlim_cur = o.fileSizeLimit;
            if (::chdir(dir.c_str()) != 0 || ::setrlimit(RLIMIT_FSIZE, &lim) != 0)
                ::_exit(126);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(err[1]);
        if (out[1] >= 0)
            ::close(out[1]);
        if (outFile >= 0)
            ::close(outFile);
        in_ = in[1];
        out_ = out[0];
        err_ = err[0];
        ::fcntl(in_, F_SETFL, O_NONBLOCK);
        hold_ = o.holdInput;
        pump(false);
    }

    ~Child()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int fd : {in_, out_, err_})
            if (fd >= 0)
                ::close(fd);
    }

    pid_t pid() const { return pid_; }

    // Waits until the program has its own handler for `signal` in place.
    void waitForHandler(int signal)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < until) {
            std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
            std::string line;
            while (std::getline(status, line))
                if (line.rfind("SigCgt:", 0) == 0 && (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1)
                    return;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ADD_FAILURE() << "the program never caught signal " << signal;
    }

    // Waits until the program has filled the pipe of its standard output
    // (it cannot go on before someone reads) or has ended.
    void waitForFullOutput()
    {
        const int size = ::fcntl(out_, F_GETPIPE_SZ);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (std::chrono::steady_clock::now() < until) {
            int queued = 0;
            ::ioctl(out_, FIONREAD, &queued);
            siginfo_t ended = {};
            if (queued >= size || (::waitid(P_PID, id_t(pid_), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == pid_))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ADD_FAILURE() << "the program's output never filled its pipe";
    }

    Ran finish()
    {
        hold_ = false;
        pump(true);
        Ran r;
        r.out = std::move(out__);
        r.err = std::move(err__);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        if (WIFEXITED(status))
            r.status = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            r.signal = WTERMSIG(status);
        return r;
    }

private:
    // Feeds standard input and reads both outputs; with `toTheEnd` until
    // the program has closed both, else only what is there now.
    void pump(bool toTheEnd)
    {
        for (;;) {
            if (in_ >= 0 && written_ == input_.size() && !hold_) {
                ::close(in_);
                in_ = -1;
            }
            std::vector<pollfd> fds;
            if (in_ >= 0 && written_ < input_.size())
                fds.push_back({in_, POLLOUT, 0});
            for (int fd : {out_, err_})
                if (fd >= 0)
                    fds.push_back({fd, POLLIN, 0});
            if (fds.empty() || ::poll(fds.data(), fds.size(), toTheEnd ? 60000 : 0) <= 0)
                return;
            for (const pollfd& p : fds) {
                if (p.revents == 0)
                    continue;
                if (p.fd == in_) {
                    const ssize_t n = ::write(in_, input_.data() + written_, input_.size() - written_);
                    if (n > 0)
                        written_ += size_t(n);
                    else if (errno != EAGAIN)
                        written_ = input_.size();  // the program closed it
                    continue;
                }
                char buf[65536];
                const ssize_t n = ::read(p.fd, buf, sizeof buf);
                if (n > 0) {
                    (p.fd == out_ ? out__ : err__).append(buf, size_t(n));
                } else if (n == 0 || errno != EINTR) {
                    ::close(p.fd);
                    (p.fd == out_ ? out_ : err_) = -1;
                }
            }
        }
    }

    pid_t pid_ = -1;
    int in_ = -1, out_ = -1, err_ = -1;
    bool hold_ = false;
    std::string input_;
    size_t written_ = 0;
    std::string out__, err__;
};

Ran tool(const fs::path& cwd, const std::vector<std::string>& args, const std::string& input = {},
         const std::string& stdoutFile = {}, rlim_t fileSizeLimit = RLIM_INFINITY)
{
    Child::Options o;
    o.input = input;
    o.stdoutFile = stdoutFile;
    o.fileSizeLimit = fileSizeLimit;
    return Child(cwd, args, o).finish();
}

std::string text(ByteView b)
{
    return std::string(b.begin(), b.end());
}

std::string commandLine(const std::vector<std::string>& args)
{
    std::string line;
    for (const std::string& a : args)
        line += a + " ";
    return line;
}

const std::string kTry = "Try 'knobwright-files --help'.\n";

// A library folder of files as a user meets them: sound ones and damaged ones.
struct Shelf {
    kwtest::TempDir dir;
    PerformanceRecord drums = kwtest::makeRecord(0, 0, "DrumTrx2");
    PerformanceRecord panSeq = kwtest::makeRecord(5, 22, "Pan Seq ");
    PerformanceRecord lead = kwtest::makeRecord(60, 1, "Lead");
    PerformanceRecord pad = kwtest::makeRecord(60, 3, "Pad");

    Shelf()
    {
        EXPECT_FALSE(writePerformanceFile(dir / "sound.SYX", panSeq));
        EXPECT_FALSE(writeBankFile(dir / "bank.PFB", std::vector{drums, panSeq}));
        EXPECT_FALSE(writeBankFile(dir / "one.PFB", std::vector{drums}));
        // The first 317 bytes of a one-record bank, under either extension.
        const Bytes one = kwtest::readAll(dir / "one.PFB");
        kwtest::writeAll(dir / "cut.PFB", ByteView(one).first(317));
        kwtest::writeAll(dir / "cut.SYX", ByteView(one).first(317));
        kwtest::writeAll(dir / "aaa.SYX", kwtest::view(std::string(317, 'a')));
        PerformanceRecord flipped = panSeq;
        flipped[107] ^= 0x01;  // the checksum of message 3
        EXPECT_FALSE(writePerformanceFile(dir / "checksum.SYX", flipped));
        EXPECT_FALSE(writeBankFile(dir / "damaged.PFB", std::vector{drums, flipped}));
        EXPECT_FALSE(writeBankFile(dir / "twice.PFB", std::vector{lead, drums, pad}));
    }
};

std::string aaaFaults()
{
    std::string s;
    for (int m = 1; m <= 7; ++m)
        s += (m > 1 ? "; " : "") + std::string("bad framing in message ") + std::to_string(m)
             + "; bad checksum in message " + std::to_string(m);
    return s;
}

} // namespace

TEST(FilesCli, EveryCommandGivesAFileOneVerdictAndPackRefusesDamageUnlessForced)
{
    Shelf shelf;
    const std::string cutBank = "damaged bank: it ends 303 bytes into a record\n";
    const std::string aaa = "not a whole performance file: " + aaaFaults() + "\n";
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string out, err;
        std::vector<PerformanceRecord> packed;  // what out.PFB then holds; none: not written
    };
    const std::vector<Row> rows = {
        // A cut bank is a damaged bank for every command, whatever its name.
        {{"info", "cut.PFB", "cut.SYX"}, 2, "",
         "knobwright-files: cut.PFB: " + cutBank + "knobwright-files: cut.SYX: " + cutBank, {}},
        {{"extract", "cut.PFB", "1", "x.SYX"}, 2, "", "knobwright-files: cut.PFB: " + cutBank, {}},
        {{"unpack", "cut.SYX", "dir"}, 2, "", "knobwright-files: cut.SYX: " + cutBank, {}},
        {{"renumber", "cut.SYX", "1", "x.SYX"}, 2, "", "knobwright-files: cut.SYX: " + cutBank, {}},
        {{"pack", "out.PFB", "sound.SYX", "cut.SYX"}, 2, "", "knobwright-files: cut.SYX: " + cutBank, {}},
        // 317 bytes that are no seven messages: flagged, and packed only by force.
        {{"info", "aaa.SYX"}, 1, "aaa.SYX: not a whole performance file\n098  ?? aaaaaaaa  " + aaaFaults() + "\n", "",
         {}},
        {{"pack", "out.PFB", "sound.SYX", "aaa.SYX"}, 2, "",
         "knobwright-files: aaa.SYX: " + aaa
             + "knobwright-files: out.PFB: not written: 1 damaged record (--force packs them anyway)\n",
         {}},
        {{"pack", "--force", "out.PFB", "sound.SYX", "aaa.SYX"}, 0, "", "knobwright-files: aaa.SYX: " + aaa,
         {shelf.panSeq, *PerformanceRecord::fromBytes(kwtest::view(std::string(317, 'a')))}},
        {{"renumber", "aaa.SYX", "1", "x.SYX"}, 2, "",
         "knobwright-files: aaa.SYX: " + aaa.substr(0, aaa.size() - 1) + " (--force renumbers it anyway)\n", {}},
        // Whole, but a checksum does not match: flagged per record.
        {{"info", "checksum.SYX", "damaged.PFB"}, 1,
         "checksum.SYX: performance file\n006  SQ Pan Seq  bad checksum in message 3\n"
         "damaged.PFB: performance bank, 2 records\n001  --   DrumTrx2\n006  SQ Pan Seq  bad checksum in message 3\n",
         "", {}},
        {{"pack", "out.PFB", "damaged.PFB", "checksum.SYX"}, 2, "",
         "knobwright-files: damaged.PFB: record 6 (SQ Pan Seq): bad checksum in message 3\n"
         "knobwright-files: checksum.SYX: damaged performance: bad checksum in message 3\n"
         "knobwright-files: out.PFB: not written: 2 damaged records (--force packs them anyway)\n",
         {}},
        // A number twice in one bank is no damage, but said.
        {{"info", "twice.PFB", "one.PFB"}, 0,
         "twice.PFB: performance bank, 3 records\n061  PF Lead\n001  --   DrumTrx2\n061  OR Pad\n"
         "record 61 appears twice; the later one wins\none.PFB: performance bank, 1 record\n001  --   DrumTrx2\n",
         "", {}},
        {{"pack", "out.PFB", "twice.PFB"}, 0, "", "knobwright-files: twice.PFB: record 61 appears twice; the later one wins\n",
         {shelf.drums, shelf.pad}},
        // A file of the wrong kind for the command.
        {{"extract", "sound.SYX", "6", "x.SYX"}, 2, "",
         "knobwright-files: sound.SYX: not a performance bank (a performance file)\n", {}},
        {{"renumber", "bank.PFB", "6", "x.SYX"}, 2, "",
         "knobwright-files: bank.PFB: not a performance file (a performance bank)\n", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(commandLine(row.args));
        const Ran r = tool(shelf.dir.path(), row.args);
        EXPECT_EQ(r.status, row.status) << describe(r);
        EXPECT_EQ(r.out, row.out);
        EXPECT_EQ(r.err, row.err);
        if (row.packed.empty()) {
            EXPECT_FALSE(fs::exists(shelf.dir / "out.PFB"));
        } else {
            EXPECT_EQ(kwtest::readAll(shelf.dir / "out.PFB"), bankBytes(row.packed));
            fs::remove(shelf.dir / "out.PFB");
        }
        EXPECT_FALSE(fs::exists(shelf.dir / "x.SYX"));
        EXPECT_FALSE(fs::exists(shelf.dir / "dir"));
    }
}

TEST(FilesCli, ABankOfMoreRecordsThanAnyReaderTakesIsRefusedAsSuch)
{
    Shelf shelf;
    Bytes huge = bankBytes(std::vector{shelf.drums});
    huge.reserve(14 + 65537 * 317);
    for (int i = 1; i < 65537; ++i)
        huge.insert(huge.end(), shelf.drums.bytes().begin(), shelf.drums.bytes().end());
    kwtest::writeAll(shelf.dir / "huge.PFB", huge);
    const std::string refused = "too many records (65,536 at most)\n";
    for (const auto& args : std::vector<std::vector<std::string>>{{"info", "huge.PFB"}, {"pack", "out.PFB", "huge.PFB"}}) {
        const Ran r = tool(shelf.dir.path(), args);
        EXPECT_EQ(r.status, 2) << describe(r);
        EXPECT_EQ(r.err, "knobwright-files: huge.PFB: " + refused);
    }
    // Through standard input, where the size is known only at the end.
    const Ran r = tool(shelf.dir.path(), {"info", "-"}, text(huge));
    EXPECT_EQ(r.err, "knobwright-files: standard input: " + refused) << describe(r);
    EXPECT_FALSE(fs::exists(shelf.dir / "out.PFB"));
}

TEST(FilesCli, OutputsGoThroughLinksIntoFilesOnlyAndKeepTheirPermissions)
{
    Shelf shelf;
    const fs::path d = shelf.dir.path();
    const std::string packed = text(bankBytes(std::vector{shelf.panSeq}));
    fs::create_directory(d / "folder");
    ASSERT_EQ(::mkfifo((d / "fifo").c_str(), 0644), 0);
    // A character device of its own, where this user may make one; else the
    // system's (which a user who cannot make devices cannot replace either).
    const bool ownDevice = ::mknod((d / "device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    const std::string device = ownDevice ? "device" : "/dev/null";
    kwtest::writeAll(d / "private.PFB", kwtest::view("old"));
    fs::permissions(d / "private.PFB", fs::perms::owner_read | fs::perms::owner_write);
    kwtest::writeAll(d / "real.PFB", kwtest::view("old"));
    fs::create_symlink("real.PFB", d / "link.PFB");
    fs::create_symlink("made.PFB", d / "dangling.PFB");
    fs::create_symlink("fifo", d / "to-fifo.PFB");
    fs::create_symlink("loop.PFB", d / "loop.PFB");

    struct Row {
        std::string out;
        std::string error;     // the reason it is refused; empty: written
        std::string receives;  // the file that gets the bank
    };
    const std::vector<Row> rows = {
        {"private.PFB", "", "private.PFB"}, {"link.PFB", "", "real.PFB"},          {"dangling.PFB", "", "made.PFB"},
        {"fifo", "Not a regular file", ""}, {"to-fifo.PFB", "Not a regular file", ""}, {device, "Not a regular file", ""},
        {"folder", "Is a directory", ""},   {"loop.PFB", "Too many levels of symbolic links", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.out);
        const Ran r = tool(d, {"pack", row.out, "sound.SYX"});
        if (row.error.empty()) {
            EXPECT_EQ(r.status, 0) << describe(r);
            EXPECT_EQ(text(kwtest::readAll(d / row.receives)), packed);
        } else {
            EXPECT_EQ(r.status, 2) << describe(r);
            EXPECT_EQ(r.err, "knobwright-files: " + row.out + ": cannot write: " + row.error + "\n");
        }
    }
    EXPECT_EQ(fs::status(d / "private.PFB").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    for (const char* link : {"link.PFB", "dangling.PFB", "to-fifo.PFB", "loop.PFB"})
        EXPECT_TRUE(fs::is_symlink(d / link)) << link;
    EXPECT_TRUE(fs::is_fifo(d / "fifo"));
    EXPECT_TRUE(fs::is_directory(d / "folder"));
    if (ownDevice) {
        EXPECT_TRUE(fs::is_character_file(d / "device"));
    }
    std::vector<std::string> expected = {"aaa.SYX", "bank.PFB", "checksum.SYX", "cut.PFB", "cut.SYX", "damaged.PFB",
                                         "dangling.PFB", "fifo", "folder", "link.PFB", "loop.PFB", "made.PFB", "one.PFB",
                                         "private.PFB", "real.PFB", "sound.SYX", "to-fifo.PFB", "twice.PFB"};
    if (ownDevice)
        expected.push_back("device");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(shelf.dir.names(), expected) << "nothing else, no temporary file left";
}

TEST(FilesCli, StandardInputAndOutputByDashAndAFailingOutputIsAnError)
{
    Shelf shelf;
    const fs::path d = shelf.dir.path();
    const std::string perf = text(kwtest::readAll(d / "sound.SYX"));
    const std::string bank = text(kwtest::readAll(d / "bank.PFB"));
    struct Row {
        std::vector<std::string> args;
        std::string input, stdoutFile;
        int status;
        std::string out, err;
    };
    const std::string full = "knobwright-files: standard output: cannot write: No space left on device\n";
    const std::vector<Row> rows = {
        {{"info", "-"}, perf, "", 0, "standard input: performance file\n006  SQ Pan Seq\n", ""},
        {{"pack", "-", "bank.PFB", "-"}, perf, "", 0, bank, ""},
        {{"extract", "-", "1", "-"}, bank, "", 0, text(shelf.drums.bytes()), ""},
        {{"renumber", "--", "-", "1", "-"}, perf, "", 0, text(kwtest::makeRecord(0, 22, "Pan Seq").bytes()), ""},
        {{"pack", "out.PFB", "-", "-"}, perf, "", 2, "",
         "knobwright-files: standard input: cannot read: standard input was read already\n"},
        {{"info", "-"}, "Knobwright PF", "", 2, "",
         "knobwright-files: standard input: not a performance file or bank (13 bytes)\n"},
        {{"info", "bank.PFB"}, "", "/dev/full", 2, "", full},
        {{"pack", "-", "sound.SYX"}, "", "/dev/full", 2, "", full},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(commandLine(row.args));
        const Ran r = tool(d, row.args, row.input, row.stdoutFile);
        EXPECT_EQ(r.status, row.status) << describe(r);
        EXPECT_EQ(r.out, row.out);
        EXPECT_EQ(r.err, row.err);
    }
    EXPECT_FALSE(fs::exists(d / "out.PFB"));
}

TEST(FilesCli, AWriteBeyondTheFileSizeLimitIsReportedAndLeavesTheTargetAsItWas)
{
    Shelf shelf;
    const fs::path d = shelf.dir.path();
    std::vector<PerformanceRecord> many;
    for (int i = 0; i < 40; ++i)
        many.push_back(kwtest::makeRecord(i, 1, "R" + std::to_string(i)));
    ASSERT_FALSE(writeBankFile(d / "many.PFB", many));
    kwtest::writeAll(d / "old.PFB", kwtest::view("old"));
    fs::create_directory(d / "dir");
    const auto before = shelf.dir.names();
    struct Row {
        std::vector<std::string> args;
        std::string stdoutFile;
        std::string err;
    };
    const std::vector<Row> rows = {
        {{"pack", "old.PFB", "many.PFB"}, "", "knobwright-files: old.PFB: cannot write: File too large\n"},
        {{"unpack", "many.PFB", "dir"}, "", "knobwright-files: dir/PF_R0.SYX: cannot write: File too large\n"},
        {{"pack", "-", "many.PFB"}, (d / "dir" / "stdout").string(),
         "knobwright-files: standard output: cannot write: File too large\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[0]);
        const Ran r = tool(d, row.args, "", row.stdoutFile, 300);
        EXPECT_EQ(r.status, 2) << describe(r);
        EXPECT_EQ(r.err, row.err);
        fs::remove(d / "dir" / "stdout");
    }
    EXPECT_EQ(text(kwtest::readAll(d / "old.PFB")), "old");
    EXPECT_EQ(shelf.dir.names(), before);
    EXPECT_TRUE(fs::is_empty(d / "dir"));
}

TEST(FilesCli, AStopSignalWhileWaitingForInputLeavesTheTargetAsItWas)
{
    Shelf shelf;
    const fs::path d = shelf.dir.path();
    kwtest::writeAll(d / "old.PFB", kwtest::view("old"));
    const auto before = shelf.dir.names();
    for (const auto& [signal, name] :
         std::vector<std::pair<int, std::string>>{{SIGINT, "Interrupt"}, {SIGTERM, "Terminated"}, {SIGHUP, "Hangup"}}) {
        SCOPED_TRACE(name);
        Child::Options held;
        held.holdInput = true;
        Child child(d, {"pack", "old.PFB", "bank.PFB", "-"}, held);
        child.waitForHandler(signal);
        ::kill(child.pid(), signal);
        const Ran r = child.finish();
        EXPECT_EQ(r.status, 2) << describe(r);
        EXPECT_EQ(r.err, "knobwright-files: old.PFB: not written: " + name + "\n");
        EXPECT_EQ(text(kwtest::readAll(d / "old.PFB")), "old");
        EXPECT_EQ(shelf.dir.names(), before);
    }
}

TEST(FilesCli, AStopSignalDuringUnpackLeavesOnlyWholeFiles)
{
    Shelf shelf;
    const fs::path d = shelf.dir.path();
    // Far more file names than the output pipe holds (a long folder name
    // makes every line long): the program waits for a reader in the middle
    // of its work, and is stopped there.
    const std::vector<PerformanceRecord> same(2000, kwtest::makeRecord(3, 4, "Same"));
    ASSERT_FALSE(writeBankFile(d / "same.PFB", same));
    const std::string dir(200, 'd');
    Child child(d, {"unpack", "same.PFB", dir}, {});
    child.waitForHandler(SIGTERM);
    child.waitForFullOutput();
    ::kill(child.pid(), SIGTERM);
    const Ran r = child.finish();
    EXPECT_EQ(r.status, 2) << describe(r);
    EXPECT_TRUE(r.err.starts_with("knobwright-files: " + dir + ": stopped after ")) << r.err;
    EXPECT_TRUE(r.err.ends_with(" of 2,000 files: Terminated\n")) << r.err;
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(d / dir)) {
        EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
        EXPECT_EQ(kwtest::readAll(e.path()), Bytes(same[0].bytes().begin(), same[0].bytes().end())) << e.path();
        ++files;
    }
    EXPECT_GT(files, 0u);
    EXPECT_LT(files, same.size());
}

TEST(FilesCli, MessagesSayWhatIsMissingAndOptionsWorkAnywhereBeforeTheirEnd)
{
    Shelf shelf;
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    };
    const std::vector<Row> rows = {
        {{}, 2, "", "knobwright-files: no command given\n" + kTry},
        {{"pack"}, 2, "", "knobwright-files: pack: no output file\n" + kTry},
        {{"pack", "out.PFB"}, 2, "", "knobwright-files: pack: no input files\n" + kTry},
        {{"info"}, 2, "", "knobwright-files: info: no input files\n" + kTry},
        {{"extract", "bank.PFB"}, 2, "", "knobwright-files: extract: no performance number\n" + kTry},
        {{"renumber", "sound.SYX", "1"}, 2, "", "knobwright-files: renumber: no output file\n" + kTry},
        {{"unpack", "bank.PFB"}, 2, "", "knobwright-files: unpack: no output folder\n" + kTry},
        {{"unpack", "bank.PFB", "dir", "more"}, 2, "", "knobwright-files: unpack: unexpected argument 'more'\n" + kTry},
        {{"extract", "bank.PFB", "129", "x.SYX"}, 2, "",
         "knobwright-files: extract: N must be a user-performance number 1..128, not '129'\n" + kTry},
        {{"info", "-x", "bank.PFB"}, 2, "", "knobwright-files: unknown option '-x'\n" + kTry},
        {{"list"}, 2, "", "knobwright-files: unknown command 'list'\n" + kTry},
        {{"info", "--", "--help"}, 2, "", "knobwright-files: --help: cannot read: No such file or directory\n"},
        {{"info", "."}, 2, "", "knobwright-files: .: cannot read: Is a directory\n"},
        {{"info", "missing.PFB", "one.PFB"}, 2, "one.PFB: performance bank, 1 record\n001  --   DrumTrx2\n",
         "knobwright-files: missing.PFB: cannot read: No such file or directory\n"},
        {{"unpack", "bank.PFB", "sound.SYX/dir"}, 2, "", "knobwright-files: sound.SYX/dir: cannot write: Not a directory\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(commandLine(row.args));
        const Ran r = tool(shelf.dir.path(), row.args);
        EXPECT_EQ(r.status, row.status) << describe(r);
        EXPECT_EQ(r.out, row.out);
        EXPECT_EQ(r.err, row.err);
    }
    for (const auto& args : std::vector<std::vector<std::string>>{{"info", "--help"}, {"--help"}, {"pack", "-h", "x"}}) {
        const Ran r = tool(shelf.dir.path(), args);
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(r.out.starts_with("Usage: knobwright-files [OPTION]... COMMAND ARGUMENT...\n")) << r.out;
        EXPECT_EQ(r.err, "");
    }
    const Ran version = tool(shelf.dir.path(), {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("knobwright-files ") && version.out.ends_with("\n")) << version.out;
    EXPECT_GT(version.out.size(), std::string("knobwright-files \n").size());
}

TEST(FilesCli, UnpackKeepsNamesApartThatACaseBlindDiskTakesForOne)
{
    Shelf shelf;
    // Names as stored, in Windows-1252: é and É, œ and Œ, š and Š, ÿ and Ÿ.
    // Bytes above 127 are damage in a performance, but other programs write
    // them and unpack keeps what it is given.
    const std::vector<std::string> stored = {"A\xE9", "A\xC9", "\x9C" "uvre", "\x8C" "UVRE", "\x9A\xFF",
                                             "\x8A\x9F", "Same", "SAME", "Same (2)"};
    std::vector<PerformanceRecord> records;
    std::string warnings;
    for (const std::string& name : stored) {
        PerformanceRecord r = kwtest::makeRecord(0, 1, "");
        for (size_t i = 0; i < 8; ++i)
            r[9 + i] = i < name.size() ? uint8_t(name[i]) : ' ';
        r.setNumber(int(records.size()), Checksums::Recompute);
        if (std::any_of(name.begin(), name.end(), [](char c) { return uint8_t(c) > 127; }))
            warnings += "knobwright-files: names.PFB: record " + std::to_string(records.size() + 1) + " (PF "
                        + cp1252ToUtf8(name) + "): bad data byte in message 1; written as it is\n";
        records.push_back(r);
    }
    ASSERT_FALSE(writeBankFile(shelf.dir / "names.PFB", records));
    const Ran r = tool(shelf.dir.path(), {"unpack", "names.PFB", "out"});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_EQ(r.err, warnings);
    const std::vector<std::string> names = {
        "PF_A\u00E9.SYX",        "PF_A\u00C9 (2).SYX",     "PF_\u0153uvre.SYX", "PF_\u0152UVRE (2).SYX",
        "PF_\u0161\u00FF.SYX",   "PF_\u0160\u0178 (2).SYX", "PF_Same.SYX",       "PF_SAME (2).SYX",
        "PF_Same (2) (2).SYX",
    };
    std::string listed;
    for (size_t i = 0; i < names.size(); ++i) {
        listed += "out/" + names[i] + "\n";
        EXPECT_EQ(kwtest::readAll(shelf.dir / "out" / names[i]), Bytes(records[i].bytes().begin(), records[i].bytes().end()))
            << names[i];
    }
    EXPECT_EQ(r.out, listed);
}
