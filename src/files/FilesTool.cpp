#include "files/FilesTool.h"

#include "files/BankFile.h"
#include "files/FilePaths.h"
#include "files/PerformanceFile.h"
#include "model/Cp1252.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <ostream>

namespace fs = std::filesystem;

namespace kw {

namespace {

constexpr const char* kUsage =
    "Usage: knobwright-files COMMAND ARGUMENTS\n"
    "Reads and writes Knobwright's performance files (.SYX, one performance of the\n"
    "Yamaha CS1x in 317 bytes) and performance banks (.PFB).\n"
    "\n"
    "  info FILE...                list the performances in each file and what is\n"
    "                              wrong with them\n"
    "  extract BANK.PFB N OUT.SYX  write performance N of a bank as a performance file\n"
    "                              (the last one when the bank holds several)\n"
    "  pack OUT.PFB IN...          gather performance files and banks into one bank;\n"
    "                              a later performance replaces an earlier one of the\n"
    "                              same number\n"
    "  unpack BANK.PFB DIR         write each performance of a bank into DIR as\n"
    "                              CATEGORY_Name.SYX and list the files written\n"
    "  renumber IN.SYX N OUT.SYX   address a performance file to performance N and\n"
    "                              recompute its checksums (OUT may be IN)\n"
    "  --help                      show this text\n"
    "\n"
    "N is a user-performance number 1..128, as the synthesizer shows it.\n"
    "Files are replaced only once the new content is complete.\n"
    "\n"
    "Exit status: 0 done; 1 info found a damaged record, or extract found no such\n"
    "performance; 2 a file could not be read or written, or is neither a 317-byte\n"
    "performance file nor a valid bank, or the command line is wrong.\n";

enum Exit { Ok = 0, Fault = 1, Failed = 2 };

// What a file holds, whichever of the two kinds it is.
struct Loaded {
    bool bank = false;
    std::vector<PerformanceRecord> records;  // file order, numbers unchecked
};

// "FILE: Load-Error : Wrong filesize", with the system's reason when there is one.
std::string describe(const std::string& shown, const FileError& e)
{
    return shown + ": " + e.text() + (e.reason.empty() ? "" : " (" + e.reason + ")");
}

// Names and abbreviations come from files of unknown origin: nothing in them
// may steer the terminal.
std::string printable(std::string_view cp1252)
{
    std::string s = cp1252ToUtf8(cp1252);
    for (char& c : s)
        if (uint8_t(c) < 0x20 || c == 0x7F)
            c = '?';
    return s;
}

bool hasExtension(const fs::path& p, std::string_view ext)
{
    const std::string e = utf8FromPath(p.extension());
    return std::equal(e.begin(), e.end(), ext.begin(), ext.end(),
                      [](char a, char b) { return std::toupper(uint8_t(a)) == std::toupper(uint8_t(b)); });
}

// A 317-byte file is a performance file, anything else must be a bank. A file
// that is neither is described in the words of the kind it seems meant to be.
Result<Loaded> loadAny(const fs::path& path)
{
    auto in = InputFile::open(path);
    if (!in)
        return in.error();
    if (in->size() == PerformanceRecord::kSize) {
        auto record = readPerformanceFile(path);
        if (!record)
            return record.error();
        return Loaded{false, {*record}};
    }
    const uint64_t size = in->size();
    auto bank = readBankBytes(path);
    if (bank)
        return Loaded{true, bankRecords(*bank)};
    if (bank.error().kind == FileErrorKind::WrongFilesize || hasExtension(path, kBankExtension))
        return bank.error();
    return FileError{FileErrorKind::NotAPerformanceFile, path, std::to_string(size) + " bytes"};
}

std::optional<int> performanceNumber(const std::string& text)
{
    int n = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, n);
    if (text.empty() || text.size() > 4 || ec != std::errc() || ptr != end || n < 1 || n > 128)
        return std::nullopt;
    return n - 1;
}

class Tool {
public:
    Tool(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    int run(const std::vector<std::string>& args)
    {
        if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
            out_ << kUsage;
            return Ok;
        }
        const std::string cmd = args.empty() ? std::string() : args[0];
        const std::vector<std::string> rest(args.begin() + (args.empty() ? 0 : 1), args.end());
        if (cmd == "info" && !rest.empty())
            return info(rest);
        if (cmd == "extract" && rest.size() == 3)
            return extract(rest[0], rest[1], rest[2]);
        if (cmd == "pack" && rest.size() >= 2)
            return pack(rest[0], {rest.begin() + 1, rest.end()});
        if (cmd == "unpack" && rest.size() == 2)
            return unpack(rest[0], rest[1]);
        if (cmd == "renumber" && rest.size() == 3)
            return renumber(rest[0], rest[1], rest[2]);
        return usageError(cmd.empty() ? "no command given" : "wrong command line: " + cmd);
    }

private:
    int usageError(const std::string& what)
    {
        err_ << "knobwright-files: " << what << "\nTry 'knobwright-files --help'.\n";
        return Failed;
    }

