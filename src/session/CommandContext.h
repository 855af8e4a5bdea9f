#pragma once
// What the File and Bulk-Dump commands work with: the edit session (image,
// editor state, senders, the user-performance list), the receiver that runs
// every transfer, the dialogs, and the settings whose folders the commands
// remember. One lives for the whole run, beside the window.

#include "files/BankFile.h"
#include "files/FileCheck.h"
#include "files/FileError.h"
#include "files/PerformanceRecord.h"
#include "session/StatusTexts.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kw {

class Dialogs;
class EditSession;
class LibraryKeeper;
class Receiver;
class Senders;
class UserPerfNames;
struct Settings;

// File dialog filters; the lower-case extensions are listed too, as other
// programs write them so.
inline constexpr const char* kSysExFilter = "SysEx binary (*.SYX *.syx);;All files (*)";
inline constexpr const char* kBankFilter = "Performance-banks (*.PFB *.pfb);;All files (*)";
inline constexpr const char* kNamesFilter = "Performance-name files (*.PFN *.pfn);;All files (*)";

inline constexpr const char* kSaveBankTitle = "Save Performance-bank as ...";
struct CommandContext {
    EditSession& session;
    Receiver& rx;
    Dialogs& dialogs;
    Settings& settings;
    std::function<bool()> inputOpen;
    // What the bank save dialog's name field offers next: the name it last
    // held, whichever command saved a bank.
    std::string lastBankName{};
    // Today's date as the bank names show it ("2025-03-01").
    std::function<std::string()> today = localDate;
    // A bank is being read (readBankInSlices).
    bool readingBank = false;
    // Where what passes through is kept; none in tests that do not look.
    LibraryKeeper* keeper = nullptr;

    Senders& senders();
    UserPerfNames& names();
    bool outputOpen();
    bool bothPortsOpen();
    // True when the output is open; otherwise says so in a box. A command
    // that sends to the synth and finds no port must not look as if it had.
    bool needOutput();
    // The same for a command that fetches: both ports must be open.
    bool needBothPorts();
    // True (and says so on the status line) while a transfer runs or a bank
    // is being read; commands that would talk to the synth then do nothing.
    // Only the single transfer to disk leaves the window usable while it runs.
    bool refuseWhileBusy();
    // Reads the bank at `path` a slice at a time through the scheduler, so
    // the window paints and takes input meanwhile, however large the bank;
    // then `done` gets what readBankFile() gives. The window is busy
    // meanwhile, as it is while a transfer runs.
    void readBankInSlices(const std::filesystem::path& path, std::function<void(Result<BankContents>)> done);
    // A box of lines (records left out, files refused): at most ten shown,
    // then "and 31,490 more"; the whole list in the box's details.
    void informList(const std::vector<std::string>& lines, const char* between = "\n");

    struct BankRead;
    void readSlice(const std::shared_ptr<BankRead>& read);

    // A message box with the file error: its words, the file and the reason.
    void reportFileError(const FileError& e);
    // A performance file the user picks ("Select User-Performance file",
    // starting at `Last-Dir`, which then becomes its folder), read and made
    // safe to send: data bytes of 0x80 or more are cut to seven bits and the
    // status line says how many. Nothing when the user cancels or the file
    // cannot be read (which is reported).
    std::optional<PerformanceRecord> openPerformanceFile();
    // `Last-Dir` := the folder of a chosen file.
    void rememberFolderOf(const std::string& utf8Path);
    // The name the bank save dialog proposes: the one it last held, or
    // before any `stem` and today's date ("CS1x backup 2025-03-01.PFB"), so
    // a backup a month later does not replace this one unasked.
    std::string proposedBankName(const char* stem) const;

    static std::string localDate();
};

// "3 data bytes above 127 cut to 7 bits" for a record that needed it.
std::string clampedText(int bytes);

} // namespace kw
