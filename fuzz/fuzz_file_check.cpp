// The verdict on any file a user may hand the files tool, and the tool's
// commands on it: each command says what the verdict says, from a file and
// from standard input alike, and pack writes a bank only of what it was
// allowed to take.

#include "FuzzSupport.h"

#include "files/BankFile.h"
#include "files/FileCheck.h"
#include "files/FilesTool.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

using namespace kw;
namespace fs = std::filesystem;

namespace {

int run(const std::vector<std::string>& args, const std::string& input, std::string& out)
{
    std::istringstream in(input);
    std::ostringstream o, e;
    const int status = runFilesTool(args, in, o, e);
    out = o.str();
    return status;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ByteView bytes(data, size);
    const bool magic = size >= kBankMagicSize && std::equal(kBankMagic.begin(), kBankMagic.end(), data);
    const auto verdict = checkFileBytes(bytes);
    if (!verdict) {
        const FileErrorKind kind = verdict.error().kind;
        if (magic)
            FUZZ_CHECK(checkBank(bytes.first(kBankMagicSize), size) == kind, "a bank refused for another reason");
        else
            FUZZ_CHECK(size != PerformanceRecord::kSize && kind == FileErrorKind::NotAPerformanceFile,
                       "a 317-byte file refused, or another refused for another reason");
        FUZZ_CHECK(checkFileSize(bytes.first(std::min(size, kBankMagicSize)), size).has_value(),
                   "the size check lets through what the whole check refuses");
    } else {
        const CheckedFile& f = *verdict;
        FUZZ_CHECK(!checkFileSize(bytes.first(std::min(size, kBankMagicSize)), size), "the size check refuses a file the whole check takes");
        if (magic) {
            FUZZ_CHECK(f.kind == FileKind::Bank, "a file opening with the magic text is not a bank");
            const std::vector<PerformanceRecord> all = bankRecords(bytes);
            FUZZ_CHECK(all.size() == f.records.size(), "records lost or made up");
            for (size_t i = 0; i < all.size(); ++i)
                FUZZ_CHECK(all[i] == f.records[i].record, "a record is not the file's bytes");
        } else {
            FUZZ_CHECK(f.kind == FileKind::Performance && size == PerformanceRecord::kSize && f.records.size() == 1,
                       "a performance file of other than one 317-byte record");
        }
        std::map<int, int> counts;
        for (const CheckedRecord& r : f.records) {
            const std::vector<std::string> texts = r.record.faults();
            FUZZ_CHECK(texts == r.faults.texts(), "the verdict's faults are not the record's");
            FUZZ_CHECK(texts.empty() == r.faults.none(), "a fault that is no fault");
            const bool broken = std::any_of(texts.begin(), texts.end(), [](const std::string& t) {
                return t.starts_with("bad framing") || t.starts_with("number");
            });
            FUZZ_CHECK(broken != r.faults.whole(), "whole, yet its framing or number is wrong");
            if (r.record.numberInRange() >= 0)
                ++counts[r.record.numberInRange()];
        }
        const auto twice = size_t(std::count_if(counts.begin(), counts.end(), [](const auto& c) { return c.second > 1; }));
        FUZZ_CHECK(f.notes.size() == twice, "a number held twice not noted, or one noted that is not");
    }

    // The tool on the same bytes, from a file and from standard input.
    if (size > 14 + 8 * PerformanceRecord::kSize)
        return 0;
    kwfuzz::clearScratch();
    const fs::path file = kwfuzz::scratchDir() / "in";
    const fs::path bank = kwfuzz::scratchDir() / "out.PFB";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t damaged = verdict ? verdict->damaged() : 0;
    std::string fromFile, fromInput;
    const int info = run({"info", file.string()}, "", fromFile);
    FUZZ_CHECK(info == (!verdict ? 2 : damaged > 0 ? 1 : 0), "info judged the file otherwise");
    FUZZ_CHECK(run({"info", "-"}, input, fromInput) == info, "info judged standard input otherwise");
    if (verdict)
        FUZZ_CHECK(fromFile.substr(file.string().size()) == fromInput.substr(std::string("standard input").size()),
                   "info described standard input otherwise");

    std::string none;
    const int pack = run({"pack", bank.string(), file.string()}, "", none);
    FUZZ_CHECK(pack == (!verdict || damaged > 0 ? 2 : 0), "pack took what it should refuse, or refused a sound file");
    FUZZ_CHECK(fs::exists(bank) == (pack == 0), "pack wrote a bank although it failed, or none although it did not");
    if (!verdict)
        return 0;
    const int forced = run({"pack", "--force", bank.string(), "-"}, input, none);
    FUZZ_CHECK(forced == 0, "pack --force refused a file the verdict takes");
    auto packed = readBankFile(bank);
    FUZZ_CHECK(packed && packed->skipped.empty(), "pack wrote a bank that does not read back whole");
    BankSlots slots;
    std::vector<PerformanceRecord> records;
    for (const CheckedRecord& r : verdict->records)
        records.push_back(r.record);
    placeRecords(slots, records);
    FUZZ_CHECK(packed->records.size() == occupiedSlots(slots).size(), "pack lost or made up a record");
    for (const PerformanceRecord& r : packed->records)
        FUZZ_CHECK(slots[size_t(r.numberInRange())].name() == r.name(), "pack placed a record another than the last of its number");
    return 0;
}
