#include "session/library/LibraryCommands.h"

#include "files/BankFile.h"
#include "files/FileIo.h"
#include "files/FilePaths.h"
#include "files/MidiFile.h"
#include "files/PerformanceFile.h"
#include "midi/Receiver.h"
#include "model/Cp1252.h"
#include "model/NameTables.h"
#include "model/Settings.h"
#include "model/UserPerfList.h"
#include "session/BankSend.h"
#include "session/CommandContext.h"
#include "session/Dialogs.h"
#include "session/EditSession.h"
#include "session/FileCommands.h"
#include "session/library/LibraryKeeper.h"
#include "session/library/ReplaceGuard.h"
#include "session/Transfers.h"
#include "store/FieldsFile.h"
#include "store/Import.h"

#include <map>
#include <mutex>

namespace kw {

namespace {
// How often the window looks at a running import.
constexpr int kImportPollMs = 100;
// The progress window counts in thousandths: the number of files is known
// only once the folders have been walked.
constexpr int kProgressSteps = 1000;
} // namespace

// An import on its own thread with its own connection to the library; the
// window's thread only looks at what it has done.
struct LibraryCommands::Import {
    std::filesystem::path library;
    std::vector<std::filesystem::path> paths;
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    std::mutex lock;
    ImportProgress progress;  // under `lock`
    std::optional<ImportResult> result;
    std::string failure;  // the library could not be opened on the thread
    std::unique_ptr<Progress> window;
    std::thread thread;

