#pragma once
// What the library window and the File menu do with the performance
// library, without a window: keep the edited performance, try a kept one in
// the synth, make one the edited performance, send some into user memory,
// export them as files, and import files and folders. The user is asked and
// told through the dialog interface only.

#include "session/Audition.h"
#include "session/library/LibraryEdits.h"
#include "session/library/MemoryView.h"
#include "store/Store.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kw {

struct CommandContext;
class LibraryKeeper;
class Progress;

inline constexpr const char* kImportCaption = "Import into library";
inline constexpr const char* kExportCaption = "Export from the library";
// The question before the program ends with an edit the library lacks.
inline constexpr const char* kQuitCaption = "Quit Knobwright";
inline constexpr const char* kKeepAndQuit = "Keep and quit";
inline constexpr const char* kQuitWithoutKeeping = "Quit without keeping";
inline constexpr const char* kCancelQuit = "Cancel";
// Files the import reads when a folder is chosen, and offers when files are.
inline constexpr const char* kImportFilter =
    "Performances (*.SYX *.syx *.PFB *.pfb *.MID *.mid *.MIDI *.midi);;All files (*)";

class LibraryCommands {
public:
    LibraryCommands(CommandContext& ctx, LibraryKeeper& keeper);
    ~LibraryCommands();
    LibraryCommands(const LibraryCommands&) = delete;
    LibraryCommands& operator=(const LibraryCommands&) = delete;

    LibraryKeeper& keeper() { return keeper_; }
    CommandContext& context() { return ctx_; }
    Store* store();
    // The library window's changes to rows, and their Undo and Redo.
    LibraryEdits& edits() { return edits_; }

    // What the library window shows, read through here: no window holds
    // the library itself. Without a library, nothing (and no error: the
    // keeper has said why once).
    StoreResult<SearchPage> search(const std::string& text, const SearchFilter& filter, size_t offset, size_t limit);
    StoreResult<std::vector<ImportInfo>> imports();
    StoreResult<size_t> count();
    bool writable() { return edits_.writable(); }

    // The synth's user memories as the library knows them (MemoryView.h).
    std::vector<MemoryRow> memoryRows();
    // "Fetch to check": reads user memories `numbers` (0..127) into the
    // library and ends in a box that says which hold what the library last
    // knew there and which changed (a changed one is kept as a new entry).
    void fetchToCheck(std::vector<int> numbers);
    // Asks which user memory, reads it from the synth (keeping it in the
    // library as a backup is kept) and hands it to `done` as user
    // performance 0. Nothing happens when the user backs out, and a read
    // that fails says so in its box.
    void readUserMemory(const std::string& caption, std::function<void(const PerformanceRecord&, int)> done);

    // "Keep in library": the edited performance as it stands, under its own
    // name; the status line says whether it was new.
    void keepEdited();
    // Before the program ends: an edit the library does not hold is not
    // lost unasked. Keep it in the library and quit, quit without keeping,
    // or cancel (false).
    bool mayQuit();

    // The library window opened or closed: what was tried in the synth
    // meanwhile is replaced there by the edited performance again.
    void windowOpened() { audition_.begin(); }
    void windowClosed() { audition_.end(); }
    // "Audition": entry `id` into the synth's edit buffer, for a listen.
    void audition(int64_t id);
    // "Open": entry `id` becomes the edited performance, in the synth too,
    // as a performance file opened does.
    void open(int64_t id);
    // "Send to user performance...": the entries into consecutive user
    // performances from one the user picks, after the replace question.
    void sendToUser(const std::vector<int64_t>& ids);
    // "Export": the entries as .SYX files in a folder, one bank (up to 128)
    // or one MIDI file, as the user chooses. True once written.
    bool exportEntries(const std::vector<int64_t>& ids);

    // File › Import into library: files or a folder, read on a thread of
    // their own behind a progress window with Cancel; the result in a box.
    void importChosen();
    // The same for paths already chosen (a drop of files, the tests).
    void importPaths(std::vector<std::filesystem::path> paths);
    bool importing() const { return import_ != nullptr; }

private:
    struct Import;
    void watchImport();
    void importEnded();
    std::optional<std::vector<PerformanceRecord>> records(const std::vector<int64_t>& ids, int firstNumber);
    // The user's fields of `ids`, exported as `written`, into `path`.
    SaveError writeFields(const std::filesystem::path& path, const std::vector<int64_t>& ids,
                          const std::vector<PerformanceRecord>& written);

    CommandContext& ctx_;
    LibraryKeeper& keeper_;
    Audition audition_;
    LibraryEdits edits_;
    std::unique_ptr<Import> import_;
};

} // namespace kw
