#include "store/Import.h"

#include "files/FilePaths.h"
#include "files/RecordReader.h"
#include "store/FieldsFile.h"

#include <algorithm>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace kw {

namespace {

std::string counted(size_t n, const char* one, const char* many)
{
    return groupedNumber(n) + " " + (n == 1 ? one : many);
}

struct Walk {
    std::vector<fs::path> files;
    std::vector<std::string> damaged;
    std::set<fs::path> seen;

    void add(const fs::path& file)
    {
        std::error_code ec;
        const fs::path key = fs::absolute(file, ec).lexically_normal();
        if (seen.insert(ec ? file : key).second)
            files.push_back(file);
    }

    void folder(const fs::path& dir)
    {
        std::error_code ec;
        fs::directory_iterator it(dir, ec);
        if (ec) {
            damaged.push_back(utf8FromPath(dir) + ": cannot read the folder: " + ec.message());
            return;
        }
        std::vector<fs::path> files, folders;
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (ec)
                break;
            std::error_code kind;
            if (it->is_directory(kind) && !it->is_symlink(kind))
                folders.push_back(it->path());
            else if (it->is_regular_file(kind) && hasRecordExtension(it->path()))
                files.push_back(it->path());
        }
        if (ec)
            damaged.push_back(utf8FromPath(dir) + ": cannot read the folder: " + ec.message());
        // The order a listing shows, not the order the disk happens to keep.
        std::sort(files.begin(), files.end());
        std::sort(folders.begin(), folders.end());
        for (const fs::path& f : files)
            add(f);
        for (const fs::path& d : folders)
            folder(d);
    }
};

// The fields files of the folders an import reads from, each read once: the
// user's fields of what an export wrote there, by the data it wrote.
class FolderFields {
public:
    // The fields for `data` from the files in `folder`, or nullptr; what is
    // wrong with such a file the first time the folder is asked about
    // goes to `problems`, and the file is passed over whole.
    const RowEdit* find(const fs::path& folder, const PerformanceData& data, std::vector<std::string>& problems)
    {
        auto [it, fresh] = folders_.try_emplace(folder);
        if (fresh)
            load(folder, it->second, problems);
        const auto found = it->second.find(data);
        return found == it->second.end() ? nullptr : &found->second;
    }

private:
    using Fields = std::map<PerformanceData, RowEdit>;

    static void load(const fs::path& folder, Fields& fields, std::vector<std::string>& problems)
    {
        std::error_code ec;
        std::vector<fs::path> files;
        for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end;
             it.increment(ec)) {
            std::error_code kind;
            if (isFieldsFile(it->path()) && it->is_regular_file(kind))
                files.push_back(it->path());
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& f : files) {
            auto read = readFieldsFile(f);
            if (!read) {
                problems.push_back(utf8FromPath(f) + ": " + read.error() + "; its fields were not taken");
                continue;
            }
            // A performance in two such files takes the first file's fields.
            for (ExportedFields& e : *read)
                fields.try_emplace(e.data, std::move(e.fields));
        }
    }

    std::map<fs::path, Fields> folders_;
};

// What one batch has read and not yet committed.
struct Pending {
    size_t files = 0, performances = 0, fresh = 0, known = 0;
    std::vector<std::string> damaged;
};

} // namespace

std::string ImportResult::summary() const
{
    return counted(files, "file", "files") + ": " + counted(performances, "performance", "performances") + ", "
           + groupedNumber(fresh) + " new, " + groupedNumber(known) + " already in the library, "
           + groupedNumber(damaged.size()) + " damaged";
}

std::string ImportResult::outcome() const
{
    const std::string after = " after " + groupedNumber(files) + " of " + counted(filesTotal, "file", "files");
    if (stopped)
        return summary() + "; stopped" + after + ": " + stopped->text;
    if (cancelled)
        return summary() + "; cancelled" + after;
    return summary();
}

ImportResult importPaths(Store& store, std::span<const fs::path> paths, const ImportOptions& options)
{
    ImportResult result;
    Walk walk;
    std::string what;
    for (const fs::path& p : paths) {
        what += (what.empty() ? "" : ", ") + utf8FromPath(p);
        std::error_code ec;
        const fs::file_status st = fs::status(p, ec);
        if (ec || !fs::exists(st))
            walk.damaged.push_back(utf8FromPath(p) + ": cannot read: " + (ec ? ec.message() : "No such file or directory"));
        else if (fs::is_directory(st))
            walk.folder(p);
        else
            walk.add(p);
    }
    result.filesTotal = walk.files.size();
    result.damaged = std::move(walk.damaged);

    auto importId = store.beginImport(what);
    if (!importId) {
        result.stopped = importId.error();
        return result;
    }
    result.importId = *importId;

    Pending pending;
    FolderFields folderFields;
    bool open = false;
    auto batchStart = std::chrono::steady_clock::now();
    const auto commit = [&]() -> bool {
        if (!open)
            return true;
        open = false;
        if (auto e = store.commit()) {
            result.stopped = *e;
            return false;
        }
        result.files += pending.files;
        result.performances += pending.performances;
        result.fresh += pending.fresh;
        result.known += pending.known;
        result.damaged.insert(result.damaged.end(), pending.damaged.begin(), pending.damaged.end());
        pending = Pending();
        return true;
    };

    size_t done = 0;
    for (const fs::path& file : walk.files) {
        if (!open) {
            if (auto e = store.begin()) {
                result.stopped = *e;
                break;
            }
            open = true;
            batchStart = std::chrono::steady_clock::now();
        }
        const std::string shown = utf8FromPath(file);
        auto read = readRecords(file);
        if (!read) {
            pending.damaged.push_back(shown + ": " + plainText(read.error()));
        } else {
            const Source source = Source::file(file);
            for (const FoundRecord& r : read->records) {
                if (!r.damage.empty()) {
                    pending.damaged.push_back(shown + ": " + r.damage);
                    continue;
                }
                auto kept = store.remember(r.record, source, result.importId);
                if (!kept) {
                    result.stopped = kept.error();
                    break;
                }
                if (const RowEdit* fields = folderFields.find(file.parent_path(), performanceData(r.record),
                                                              pending.damaged))
                    if (auto e = store.adoptFields(kept->id, *fields)) {
                        result.stopped = *e;
                        break;
                    }
                ++pending.performances;
                ++(kept->isNew ? pending.fresh : pending.known);
            }
            for (const std::string& p : read->problems)
                pending.damaged.push_back(shown + ": " + p);
        }
        if (result.stopped) {
            store.rollback();
            open = false;
            break;
        }
        ++pending.files;
        ++done;
        if (pending.files >= options.batchFiles || std::chrono::steady_clock::now() - batchStart >= options.batchTime)
            if (!commit())
                break;
        if (options.keepGoing && !options.keepGoing({done, walk.files.size(), file})) {
            result.cancelled = done < walk.files.size();
            break;
        }
    }
    if (!result.stopped)
        commit();
    if (result.stopped)
        store.rollback();
    store.finishImport(result.importId, result.outcome());
    return result;
}

} // namespace kw