    void run()
    {
        auto store = Store::open(library);
        if (!store) {
            failure = store.error().text;
        } else {
            ImportOptions options;
            options.keepGoing = [this](const ImportProgress& p) {
                std::lock_guard<std::mutex> g(lock);
                progress = p;
                return !cancel.load();
            };
            result = kw::importPaths(**store, paths, options);
        }
        done = true;
    }
};

LibraryCommands::LibraryCommands(CommandContext& ctx, LibraryKeeper& keeper)
    : ctx_(ctx), keeper_(keeper), audition_(ctx), edits_([this] { return store(); }, [this] { keeper_.changed(); })
{
}

LibraryCommands::~LibraryCommands()
{
    if (import_) {
        // The program ends: the import stops after the file in flight, and
        // every file whose batch was committed stays in the library.
        import_->cancel = true;
        import_->thread.join();
    }
}

Store* LibraryCommands::store() { return keeper_.store(); }

StoreResult<SearchPage> LibraryCommands::search(const std::string& text, const SearchFilter& filter, size_t offset,
                                                size_t limit)
{
    Store* s = store();
    return s ? s->search(text, filter, offset, limit) : StoreResult<SearchPage>(SearchPage{});
}

StoreResult<std::vector<ImportInfo>> LibraryCommands::imports()
{
    Store* s = store();
    return s ? s->imports() : StoreResult<std::vector<ImportInfo>>(std::vector<ImportInfo>{});
}

StoreResult<size_t> LibraryCommands::count()
{
    Store* s = store();
    return s ? s->count() : StoreResult<size_t>(size_t(0));
}

void LibraryCommands::keepEdited()
{
    const PerformanceRecord shown = PerformanceRecord::fromEdit(ctx_.session.editedImage(), 0);
    const auto kept = keeper_.keepNow(ctx_.session.editedImage(), Source::editor());
    if (!kept)
        return;
    const std::string name = trimBlanks(shown.categoryAbbreviation()) + " " + trimBlanks(shown.name());
    ctx_.rx.report(kept->isNew ? "Kept in the library: " + name : name + " is in the library already");
}

bool LibraryCommands::mayQuit()
{
    if (!ctx_.session.userWork())
        return true;
    const PerformanceRecord shown = PerformanceRecord::fromEdit(ctx_.session.editedImage(), 0);
    // Judged by content: an edit kept with Ctrl+L, stored and kept, or
    // undone back to a sound the library has loses nothing.
    if (Store* s = store())
        if (auto held = s->find(performanceData(shown)); held && *held)
            return true;
    const std::string name = trimBlanks(shown.categoryAbbreviation()) + " " + trimBlanks(shown.name());
    switch (ctx_.dialogs.choose(kQuitCaption, "The edited performance " + name
                                                  + " has changes that are not kept anywhere.\nKeep it in the library?",
                                {kKeepAndQuit, kQuitWithoutKeeping, kCancelQuit})) {
    case 0: return keeper_.keepNow(ctx_.session.editedImage(), Source::editor()).has_value();
    case 1: return true;
    default: return false;
    }
}

std::optional<std::vector<PerformanceRecord>> LibraryCommands::records(const std::vector<int64_t>& ids,
                                                                      int firstNumber)
{
    Store* s = store();
    if (!s)
        return std::nullopt;
    std::vector<PerformanceRecord> out;
    out.reserve(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        auto r = s->record(ids[i], (firstNumber + int(i)) % kUserPerformances);
        if (!r) {
            ctx_.dialogs.inform("The library cannot give the performance: " + r.error().text);
            return std::nullopt;
        }
        out.push_back(*r);
    }
    return out;
}

void LibraryCommands::audition(int64_t id)
{
    if (ctx_.refuseWhileBusy() || !ctx_.needOutput())
        return;
    if (auto r = records({id}, 0))
        audition_.play(r->front());
}

void LibraryCommands::open(int64_t id)
{
    if (ctx_.refuseWhileBusy())
        return;
    auto r = records({id}, 0);
    if (!r)
        return;
    // What was tried before is no longer to be given back: this is the edit now.
    audition_.begin();
    ctx_.session.setAuditioning(false);
    loadIntoEditor(ctx_, r->front());
}

void LibraryCommands::sendToUser(const std::vector<int64_t>& ids)
{
    if (ids.empty() || ctx_.refuseWhileBusy() || !ctx_.needOutput())
        return;
    if (ids.size() > size_t(kUserPerformances)) {
        ctx_.dialogs.inform("The synth holds 128 user performances; " + groupedNumber(ids.size())
                            + " are selected. Nothing was sent.");
        return;
    }
    UserPerfChoice c;
    c.caption = ids.size() == 1 ? "Send to user performance" : "Send to user performances from";
    c.buttonText = "Send";
    c.entries = ctx_.names().utf8Lines();
    const auto first = ctx_.dialogs.chooseUserPerf(c);
    if (!first)
        return;
    if (*first + ids.size() > size_t(kUserPerformances)) {
        ctx_.dialogs.inform(groupedNumber(ids.size()) + " performances from " + entryNumber(*first)
                            + " would go past 128. Nothing was sent.");
        return;
    }
    auto r = records(ids, *first);
    if (!r)
        return;
    std::vector<int> numbers;
    for (size_t i = 0; i < ids.size(); ++i)
        numbers.push_back(*first + int(i));
    auto shared = std::make_shared<std::vector<PerformanceRecord>>(std::move(*r));
    replaceUserPerformances(ctx_, std::move(numbers), [this, shared] {
        auto send = std::make_unique<BankSend>(std::move(*shared), ctx_.names(), ctx_.dialogs);
        recordWhereSent(*send, ctx_.keeper);
        ctx_.rx.startChain(std::move(send));
    });
}

bool LibraryCommands::exportEntries(const std::vector<int64_t>& ids)
{
    if (ids.empty())
        return false;
    const std::string many = groupedNumber(ids.size()) + (ids.size() == 1 ? " performance" : " performances");
    const int format = ctx_.dialogs.choose(kExportCaption, "Export " + many + " as",
                                           {"SysEx files", "Performance-bank", "MIDI file", "Cancel"});
    if (format < 0 || format > 2)
        return false;
    // A MIDI file plays its performances into the user memories as a bank
    // does: a 129th would land on user 001 again.
    if (format != 0 && ids.size() > size_t(kUserPerformances)) {
        ctx_.dialogs.inform(std::string(format == 1 ? "A Performance-bank" : "A MIDI file")
                            + " holds at most 128 performances; " + many + " are selected. Nothing was written.");
        return false;
    }
    auto r = records(ids, 0);
    if (!r)
        return false;
    if (format == 0) {
        const auto folder = ctx_.dialogs.chooseFolder("Choose a folder to export to", ctx_.settings.lastDir);
        if (!folder)
            return false;
        ctx_.settings.lastDir = *folder;
        DistinctNames names;
        size_t written = 0;
        for (const PerformanceRecord& record : *r) {
            // An export adds files; one of the same name already there stays.
            const auto path = claimInFolder(names, pathFromUtf8(*folder),
                                            performanceFileName(record.category(), record.name()), true);
            if (auto e = writePerformanceFile(path, record)) {
                ctx_.dialogs.inform(groupedNumber(written) + " of " + many + " written in " + *folder + "\n"
                                    + e->message());
                return false;
            }
            ++written;
        }
        const SaveError fields = writeFields(freeFieldsFile(pathFromUtf8(*folder), "Library export"), ids, *r);
        if (fields) {
            ctx_.dialogs.inform(many + " written in " + *folder + "; their fields file was not:\n" + fields->message());
            return true;
        }
        ctx_.rx.report(many + " written in " + *folder);
        return true;
    }
    const bool bank = format == 1;
    const auto chosen = ctx_.dialogs.chooseSaveFile(
        bank ? kSaveBankTitle : "Save MIDI file as ...",
        bank ? kBankFilter : "Standard MIDI files (*.MID *.mid);;All files (*)",
        bank ? ctx_.settings.perfBankDir : ctx_.settings.lastDir, bank ? "Library export.PFB" : "Library export.MID");
    if (!chosen)
        return false;
    const auto path = changeExtension(pathFromUtf8(*chosen), bank ? kBankExtension : ".MID");
    const SaveError e = bank ? writeBankFile(path, *r) : writeFileAtomically(path, midiFileBytes(*r));
    if (e) {
        ctx_.dialogs.inform(e->message());
        return false;
    }
    (bank ? ctx_.settings.perfBankDir : ctx_.settings.lastDir) = utf8FromPath(folderOf(path));
    if (const SaveError fields = writeFields(fieldsFileFor(path), ids, *r)) {
        ctx_.dialogs.inform(many + " written to " + utf8FromPath(path.filename()) + "; their fields file was not:\n"
                            + fields->message());
        return true;
    }
    ctx_.rx.report(many + " written to " + utf8FromPath(path.filename()));
    return true;
}

SaveError LibraryCommands::writeFields(const std::filesystem::path& path, const std::vector<int64_t>& ids,
                                       const std::vector<PerformanceRecord>& written)
{
    Store* s = store();
    auto rows = s ? s->rows(ids) : StoreResult<std::vector<LibraryRow>>(std::vector<LibraryRow>{});
    if (!rows || rows->size() != written.size())
        return FileError{FileErrorKind::CannotSave, path,
                         rows ? "an entry was deleted meanwhile" : rows.error().text};
    return writeFieldsFile(path, exportedFields(*rows, written));
}

void LibraryCommands::importChosen()
{
    if (import_) {
        ctx_.rx.status("An import is running");
        return;
    }
    const int what = ctx_.dialogs.choose(kImportCaption, "Import performance files, or a folder with all its subfolders?",
                                         {"Files...", "Folder...", "Cancel"});
    std::vector<std::filesystem::path> paths;
    if (what == 0) {
        for (const std::string& f : ctx_.dialogs.chooseOpenFiles(kImportCaption, kImportFilter, ctx_.settings.lastDir))
            paths.push_back(pathFromUtf8(f));
        if (!paths.empty())
            ctx_.rememberFolderOf(utf8FromPath(paths.front()));
    } else if (what == 1) {
        if (const auto folder = ctx_.dialogs.chooseFolder("Choose a folder to import", ctx_.settings.lastDir)) {
            paths.push_back(pathFromUtf8(*folder));
            ctx_.settings.lastDir = *folder;
        }
    }
    if (!paths.empty())
        importPaths(std::move(paths));
}

void LibraryCommands::importPaths(std::vector<std::filesystem::path> paths)
{
    if (import_ || paths.empty())
        return;
    Store* s = store();
    if (!s)
        return;
    if (s->readOnly()) {
        ctx_.dialogs.inform("The library can only be read (" + utf8FromPath(s->path()) + "). Nothing was imported.");
        return;
    }
    import_ = std::make_unique<Import>();
    import_->library = s->path();
    import_->paths = std::move(paths);
    import_->window = ctx_.dialogs.progress(kImportCaption, "Looking for performance files", kProgressSteps);
    import_->thread = std::thread([imp = import_.get()] { imp->run(); });
    ctx_.rx.scheduler().after(kImportPollMs, [this] { watchImport(); });
}

void LibraryCommands::watchImport()
{
    if (!import_)
        return;
    if (import_->done) {
        importEnded();
        return;
    }
    if (import_->window) {
        if (import_->window->cancelled())
            import_->cancel = true;
        ImportProgress p;
        {
            std::lock_guard<std::mutex> g(import_->lock);
            p = import_->progress;
        }
        if (p.filesTotal > 0) {
            import_->window->setValue(int(p.filesDone * kProgressSteps / p.filesTotal));
            import_->window->setText(groupedNumber(p.filesDone) + " of " + groupedNumber(p.filesTotal) + " files\n"
                                     + utf8FromPath(p.current.filename()));
        }
    }
    ctx_.rx.scheduler().after(kImportPollMs, [this] { watchImport(); });
}

void LibraryCommands::importEnded()
{
    import_->thread.join();
    auto imp = std::move(import_);
    if (imp->window)
        imp->window->close();
    // The import wrote through its own connection: the window reads anew.
    keeper_.changed();
    if (!imp->result) {
        ctx_.dialogs.inform("Nothing was imported: " + imp->failure);
        return;
    }
    const ImportResult& r = *imp->result;
    std::string text = r.outcome();
    ctx_.rx.report(r.summary());
    if (r.damaged.empty()) {
        ctx_.dialogs.inform(text);
        return;
    }
    std::string details;
    for (const std::string& line : r.damaged)
        details += (details.empty() ? "" : "\n") + line;
    ctx_.dialogs.inform(text, details);
}

} // namespace kw

