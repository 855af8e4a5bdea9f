// The .PFB reader and what is done with a bank: its records placed into the
// bank manager's slots, written back, named as files, and the files tool's
// look at it and unpacking of it (every record, damaged ones said).

#include "FileNameRules.h"
#include "FuzzSupport.h"

#include "files/BankFile.h"
#include "files/FilePaths.h"
#include "files/FilesTool.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

using namespace kw;
namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ByteView bytes(data, size);
    const auto parsed = parseBank(bytes);
    const auto refused = checkBank(bytes.first(std::min(size, kBankMagicSize)), size);
    FUZZ_CHECK(bool(parsed) == !refused, "the bank check and the reader disagree");
    if (!parsed)
        return 0;
    const std::vector<PerformanceRecord> all = bankRecords(bytes);
    FUZZ_CHECK(all.size() == (size - kBankMagicSize) / PerformanceRecord::kSize, "records lost or made up");
    FUZZ_CHECK(parsed->records.size() + parsed->skipped.size() == all.size(), "a record neither kept nor reported");
    for (const PerformanceRecord& r : parsed->records)
        FUZZ_CHECK(r.numberInRange() >= 0, "a record kept whose number names no user performance");

    // Written back, the bank reads as the records it was made from.
    const auto again = parseBank(bankBytes(parsed->records));
    FUZZ_CHECK(again && again->skipped.empty() && again->records == parsed->records, "a bank did not read back");

    // Each slot holds the last record of its number (a lost opening F0 put back).
    BankSlots slots;
    placeRecords(slots, parsed->records);
    for (int n = 0; n < 128; ++n) {
        const auto last = std::find_if(parsed->records.rbegin(), parsed->records.rend(),
                                       [n](const PerformanceRecord& r) { return r.numberInRange() == n; });
        if (last == parsed->records.rend()) {
            FUZZ_CHECK(slots[size_t(n)] == PerformanceRecord(), "a slot filled without a record of its number");
            continue;
        }
        PerformanceRecord expected = *last;
        if (expected[0] == 0)
            expected[0] = 0xF0;
        FUZZ_CHECK(slots[size_t(n)] == expected, "a slot holds another record than the last of its number");
    }

    std::set<int> numbers;
    for (const PerformanceRecord& r : parsed->records)
        numbers.insert(r.numberInRange());
    FUZZ_CHECK(occupiedSlots(slots).size() == numbers.size(), "a record placed in a slot does not show there");

    // File names of one transfer: safe, and never two alike.
    DistinctNames names;
    std::set<std::string> folded;
    for (const PerformanceRecord& r : all) {
        const std::string name = names.claim(performanceFileName(r.category(), r.name()));
        kwfuzz::checkSafeName(name);
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        FUZZ_CHECK(folded.insert(lower).second, "two records of one transfer got the same file name");
    }

    kwfuzz::clearScratch();
    const fs::path bank = kwfuzz::scratchDir() / "in.PFB";
    std::ofstream(bank, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    std::ostringstream o, e;
    const int status = runFilesTool({"info", bank.string()}, o, e);
    FUZZ_CHECK(status == 0 || status == 1, "the files tool could not read a valid bank");
    const bool damaged = std::any_of(all.begin(), all.end(), [](const PerformanceRecord& r) { return !r.faults().empty(); });
    FUZZ_CHECK(status == (damaged ? 1 : 0), "info judged the bank otherwise than its records' faults");
    if (all.size() <= 6) {
        const fs::path dir = kwfuzz::scratchDir() / "out";
        FUZZ_CHECK(runFilesTool({"unpack", bank.string(), dir.string()}, o, e) == (damaged ? 1 : 0),
                   "unpack failed, or did not say that it wrote damaged records");
        size_t files = 0;
        for (const auto& f : fs::recursive_directory_iterator(kwfuzz::scratchDir())) {
            if (f.path() == bank || f.path() == dir)
                continue;
            FUZZ_CHECK(f.path().parent_path() == dir, "unpack wrote outside its folder");
            FUZZ_CHECK(f.is_regular_file() && f.file_size() == PerformanceRecord::kSize, "unpack wrote something odd");
            ++files;
        }
        FUZZ_CHECK(files == all.size(), "unpack did not write one file per record");
    }
    return 0;
}
