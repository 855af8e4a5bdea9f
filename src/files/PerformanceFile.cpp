#include "files/PerformanceFile.h"

#include "files/FileIo.h"

namespace kw {

Result<PerformanceRecord> parsePerformanceFile(ByteView bytes)
{
    if (auto r = PerformanceRecord::fromBytes(bytes))
        return *r;
    return FileError{FileErrorKind::NotAPerformanceFile, {}, std::to_string(bytes.size()) + " bytes"};
}

Result<PerformanceRecord> readPerformanceFile(const std::filesystem::path& path)
{
    auto in = InputFile::open(path);
    if (!in)
        return in.error();
    if (in->size() != PerformanceRecord::kSize)
        return FileError{FileErrorKind::NotAPerformanceFile, path, std::to_string(in->size()) + " bytes"};
    auto bytes = in->read(PerformanceRecord::kSize);
    if (!bytes)
        return bytes.error();
    auto record = parsePerformanceFile(*bytes);
    if (!record)
        return FileError{record.error().kind, path, record.error().reason};
    return record;
}

SaveError writePerformanceFile(const std::filesystem::path& path, const PerformanceRecord& record)
{
    return writeFileAtomically(path, record.bytes());
}

} // namespace kw
