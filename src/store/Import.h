#pragma once
// Files and folders into the library: every performance in them kept once,
// the damaged ones listed with the reason and never kept.

#include "store/Store.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kw {

struct ImportProgress {
    size_t filesDone = 0;
    size_t filesTotal = 0;
    std::filesystem::path current;  // the file just read
};

struct ImportOptions {
    // Asked after each file; false stops the import, keeping every file
    // finished so far.
    std::function<bool(const ImportProgress&)> keepGoing;
    // Files go in together, one transaction for many, committed when this
    // many are read or this much time has passed, whichever comes first. A
    // file is never split between two transactions, so a kill loses only
    // files of the batch in flight, each of them whole.
    size_t batchFiles = 1000;
    std::chrono::milliseconds batchTime{200};
};

struct ImportResult {
    int64_t importId = 0;
    size_t filesTotal = 0;  // found to be read
    // What was kept (an early stop counts only files whose batch was committed).
    size_t files = 0;
    size_t performances = 0;  // sound ones, new or not
    size_t fresh = 0;         // new to the library
    size_t known = 0;         // already in the library
    // One line per damaged item, "PATH: reason" (a file that cannot be
    // read, a file that is no performance file, a damaged record, an
    // incomplete dump).
    std::vector<std::string> damaged;
    bool cancelled = false;
    std::optional<StoreError> stopped;  // the library failed (a full disk)

    // "1,204 files: 3,880 performances, 2,911 new, 969 already in the
    // library, 12 damaged".
    std::string summary() const;
    // summary(), and how it ended when it ended early: "...; cancelled
    // after 57 of 1,204 files", "...; stopped after 57 of 1,204 files: the
    // disk is full".
    std::string outcome() const;
};

// Each path is a file (read whatever its name) or a folder (read with all
// its subfolders, files with the extensions of hasRecordExtension() only;
// links to folders are not followed). The import is a source of its own in
// the library, named by `paths` as given.
ImportResult importPaths(Store& store, std::span<const std::filesystem::path> paths, const ImportOptions& options = {});

} // namespace kw
