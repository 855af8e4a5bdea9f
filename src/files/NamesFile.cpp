#include "files/NamesFile.h"

#include "files/FileIo.h"
#include "files/PerformanceRecord.h"

namespace kw {

NameLines parseNames(ByteView bytes)
{
    NameLines lines;
    size_t count = 0;
    size_t pos = 0;
    while (pos < bytes.size() && count < lines.size()) {
        std::string line;
        while (pos < bytes.size() && bytes[pos] != '\r' && bytes[pos] != '\n')
            line += char(bytes[pos++]);
        if (pos < bytes.size() && bytes[pos] == '\r' && pos + 1 < bytes.size() && bytes[pos + 1] == '\n')
            pos += 2;
        else if (pos < bytes.size())
            ++pos;
        lines[count++] = std::move(line);
    }
    for (; count < lines.size(); ++count)
        lines[count] = entryNumber(int(count));
    return lines;
}

Result<NameLines> readNamesFile(const std::filesystem::path& path)
{
    auto bytes = readFileBytes(path, kNamesSizeLimit);
    if (!bytes)
        return bytes.error();
    return parseNames(*bytes);
}

Bytes namesBytes(std::span<const std::string> lines)
{
    Bytes out;
    for (const std::string& line : lines) {
        out.insert(out.end(), line.begin(), line.end());
        out.push_back('\r');
        out.push_back('\n');
    }
    return out;
}

SaveError writeNamesFile(const std::filesystem::path& path, std::span<const std::string> lines)
{
    return writeFileAtomically(path, namesBytes(lines));
}

} // namespace kw
