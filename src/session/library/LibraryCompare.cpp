#include "session/library/LibraryCompare.h"

#include "files/FileCheck.h"
#include "files/FilePaths.h"
#include "files/RecordReader.h"
#include "model/NameTables.h"
#include "model/Settings.h"
#include "session/CommandContext.h"
#include "session/Dialogs.h"
#include "session/EditSession.h"
#include "session/library/LibraryCommands.h"
#include "store/SoundDistance.h"

namespace kw {

void LibraryCompare::problem(const std::string& text)
{
    commands_.context().dialogs.inform(text);
}

std::optional<LibraryCompare::Entry> LibraryCompare::entry(int64_t id)
{
    Store* s = commands_.store();
    if (!s)
        return std::nullopt;
    auto rows = s->rows(std::vector<int64_t>{id});
    auto record = s->record(id, 0);
    if (!rows || !record || rows->empty()) {
        problem("The library cannot give the performance: "
                + (!rows ? rows.error().text : !record ? record.error().text : "it was deleted"));
        return std::nullopt;
    }
    const LibraryRow& r = rows->front();
    return Entry{trimBlanks(categoryAbbrev(r.category)) + " " + r.name, performanceData(*record)};
}

std::optional<Comparison> LibraryCompare::entries(int64_t a, int64_t b)
{
    const auto left = entry(a);
    const auto right = left ? entry(b) : std::nullopt;
    if (!right)
        return std::nullopt;
    return Comparison{left->label, right->label, dataDifferences(left->data, right->data)};
}

std::optional<Comparison> LibraryCompare::withEdited(int64_t a)
{
    const auto left = entry(a);
    if (!left)
        return std::nullopt;
    const PerformanceData edited = dataFromEdit(commands_.context().session.editedImage());
    return Comparison{left->label, "the edited performance", dataDifferences(left->data, edited)};
}

std::optional<Comparison> LibraryCompare::withFile(int64_t a)
{
    const auto left = entry(a);
    if (!left)
        return std::nullopt;
    CommandContext& ctx = commands_.context();
    const auto chosen = ctx.dialogs.chooseOpenFile(kCompareFileTitle, kImportFilter, ctx.settings.lastDir);
    if (!chosen)
        return std::nullopt;
    ctx.rememberFolderOf(*chosen);
    const auto path = pathFromUtf8(*chosen);
    const std::string name = utf8FromPath(path.filename());
    auto read = readRecords(path);
    if (!read) {
        ctx.reportFileError(read.error());
        return std::nullopt;
    }
    for (const FoundRecord& r : read->records)
        if (!r.damage.empty()) {
            problem(name + ": " + r.damage + "\nNothing was compared.");
            return std::nullopt;
        }
    if (!read->problems.empty() || read->records.size() != 1) {
        problem(name + ": "
                + (!read->problems.empty()  ? read->problems.front()
                   : read->records.empty() ? std::string("it holds no performance")
                                           : "it holds " + groupedNumber(read->records.size())
                                                 + " performances; choose a file of one")
                + "\nNothing was compared.");
        return std::nullopt;
    }
    return Comparison{left->label, name, dataDifferences(left->data, performanceData(read->records.front().record))};
}

std::optional<std::vector<SimilarEntry>> LibraryCompare::similar(int64_t id, size_t limit)
{
    Store* s = commands_.store();
    if (!s)
        return std::nullopt;
    auto data = s->data(id);
    auto near = data ? s->nearest(*data, limit, id) : StoreResult<std::vector<Nearby>>(data.error());
    if (!near) {
        problem("The library cannot be searched: " + near.error().text);
        return std::nullopt;
    }
    std::vector<int64_t> ids;
    for (const Nearby& n : *near)
        ids.push_back(n.id);
    auto rows = s->rows(ids);
    if (!rows) {
        problem("The library cannot be read: " + rows.error().text);
        return std::nullopt;
    }
    std::vector<SimilarEntry> out;
    for (const Nearby& n : *near)
        for (const LibraryRow& r : *rows)
            if (r.id == n.id)
                out.push_back({r, n.distance, n.twin});
    return out;
}

} // namespace kw
