#pragma once
// What the library's tests share: a private folder, a library in it, raw
// SQLite for making files the program did not write, and the files tool run
// as a child process.

#include "files/FilesFixture.h"
#include "store/Store.h"
#include "support/RandomRecords.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kwtest {

inline std::unique_ptr<kw::Store> openStore(const fs::path& path, kw::Store::Options options = {})
{
    auto s = kw::Store::open(path, std::move(options));
    if (!s) {
        ADD_FAILURE() << "cannot open " << path << ": " << s.error().text;
        return nullptr;
    }
    return std::move(*s);
}

// Runs `sql` on the file with SQLite itself; answers the first column of
// the last row (empty when none).
inline std::string rawSql(const fs::path& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    std::string last;
    if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
        sqlite3_exec(
            db, sql.c_str(),
            [](void* out, int, char** values, char**) {
                *static_cast<std::string*>(out) = values[0] ? values[0] : "";
                return 0;
            },
            &last, nullptr);
    }
    sqlite3_close(db);
    return last;
}

// The seven messages of each record back to back: a SysEx file of several
// performances, as other librarians write them.
inline kw::Bytes sysexStream(const std::vector<kw::PerformanceRecord>& records)
{
    kw::Bytes out;
    for (const auto& r : records)
        out.insert(out.end(), r.bytes().begin(), r.bytes().end());
    return out;
}

inline kw::Bytes bytesOf(const kw::PerformanceRecord& r)
{
    return kw::Bytes(r.bytes().begin(), r.bytes().end());
}

inline kw::Bytes bytesOf(const std::string& text)
{
    return kw::Bytes(text.begin(), text.end());
}

struct Ran {
    int status = -1;  // the exit status; -1 when a signal ended it
    std::string out, err;
};

inline std::string describe(const Ran& r)
{
    return "status " + std::to_string(r.status) + "\nstdout: " + r.out.substr(0, 3000) + "\nstderr: " + r.err.substr(0, 3000);
}

// knobwright-files started in `cwd` with `args`; its outputs go to files
// in `cwd`, so a child that is killed leaves what it wrote.
// With `asOtherUser`, a program run as root runs the tool as user nobody,
// for whom the test's folders can be made unwritable.
inline pid_t startTool(const fs::path& cwd, const std::vector<std::string>& args, bool asOtherUser = false)
{
    std::vector<std::string> all = {KW_FILES_TOOL};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string dir = cwd.string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open((dir + "/.stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open((dir + "/.stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || ::chdir(dir.c_str()) != 0)
            ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (asOtherUser && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

inline Ran finishTool(const fs::path& cwd, pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    Ran r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const kw::Bytes out = readAll(cwd / ".stdout"), err = readAll(cwd / ".stderr");
    r.out.assign(out.begin(), out.end());
    r.err.assign(err.begin(), err.end());
    fs::remove(cwd / ".stdout");
    fs::remove(cwd / ".stderr");
    return r;
}

inline Ran runTool(const fs::path& cwd, const std::vector<std::string>& args)
{
    return finishTool(cwd, startTool(cwd, args));
}

// Every file the library names as a source (`expected` tells what each
// holds) has its performance there, and the library holds nothing else:
// what an import leaves, however it ended.
inline void expectWholeFilesOnly(kw::Store& store, const fs::path& library,
                                 const std::map<std::string, kw::PerformanceRecord>& expected)
{
    EXPECT_EQ(*store.integrityCheck(), "ok");
    const std::string files = rawSql(library, "SELECT group_concat(text, '|') FROM sources WHERE kind = 1");
    size_t kept = 0;
    size_t pos = 0;
    while (!files.empty() && pos <= files.size()) {
        const size_t end = std::min(files.find('|', pos), files.size());
        const std::string file = files.substr(pos, end - pos);
        pos = end + 1;
        const auto it = expected.find(file);
        ASSERT_NE(it, expected.end()) << file;
        const auto id = store.find(kw::performanceData(it->second));
        ASSERT_TRUE(id && *id) << file << " is named, but its performance is not there";
        ++kept;
    }
    EXPECT_EQ(*store.count(), kept) << "a performance without the file it came from";
}

} // namespace kwtest
