// The .PFN reader: always 128 lines, none holding a line end, and what is
// written reads back the same.

#include "FuzzSupport.h"

#include "files/NamesFile.h"

#include <fstream>

using namespace kw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ByteView bytes(data, size);
    const NameLines lines = parseNames(bytes);
    for (const std::string& l : lines)
        FUZZ_CHECK(l.find('\r') == std::string::npos && l.find('\n') == std::string::npos, "a line with a line end");
    FUZZ_CHECK(parseNames(namesBytes(lines)) == lines, "names written do not read back");

    kwfuzz::clearScratch();
    const auto path = kwfuzz::scratchDir() / "in.PFN";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    const auto read = readNamesFile(path);
    FUZZ_CHECK(read && *read == lines, "the file reads otherwise than its bytes");
    return 0;
}
