#include "library/FileCommands.h"

#include "files/FilePaths.h"
#include "files/NamesFile.h"
#include "files/PerformanceFile.h"
#include "library/Dialogs.h"
#include "library/EditSession.h"
#include "library/LibraryKeeper.h"
#include "library/SendJob.h"
#include "midi/Receiver.h"
#include "midi/Senders.h"
#include "midi/Ui.h"
#include "model/Settings.h"

#include <algorithm>
#include <memory>

namespace kw {

void FileCommands::MenuFileSaveActPerfClick()
{
    const int pp = std::max(0, lib_.session.state().selectedUserPerf);
    // While the original is compared, the edit is still what is saved.
    const PerformanceRecord record = PerformanceRecord::fromEdit(lib_.session.editedImage(), pp);
    const auto chosen = lib_.dialogs.chooseSaveFile("Save actual Performance as ...", kSysExFilter,
                                                    lib_.settings.lastDir,
                                                    performanceFileName(record.category(), record.name()));
    if (!chosen)
        return;
    lib_.rememberFolderOf(*chosen);
    if (auto e = writePerformanceFile(changeExtension(pathFromUtf8(*chosen), kPerformanceExtension), record))
        lib_.reportFileError(*e);
}

void FileCommands::MenuFileOpenActPerfClick()
{
    if (lib_.refuseWhileBusy())
        return;
    const auto record = lib_.openPerformanceFile();
    if (record)
        loadIntoEditor(lib_, *record);
}

void loadIntoEditor(LibraryContext& lib, const PerformanceRecord& record)
{
    // The commons go in and out first, then the layers; each block is
    // followed by the transfer pause but the last.
    auto loaded = std::make_shared<BlockSet>(false);
    record.toEdit(*loaded);
    auto job = std::make_unique<SendJob>();
    job->then([loaded](Receiver& rx) {
           for (BlockKind k : {BlockKind::Common00, BlockKind::Common30, BlockKind::Common50})
               rx.image().edit[k] = (*loaded)[k];
           return true;
       })
        .sendEditBlocks({BlockKind::Common00, BlockKind::Common30, BlockKind::Common50}, true)
        .then([loaded](Receiver& rx) {
            for (int l = 1; l <= 4; ++l)
                rx.image().edit.layer(l) = loaded->layer(l);
            return true;
        })
        .sendEditBlocks({BlockKind::Layer1, BlockKind::Layer2, BlockKind::Layer3, BlockKind::Layer4}, false)
        .atEnd([&session = lib.session](Receiver& rx, const SendJob::End&) {
            // The editor shows a file now, not a user performance: work of
            // the user's that a synth found later must not replace.
            rx.state().shownUserPerf = -1;
            rx.ui().refreshAll();
            session.fileOpened();
        });
    lib.rx.startChain(std::move(job));
}

void FileCommands::MenuFileSavePerfNamesClick()
{
    const auto chosen =
        lib_.dialogs.chooseSaveFile("Save Performance-names as ...", kNamesFilter, lib_.settings.lastDir, {});
    if (!chosen)
        return;
    lib_.rememberFolderOf(*chosen);
    const auto path = changeExtension(pathFromUtf8(*chosen), kNamesExtension);
    if (auto e = writeNamesFile(path, lib_.names().lines())) {
        lib_.reportFileError(*e);
        return;
    }
    lib_.settings.aktPerfList = utf8FromPath(path);
}

void FileCommands::MenuFileOpenPerfNamesClick()
{
    const auto chosen =
        lib_.dialogs.chooseOpenFile("Select Performance-name file", kNamesFilter, lib_.settings.lastDir);
    if (!chosen)
        return;
    lib_.rememberFolderOf(*chosen);
    auto lines = readNamesFile(pathFromUtf8(*chosen));
    if (!lines) {
        lib_.reportFileError(lines.error());
        return;
    }
    lib_.names().setAll(*lines);
    lib_.settings.aktPerfList = *chosen;
}

void loadNamesAtStart(UserPerfNames& names, const std::string& aktPerfList, Dialogs& dialogs, LibraryKeeper* keeper)
{
    if (keeper)
        if (auto lines = keeper->namesLastSeen()) {
            names.setAll(*lines);
            return;
        }
    if (aktPerfList.empty())
        return;
    auto lines = readNamesFile(pathFromUtf8(aktPerfList));
    if (!lines) {
        dialogs.inform(lines.error().message());
        return;
    }
    names.setAll(*lines);
}

} // namespace kw
