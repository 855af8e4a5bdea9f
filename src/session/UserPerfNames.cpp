#include "session/UserPerfNames.h"

#include "files/PerformanceRecord.h"
#include "model/Cp1252.h"
#include "model/NameTables.h"
#include "model/UserPerfList.h"

namespace kw {

UserPerfNames::UserPerfNames()
{
    const auto& builtIn = builtInUserPerfLines();
    std::copy(builtIn.begin(), builtIn.end(), lines_.begin());
}

std::vector<std::string> UserPerfNames::utf8Lines() const
{
    std::vector<std::string> out;
    out.reserve(lines_.size());
    for (const std::string& line : lines_)
        out.push_back(cp1252ToUtf8(line));
    return out;
}

void UserPerfNames::set(int index, std::string text)
{
    if (index < 0 || index >= int(lines_.size()))
        return;
    const bool differs = lines_[size_t(index)] != text;
    lines_[size_t(index)] = std::move(text);
    if (changed_)
        changed_(index);
    if (watcher_ && differs)
        watcher_(index);
}

void UserPerfNames::setAll(const NameLines& lines)
{
    for (size_t i = 0; i < lines.size(); ++i)
        set(int(i), lines[i]);
}

std::string receivedNameEntry(int index, int category, std::string_view name8)
{
    return numberedEntry(index, categoryAbbrev(category) + " " + std::string(name8)).substr(0, 16);
}

std::string storedEntry(int index, int category, std::string_view name8)
{
    return numberedEntry(index, categoryAbbrev(category) + " " + trimBlanks(name8));
}

} // namespace kw
