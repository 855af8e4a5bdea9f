// knobwright-files unpack of banks whose records all share one name (every
// file but the first gets " (N)"), from 500 to 8,000 records: the whole
// command (read, judge, name, write each file, list it), and how the time of
// one record grows with the bank. Files go to a memory file system where
// there is one (/dev/shm), so the figures are the tool's and not the disk's.
// Beside them the floor: the same 8,000 files written bare, each as an
// unnamed file linked into place (no names made, no checks).
//
//   bench_files_tool [--rounds N] [--dir FOLDER] [--json FILE] [--quiet]

#include "BenchKit.h"
#include "files/BankFile.h"
#include "files/FileCheck.h"
#include "files/FilesTool.h"
#include "support/RandomRecords.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// `n` files of `record` written into `out` the way a save writes a new
// file, and nothing else; in ms.
double floorMs(const fs::path& out, const kw::PerformanceRecord& record, size_t n)
{
    fs::remove_all(out);
    fs::create_directories(out);
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < n; ++i) {
        const int fd = ::open(out.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        const std::string name = (out / ("f" + std::to_string(i))).string();
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (fd < 0 || ::write(fd, record.bytes().data(), record.bytes().size()) != ssize_t(record.bytes().size())
            || (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) != 0
                && ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0)) {
            std::fprintf(stderr, "bench_files_tool: cannot write %s\n", name.c_str());
            std::exit(1);
        }
        ::close(fd);
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = kwbench::intArg(argc, argv, "--rounds", 7);
    const char* dirArg = kwbench::stringArg(argc, argv, "--dir");
    std::error_code ec;
    const fs::path base = dirArg ? fs::path(dirArg)
                          : fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm")
                                                             : fs::temp_directory_path();
    const fs::path dir = base / ("kw-bench-files-" + std::to_string(::getpid()));
    fs::create_directories(dir);

    std::mt19937 rng(11);
    kw::PerformanceRecord same = kwtest::randomRecord(rng, 4);
    const std::vector<size_t> sizes = {500, 1000, 2000, 4000, 8000};
    std::vector<std::vector<double>> times(sizes.size());
    std::vector<double> floors;
    for (int round = 0; round < rounds; ++round) {
        floors.push_back(floorMs(dir / "floor", same, sizes.back()));
        for (size_t s = 0; s < sizes.size(); ++s) {
            const fs::path bank = dir / "same.PFB";
            const fs::path out = dir / "out";
            fs::remove_all(out);
            if (kw::writeBankFile(bank, std::vector<kw::PerformanceRecord>(sizes[s], same))) {
                std::fprintf(stderr, "bench_files_tool: cannot write %s\n", bank.c_str());
                return 1;
            }
            std::ostringstream listing, errors;
            const auto start = std::chrono::steady_clock::now();
            const int status = kw::runFilesTool({"unpack", bank.string(), out.string()}, listing, errors);
            times[s].push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            if (status != 0) {
                std::fprintf(stderr, "bench_files_tool: unpack failed: %s", errors.str().c_str());
                return 1;
            }
        }
    }
    fs::remove_all(dir);

    using kwbench::Row;
    using kwbench::stats;
    const std::string where = "in " + base.string();
    std::vector<Row> rows;
    for (size_t s = 0; s < sizes.size(); ++s) {
        const kwbench::Stats st = stats(times[s]);
        rows.push_back(Row{"unpack, " + kw::groupedNumber(sizes[s]) + " same-named records", "ms", st,
                           sizes[s] == 8000 ? std::optional<double>(300) : std::nullopt, false,
                           kwbench::number(st.median * 1000 / double(sizes[s])) + " us a record, " + where});
    }
    rows.push_back(Row{"floor: 8,000 files written bare", "ms", stats(floors), std::nullopt, false,
                       "unnamed file, write, link; " + where});
    // Linear: a record of the largest bank costs what one of the smallest does.
    std::vector<double> growth;
    for (int r = 0; r < rounds; ++r)
        growth.push_back((times.back()[size_t(r)] / 8000) / (times.front()[size_t(r)] / 500));
    rows.push_back(Row{"unpack per record, 8,000 vs 500", "x", stats(growth), 1.5, false,
                       "1 is linear, 16 quadratic"});
    return kwbench::report(argc, argv, "bench_files_tool", rows);
}
