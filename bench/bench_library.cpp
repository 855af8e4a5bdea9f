// The performance library's costs against 100,000 generated performances,
// each seen in a file of its own: opening it, a search as one types (every
// keystroke: match, count, and the first 200 rows read for the table,
// as the library window asks; and a keystroke after the user rated a row), the
// first search that builds the search index, the index's memory, "Find
// similar" (the nearest 50 to a performance), the file's
// size per performance; and importing .SYX files, 2,000 and 8,000 of them,
// per file and how that grows; the peak memory of the files tool importing a
// 20 MB file of nothing but empty SysEx messages. Files and libraries go to a memory file
// system where there is one (/dev/shm), so the figures are the program's and
// not the disk's.
//
//   bench_library [--performances N] [--rounds N] [--dir FOLDER] [--json FILE] [--quiet]

#include "BenchKit.h"
#include "files/FileCheck.h"
#include "files/PerformanceFile.h"
#include "LibraryFill.h"
#include "store/Import.h"
#include "store/Store.h"
#include "support/RandomRecords.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// What the library window reads per keystroke: the table's first page.
constexpr size_t kFirstPage = 200;

namespace {

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "bench_library: %s\n", what.c_str());
    std::exit(1);
}

std::unique_ptr<kw::Store> open(const fs::path& path)
{
    auto s = kw::Store::open(path);
    if (!s)
        fail("cannot open " + path.string() + ": " + s.error().text);
    return std::move(*s);
}

} // namespace

// The peak memory of `knobwright-files library import` of a 20 MB file of
// F0 F7 pairs, as a multiple of the file's size: a reader that allocated a
// buffer per message once took 35 times the file for "0 performances".
double emptySysexPeak(const fs::path& dir)
{
    const fs::path file = dir / "empty.SYX";
    std::string pairs(20'000'000, '\xF0');
    for (size_t i = 1; i < pairs.size(); i += 2)
        pairs[i] = '\xF7';
    std::ofstream(file, std::ios::binary) << pairs;
    const std::string library = (dir / "empty-import.sqlite").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execl(KW_FILES_TOOL, "knobwright-files", "--library", library.c_str(), "library", "import", file.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_library: the import of empty SysEx failed\n");
        std::exit(1);
    }
    fs::remove(file);
    fs::remove(library);
    return double(usage.ru_maxrss) * 1024 / double(pairs.size());
}