namespace kw {

std::vector<MemoryRow> LibraryCommands::memoryRows() { return kw::memoryRows(keeper_.synthMemory(), keeper_.store()); }

void LibraryCommands::fetchToCheck(std::vector<int> numbers)
{
    std::erase_if(numbers, [](int n) { return n < 0 || n >= kUserPerformances; });
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    if (numbers.empty() || ctx_.refuseWhileBusy() || !ctx_.needBothPorts())
        return;
    Store* s = keeper_.store();
    if (!s || s->readOnly()) {
        ctx_.dialogs.inform("The library cannot be written: nothing was fetched.");
        return;
    }
    // What was known there before: the editor's own sight since it found
    // the synth, else what the library last saw there.
    const std::vector<MemoryRow> rows = memoryRows();
    std::map<int, PerformanceData> before;
    std::map<int, std::string> entries;
    for (int n : numbers) {
        if (const SynthMemory::Known* k = keeper_.synthMemory().known(n))
            before[n] = k->data;
        else if (rows[size_t(n)].id)
            if (auto d = s->data(rows[size_t(n)].id))
                before[n] = *d;
        entries[n] = rows[size_t(n)].entry;
    }
    ToDiskTransfer::Output out;
    out.library = &keeper_;
    auto fetch = std::make_unique<ToDiskTransfer>(std::move(out), numbers, ctx_.dialogs);
    fetch->whenDone([this, numbers, before = std::move(before), entries = std::move(entries)](Receiver& rx) {
        int same = 0, changed = 0, unknown = 0;
        std::vector<std::string> lines;
        for (int n : numbers) {
            const SynthMemory::Known* now = keeper_.synthMemory().known(n);
            const auto was = before.find(n);
            if (!now || was == before.end()) {
                ++unknown;
            } else if (now->data == was->second) {
                ++same;
            } else {
                ++changed;
                lines.push_back(entryNumber(n) + ": was " + entries.at(n) + ", now "
                                + trimBlanks(categoryAbbrev(dataCategory(now->data))) + " "
                                + cp1252ToUtf8(trimBlanks(dataName(now->data))));
            }
        }
        std::string text = "Checked " + std::to_string(numbers.size())
                           + (numbers.size() == 1 ? " user performance: " : " user performances: ") + std::to_string(same) + " as the library knew them, " + std::to_string(changed)
                           + " changed (kept as new entries), " + std::to_string(unknown) + " not known before.";
        keeper_.changed();
        std::string details;
        for (const std::string& l : lines)
            details += l + "\n";
        if (details.empty())
            rx.answer(text);
        else
            ctx_.dialogs.inform(text, details);
        rx.report(text.substr(0, text.find(':')));
    });
    ctx_.rx.startChain(std::move(fetch));
}

void LibraryCommands::readUserMemory(const std::string& caption,
                                     std::function<void(const PerformanceRecord&, int)> done)
{
    if (ctx_.refuseWhileBusy() || !ctx_.needBothPorts())
        return;
    Store* s = keeper_.store();
    if (!s || s->readOnly()) {
        ctx_.dialogs.inform("The library cannot be written: nothing was fetched.");
        return;
    }
    UserPerfChoice c;
    c.caption = caption;
    c.buttonText = "Request";
    c.entries = ctx_.names().utf8Lines();
    const std::optional<int> chosen = ctx_.dialogs.chooseUserPerf(c);
    if (!chosen || *chosen < 0 || *chosen >= kUserPerformances || !ctx_.needBothPorts())
        return;
    ToDiskTransfer::Output out;
    out.library = &keeper_;
    auto fetch = std::make_unique<ToDiskTransfer>(std::move(out), std::vector<int>{*chosen}, ctx_.dialogs);
    fetch->whenDone([this, n = *chosen, done = std::move(done)](Receiver& rx) {
        const SynthMemory::Known* k = keeper_.synthMemory().known(n);
        if (!k)
            return;
        rx.report("Received user performance " + entryNumber(n));
        done(recordFromData(k->data, 0), n);
    });
    ctx_.rx.startChain(std::move(fetch));
}

} // namespace kw