    int failed(const std::string& shown, const FileError& e)
    {
        err_ << describe(shown, e) << '\n';
        return Failed;
    }

    // The number argument as 0..127; a wrong one is reported as a usage error.
    std::optional<int> numberArgument(const std::string& text)
    {
        const auto number = performanceNumber(text);
        if (!number)
            usageError("N must be a user-performance number 1..128, not " + text);
        return number;
    }

    int saveFailed(const FileError& e) { return failed(utf8FromPath(e.path), e); }

    void reportSkipped(const std::string& shown, const std::vector<std::string>& skipped)
    {
        for (const std::string& s : skipped)
            err_ << shown << ": " << s << '\n';
    }

    int info(const std::vector<std::string>& files)
    {
        int status = Ok;
        for (const std::string& f : files) {
            auto loaded = loadAny(pathFromUtf8(f));
            if (!loaded) {
                status = failed(f, loaded.error());
                continue;
            }
            if (loaded->bank)
                out_ << f << ": performance bank, " << loaded->records.size() << " records\n";
            else
                out_ << f << ": performance file\n";
            for (const PerformanceRecord& r : loaded->records) {
                out_ << entryNumber(r.number()) << "  " << printable(r.shortEntry());
                const std::vector<std::string> faults = r.faults();
                for (size_t i = 0; i < faults.size(); ++i)
                    out_ << (i == 0 ? "  " : "; ") << faults[i];
                out_ << '\n';
                if (!faults.empty() && status == Ok)
                    status = Fault;
            }
        }
        return status;
    }

    int extract(const std::string& bankName, const std::string& numberText, const std::string& outName)
    {
        const auto number = numberArgument(numberText);
        if (!number)
            return Failed;
        auto bank = readBankFile(pathFromUtf8(bankName));
        if (!bank)
            return failed(bankName, bank.error());
        reportSkipped(bankName, bank->skipped);
        const auto& records = bank->records;
        const auto last = std::find_if(records.rbegin(), records.rend(),
                                       [&](const PerformanceRecord& r) { return r.number() == *number; });
        if (last == records.rend()) {
            err_ << bankName << ": holds no performance " << entryNumber(*number) << '\n';
            return Fault;
        }
        if (auto e = writePerformanceFile(pathFromUtf8(outName), *last))
            return saveFailed(*e);
        return Ok;
    }

    int pack(const std::string& outName, const std::vector<std::string>& inputs)
    {
        std::array<std::optional<PerformanceRecord>, 128> slots;
        for (const std::string& in : inputs) {
            auto loaded = loadAny(pathFromUtf8(in));
            if (!loaded)
                return failed(in, loaded.error());
            int position = 0;
            for (const PerformanceRecord& r : loaded->records) {
                ++position;
                if (r.numberInRange() >= 0) {
                    slots[size_t(r.numberInRange())] = r;
                } else if (loaded->bank) {
                    err_ << in << ": " << skippedRecordReport(position) << '\n';
                } else {
                    err_ << in << ": performance number out of range\n";
                    return Failed;
                }
            }
        }
        std::vector<PerformanceRecord> records;
        for (const auto& s : slots)
            if (s)
                records.push_back(*s);
        if (auto e = writeBankFile(pathFromUtf8(outName), records))
            return saveFailed(*e);
        return Ok;
    }

    int unpack(const std::string& bankName, const std::string& dirName)
    {
        auto bank = readBankFile(pathFromUtf8(bankName));
        if (!bank)
            return failed(bankName, bank.error());
        reportSkipped(bankName, bank->skipped);
        const fs::path dir = pathFromUtf8(dirName);
        std::error_code ec;
        fs::create_directories(dir, ec);
        if (ec)
            return failed(dirName, FileError{FileErrorKind::CannotSave, dir, ec.message()});
        DistinctNames names;
        for (const PerformanceRecord& r : bank->records) {
            const fs::path file = dir / pathFromUtf8(names.claim(performanceFileName(r.category(), r.name())));
            if (auto e = writePerformanceFile(file, r))
                return saveFailed(*e);
            out_ << utf8FromPath(file) << '\n';
        }
        return Ok;
    }

    int renumber(const std::string& inName, const std::string& numberText, const std::string& outName)
    {
        const auto number = numberArgument(numberText);
        if (!number)
            return Failed;
        auto record = readPerformanceFile(pathFromUtf8(inName));
        if (!record)
            return failed(inName, record.error());
        record->setNumber(*number, Checksums::Recompute);
        if (auto e = writePerformanceFile(pathFromUtf8(outName), *record))
            return saveFailed(*e);
        return Ok;
    }

    std::ostream& out_;
    std::ostream& err_;
};

} // namespace

int runFilesTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    return Tool(out, err).run(args);
}

} // namespace kw
