// The .SYX reader and everything done with what it read: names, file names,
// the record's faults, renumbering, into the editor and back, and the files
// tool's look at it.

#include "FileNameRules.h"
#include "FuzzSupport.h"

#include "files/BankFile.h"
#include "files/FilePaths.h"
#include "files/FilesTool.h"
#include "files/PerformanceFile.h"

#include <algorithm>
#include <fstream>
#include <sstream>

using namespace kw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ByteView bytes(data, size);
    const auto read = parsePerformanceFile(bytes);
    if (size != PerformanceRecord::kSize) {
        FUZZ_CHECK(!read, "a file of another size than 317 bytes was read as a performance");
        return 0;
    }
    FUZZ_CHECK(bool(read), "a 317-byte file was refused");
    const PerformanceRecord& rec = *read;
    FUZZ_CHECK(std::equal(bytes.begin(), bytes.end(), rec.bytes().begin()), "the record is not the file's bytes");

    const std::vector<std::string> faults = rec.faults();
    FUZZ_CHECK(rec.name().size() == 8, "a name that is not eight bytes");
    FUZZ_CHECK(rec.shortEntry().size() <= 15, "a list entry longer than 15 characters");
    kwfuzz::checkSafeName(performanceFileName(rec.category(), rec.name()));

    // Renumbered with fresh checksums and its data cut to 7 bits, only its
    // framing can still be wrong.
    const int number = data[0] % 128;
    PerformanceRecord fixed = rec;
    fixed.clampDataTo7Bit();
    fixed.setNumber(number, Checksums::Recompute);
    FUZZ_CHECK(fixed.numberInRange() == number, "renumbering did not take");
    for (const std::string& f : fixed.faults())
        FUZZ_CHECK(f.rfind("bad framing in message ", 0) == 0, "renumbering left a fault other than framing");

    // Into the editor and out again as a performance: a sound record with the
    // same data bytes.
    BlockSet edit(false);
    rec.toEdit(edit);
    const PerformanceRecord out = PerformanceRecord::fromEdit(edit, number);
    FUZZ_CHECK(out.faults().empty(), "a record made from the editor's image has faults");
    for (int m = 0; m < 7; ++m) {
        const ByteView a = rec.message(m), b = out.message(m);
        FUZZ_CHECK(a.size() == b.size(), "a message changed its length");
        for (size_t i = 9; i + 2 < a.size(); ++i)
            FUZZ_CHECK((a[i] & 0x7F) == b[i], "a data byte changed on the way through the editor");
    }
    // Through the transfer image byte for byte.
    BlockSet user(true);
    rec.toTransfer(user);
    FUZZ_CHECK(PerformanceRecord::fromTransfer(user) == rec, "the transfer image changed the record");

    // The files tool finds the same faults.
    kwfuzz::clearScratch();
    const auto path = kwfuzz::scratchDir() / "in.SYX";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    std::ostringstream o, e;
    const int status = runFilesTool({"info", path.string()}, o, e);
    // 317 bytes that open with the bank's magic text are a cut bank to it.
    const bool bankText = std::equal(kBankMagic.begin(), kBankMagic.end(), data);
    FUZZ_CHECK(status == (bankText ? 2 : faults.empty() ? 0 : 1), "the files tool judged the record otherwise");
    return 0;
}