int main(int argc, char** argv)
{
    const int performances = kwbench::intArg(argc, argv, "--performances", 100000);
    const int rounds = kwbench::intArg(argc, argv, "--rounds", 5);
    const char* dirArg = kwbench::stringArg(argc, argv, "--dir");
    std::error_code ec;
    const fs::path base = dirArg ? fs::path(dirArg)
                          : fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm")
                                                             : fs::temp_directory_path();
    const fs::path dir = base / ("kw-bench-library-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path library = dir / "library.sqlite";
    const std::string many = kw::groupedNumber(uint64_t(performances));

    const auto fillStart = Clock::now();
    kwbench::fill(library, performances);
    const double fillMs = msSince(fillStart);
    const double bytesPer = double(fs::file_size(library)) / performances;

    std::vector<double> opens, builds, typing, afterEdit, indexMb;
    size_t slow = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto openStart = Clock::now();
        auto store = open(library);
        opens.push_back(msSince(openStart));
        const long before = kwbench::privateDirtyKb();
        const auto buildStart = Clock::now();
        if (!store->search("", {}, 0, 50))
            fail("search failed");
        builds.push_back(msSince(buildStart));
        indexMb.push_back(double(kwbench::privateDirtyKb() - before) / 1024);
        for (const std::string& text : kwbench::keystrokes()) {
            const auto start = Clock::now();
            auto page = store->search(text, {}, 0, kFirstPage);
            typing.push_back(msSince(start));
            if (!page)
                fail("search failed: " + page.error().text);
            slow += typing.back() > 16;
        }
        // The user rates the first row shown, then types on: the index takes
        // the change in, and the rows are read again.
        int n = 0;
        for (const std::string& text : kwbench::keystrokes()) {
            auto shown = store->search(text, {}, 0, 1);
            if (!shown)
                fail("search failed: " + shown.error().text);
            if (!shown->rows.empty()) {
                kw::RowEdit rate;
                rate.rating = ++n % 6;
                if (store->edit(std::vector<int64_t>{shown->rows[0].id}, rate))
                    fail("cannot edit");
            }
            const auto start = Clock::now();
            if (!store->search(text + "e", {}, 0, kFirstPage))
                fail("search failed");
            afterEdit.push_back(msSince(start));
        }
    }

    // "Find similar": the first question reads every entry's data, the
    // next ones rank the library from memory.
    std::vector<double> similarFirst, similar, similarMb;
    for (int round = 0; round < rounds; ++round) {
        auto store = open(library);
        auto ids = store->match("", {});
        if (!ids || ids->empty())
            fail("no entries to rank");
        std::mt19937 pick(unsigned(round) + 3);
        const long before = kwbench::privateDirtyKb();
        for (int q = 0; q < 21; ++q) {
            const int64_t id = (*ids)[pick() % ids->size()];
            auto data = store->data(id);
            if (!data)
                fail("cannot read an entry: " + data.error().text);
            const auto start = Clock::now();
            auto near = store->nearest(*data, 50, id);
            (q == 0 ? similarFirst : similar).push_back(msSince(start));
            if (!near || near->size() != 50)
                fail("find similar failed");
            if (q == 0)
                similarMb.push_back(double(kwbench::privateDirtyKb() - before) / 1024);
        }
    }

    // Imports of one performance a file, into an empty library each time.
    const std::vector<size_t> sizes = {2000, 8000};
    std::vector<std::vector<double>> perFile(sizes.size());
    double importBytesPer = 0;
    std::mt19937 rng(19);
    for (size_t s = 0; s < sizes.size(); ++s) {
        const fs::path files = dir / ("files-" + std::to_string(sizes[s]));
        fs::create_directories(files);
        for (size_t i = 0; i < sizes[s]; ++i)
            if (kw::writePerformanceFile(files / ("PF_File " + std::to_string(i) + ".SYX"), kwtest::randomRecord(rng, 5)))
                fail("cannot write the files to import");
        for (int round = 0; round < rounds; ++round) {
            const fs::path target = dir / "import.sqlite";
            for (const char* suffix : {"", "-wal", "-shm"})
                fs::remove(target.string() + suffix, ec);
            auto store = open(target);
            const auto start = Clock::now();
            const kw::ImportResult r = kw::importPaths(*store, std::vector{files});
            perFile[s].push_back(msSince(start) / double(sizes[s]));
            if (r.fresh != sizes[s])
                fail("import: " + r.outcome());
            store.reset();
            importBytesPer = double(fs::file_size(target)) / double(sizes[s]);
        }
    }
    std::vector<double> emptyPeaks;
    for (int r = 0; r < rounds; ++r)
        emptyPeaks.push_back(emptySysexPeak(dir));
    fs::remove_all(dir);

    using kwbench::Row;
    using kwbench::stats;
    const std::string where = "in " + base.string();
    std::vector<Row> rows;
    rows.push_back(Row{"library open, " + many + " performances", "ms", stats(opens), 20, false, "the search index is not built yet"});
    rows.push_back(Row{"search keystroke, " + many, "ms", stats(typing), 16, false,
                       std::to_string(slow) + " of " + std::to_string(typing.size()) + " over 16 ms; match, count, " + std::to_string(kFirstPage) + " rows"});
    rows.push_back(Row{"search keystroke after an edit, " + many, "ms", stats(afterEdit), 16, false,
                       "one row rated, then a letter more"});
    rows.push_back(Row{"first search (index built), " + many, "ms", stats(builds), std::nullopt, false, "once per open"});
    rows.push_back(Row{"search index memory, " + many, "MB", stats(indexMb), std::nullopt, false, "Private_Dirty growth"});
    rows.push_back(Row{"find similar, " + many, "ms", stats(similar), 100, false,
                       "the nearest 50 of every performance; the first after opening " + kwbench::number(stats(similarFirst).median)
                           + " ms (reads the data), " + kwbench::number(stats(similarMb).median) + " MB"});
    rows.push_back(Row{"library size per performance", "bytes", stats({bytesPer}), 1024, false,
                       "one file each; filled in " + kwbench::number(fillMs / 1000) + " s"});
    for (size_t s = 0; s < sizes.size(); ++s)
        rows.push_back(Row{"import, " + kw::groupedNumber(sizes[s]) + " .SYX files", "ms/file", stats(perFile[s]),
                           0.5, false, kwbench::number(1000 / stats(perFile[s]).median) + " files/s (goal 2,000); " + where});
    std::vector<double> growth;
    for (int r = 0; r < rounds; ++r)
        growth.push_back(perFile.back()[size_t(r)] / perFile.front()[size_t(r)]);
    rows.push_back(Row{"import per file, 8,000 vs 2,000", "x", stats(growth), 1.5, false, "1 is linear"});
    rows.push_back(Row{"library size per imported file", "bytes", stats({importBytesPer}), 1024, false,
                       "performance, file source and sighting"});
    rows.push_back(Row{"import of 20 MB of empty SysEx, peak", "x file", stats(emptyPeaks), 5, false,
                       "knobwright-files' peak resident memory; 0 performances"});
    return kwbench::report(argc, argv, "bench_library", rows);
}
