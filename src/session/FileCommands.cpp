#include "session/FileCommands.h"

#include "files/FilePaths.h"
#include "files/NamesFile.h"
#include "files/PerformanceFile.h"
#include "midi/Receiver.h"
#include "midi/Senders.h"
#include "midi/Ui.h"
#include "model/Settings.h"
#include "session/Dialogs.h"
#include "session/EditSession.h"
#include "session/library/LibraryKeeper.h"
#include "session/SendJob.h"

#include <algorithm>
#include <memory>

namespace kw {

void FileCommands::MenuFileSaveActPerfClick()
{
    const int pp = std::max(0, ctx_.session.state().selectedUserPerf);
    // While the original is compared, the edit is still what is saved.
    const PerformanceRecord record = PerformanceRecord::fromEdit(ctx_.session.editedImage(), pp);
    const auto chosen = ctx_.dialogs.chooseSaveFile("Save actual Performance as ...", kSysExFilter,
                                                    ctx_.settings.lastDir,
                                                    performanceFileName(record.category(), record.name()));
    if (!chosen)
        return;
    ctx_.rememberFolderOf(*chosen);
    if (auto e = writePerformanceFile(changeExtension(pathFromUtf8(*chosen), kPerformanceExtension), record))
        ctx_.reportFileError(*e);
}

void FileCommands::MenuFileOpenActPerfClick()
{
    if (ctx_.refuseWhileBusy())
        return;
    const auto record = ctx_.openPerformanceFile();
    if (record)
        loadIntoEditor(ctx_, *record);
}

void loadIntoEditor(CommandContext& ctx, const PerformanceRecord& record)
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
        .atEnd([&session = ctx.session](Receiver& rx, const SendJob::End&) {
            // The editor shows a file now, not a user performance: work of
            // the user's that a synth found later must not replace.
            rx.state().shownUserPerf = -1;
            rx.ui().refreshAll();
            session.fileOpened();
        });
    ctx.rx.startChain(std::move(job));
}

void FileCommands::MenuFileSavePerfNamesClick()
{
    const auto chosen =
        ctx_.dialogs.chooseSaveFile("Save Performance-names as ...", kNamesFilter, ctx_.settings.lastDir, {});
    if (!chosen)
        return;
    ctx_.rememberFolderOf(*chosen);
    const auto path = changeExtension(pathFromUtf8(*chosen), kNamesExtension);
    if (auto e = writeNamesFile(path, ctx_.names().lines())) {
        ctx_.reportFileError(*e);
        return;
    }
    ctx_.settings.aktPerfList = utf8FromPath(path);
}

void FileCommands::MenuFileOpenPerfNamesClick()
{
    const auto chosen =
        ctx_.dialogs.chooseOpenFile("Select Performance-name file", kNamesFilter, ctx_.settings.lastDir);
    if (!chosen)
        return;
    ctx_.rememberFolderOf(*chosen);
    auto lines = readNamesFile(pathFromUtf8(*chosen));
    if (!lines) {
        ctx_.reportFileError(lines.error());
        return;
    }
    ctx_.names().setAll(*lines);
    ctx_.settings.aktPerfList = *chosen;
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
