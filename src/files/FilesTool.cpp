#include "files/FilesTool.h"

#include "files/BankFile.h"
#include "files/FileCheck.h"
#include "files/FileIo.h"
#include "files/FilePaths.h"
#include "files/PerformanceFile.h"
#include "model/Explore.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <csignal>
#include <istream>
#include <optional>
#include <ostream>
#include <random>
#include <sstream>
#include <system_error>

#ifndef KW_VERSION
#define KW_VERSION "unknown"
#endif

namespace fs = std::filesystem;

namespace kw {

namespace {

constexpr const char* kProgram = "knobwright-files";

constexpr const char* kUsage =
    "Usage: knobwright-files [OPTION]... COMMAND ARGUMENT...\n"
    "Reads and writes Knobwright's performance files (.SYX, one performance of the\n"
    "Yamaha CS1x in 317 bytes) and performance banks (.PFB), and keeps every\n"
    "performance it is given once in the performance library.\n"
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
    "  mutate IN.SYX OUT.SYX       a variation of a performance: every number of the\n"
    "                              groups not locked moves a little (--strength,\n"
    "                              --seed, --lock, --choices)\n"
    "  morph A.SYX B.SYX PCT OUT.SYX\n"
    "                              PCT percent (0..100) of the way from A to B, in\n"
    "                              A's name, category, layers and key ranges (--lock)\n"
    "  breed IN... OUT.PFB         a bank of children of the performances of the\n"
    "                              files and banks, in the first one's name, category,\n"
    "                              layers and key ranges (--count, --seed, --lock,\n"
    "                              --strength, --choices)\n"
    "  library import PATH...      keep every performance of the files and folders\n"
    "                              (.SYX, .PFB, .MID, subfolders too) in the library,\n"
    "                              each once, and say how many were new\n"
    "  library search [TEXT]       list the library's performances whose name,\n"
    "                              category, tags or origin hold every word of TEXT\n"
    "  library export TEXT OUT     write what a search for TEXT finds, 128 at most,\n"
    "                              as one bank (OUT.MID: a MIDI file; OUT.SYX: the\n"
    "                              bulk dumps), numbered from 1 in name order, and\n"
    "                              OUT.knobwright.json with what the user added\n"
    "  library diff A B            list every parameter that differs between two\n"
    "                              performances, each a file of one performance or\n"
    "                              a search text that finds one entry\n"
    "  library similar TEXT [N]    list the N (10) performances nearest in sound to\n"
    "                              the one TEXT names, with their distance\n"
    "  library info TEXT           print the entry TEXT names whole: its fields,\n"
    "                              every place it was seen, its twins and versions\n"
    "  library tag TEXT TAG...     put the tags on (untag: take them off) every\n"
    "  library untag TEXT TAG...   performance a search for TEXT finds\n"
    "\n"
    "  -f, --force          pack damaged records; renumber a file that is no whole\n"
    "                       performance; let the sound tools take a whole record\n"
    "                       whose checksum or data bytes are damaged\n"
    "      --library FILE   the library to use (default:\n"
    "                       $XDG_DATA_HOME/Knobwright/library.sqlite)\n"
    "      --json           library info prints JSON\n"
    "      --strength PCT   how far mutate moves a number, 1..100 % of its range\n"
    "                       (default 20; breed mutates its children at a quarter)\n"
    "      --seed N         the random numbers: the same seed, the same result\n"
    "                       (default: a new one, named on standard error)\n"
    "      --lock GROUP     leave GROUP as it is: common, effects, arpeggiator,\n"
    "                       layer1 .. layer4 (repeat for several)\n"
    "      --choices        mutate may change choices too (waves, effect types,\n"
    "                       banks, voices, switches), with a chance of the strength\n"
    "      --count N        how many children breed makes, 1..128 (default 8)\n"
    "  -h, --help           show this text\n"
    "      --version        show the version\n"
    "  --                   end of the options: what follows are arguments\n"
    "\n"
    "The sound tools never change a performance's name, category, receive\n"
    "channels and switches, its layers' on/off, key and velocity ranges, its\n"
    "volume or its loudest layer's volume (no other layer rises above that one),\n"
    "and never write over one of their inputs.\n"
    "\n"
    "N is a user-performance number 1..128, as the synthesizer shows it. A file\n"
    "named - is standard input, an output named - standard output. A file is\n"
    "replaced only once its new content is complete; a symbolic link is written\n"
    "through, a folder, FIFO or device is not written.\n"
    "\n"
    "Exit status: 0 done; 1 a damaged record was found (info lists it, extract and\n"
    "unpack write it as it is, library import leaves it out), extract found no such\n"
    "performance, a library search found nothing, an export found more than a\n"
    "bank holds, or library diff found a difference; 2 a file could not be read or\n"
    "written, is no performance file or bank, or holds damaged records without\n"
    "--force, a search text named no entry or several where one is needed, the\n"
    "library failed, the command line is wrong, or a signal stopped it.\n";

enum Exit { Ok = 0, Fault = 1, Failed = 2 };

volatile std::sig_atomic_t g_stop = 0;

extern "C" void onStopSignal(int signal)
{
    g_stop = signal;
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

std::string joined(const std::vector<std::string>& parts)
{
    std::string s;
    for (const std::string& p : parts)
        s += (s.empty() ? "" : "; ") + p;
    return s;
}

std::string countText(size_t n, const char* one, const char* many)
{
    return groupedNumber(n) + " " + (n == 1 ? one : many);
}

// "record 6 (SQ Pan Seq)": the number as the synth shows it, whatever the
// record's place in its file.
std::string recordText(const CheckedRecord& r)
{
    return "record " + std::to_string(r.record.number() + 1) + " (" + printable(r.record.shortEntry()) + ")";
}

// What is wrong with one record, as the commands that stop on it or go on
// past it say it.
std::string damageText(FileKind kind, const CheckedRecord& r)
{
    const std::string faults = joined(r.faults.texts());
    if (kind == FileKind::Bank)
        return recordText(r) + ": " + faults;
    return (r.faults.whole() ? "damaged performance: " : "not a whole performance file: ") + faults;
}

struct Options {
    bool force = false, help = false, version = false, json = false;
    // The sound tools' options as given, in order ("--seed", "7").
    std::vector<std::pair<std::string, std::string>> sound;
    std::string library;
    std::vector<std::string> operands;
    std::string unknown;  // the first option not understood
    std::string noValue;  // the first option that lacks its value
};

// Options may stand anywhere before "--"; "-" alone is an argument.
Options parseOptions(const std::vector<std::string>& args)
{
    Options o;
    bool optionsEnd = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnd || a.size() < 2 || a[0] != '-')
            o.operands.push_back(a);
        else if (a == "--")
            optionsEnd = true;
        else if (a.starts_with("--library=") && a.size() > 10)
            o.library = a.substr(10);
        else if (a == "--library" && i + 1 < args.size())
            o.library = args[++i];
        else if ((a == "--library" || a == "--library=") && o.noValue.empty())
            o.noValue = "--library";
        else if (a == "--help" || a == "-h")
            o.help = true;
        else if (a == "--version")
            o.version = true;
        else if (a == "--force" || a == "-f")
            o.force = true;
        else if (a == "--json")
            o.json = true;
        else if (a == "--choices")
            o.sound.emplace_back(a, "");
        else if ((a == "--strength" || a == "--seed" || a == "--lock" || a == "--count") && i + 1 < args.size())
            o.sound.emplace_back(a, args[++i]);
        else if ((a == "--strength" || a == "--seed" || a == "--lock" || a == "--count") && o.noValue.empty())
            o.noValue = a;
        else if (o.unknown.empty())
            o.unknown = a;
    }
    return o;
}

class Tool {
public:
    Tool(std::istream& in, std::ostream& out, std::ostream& err, const std::map<std::string, ToolCommand>& more)
        : in_(in), out_(out), err_(err), more_(more)
    {
    }

    int run(const std::vector<std::string>& args)
    {
        const int status = command(args);
        out_.flush();
        if (out_)
            return status;
        if (stopSignal() && status != Failed)
            stopped("standard output", "not written: ");
        return Failed;
    }

private:
    int command(const std::vector<std::string>& args)
    {
        const Options o = parseOptions(args);
        force_ = o.force;
        if (!o.unknown.empty())
            return usageError("unknown option '" + o.unknown + "'");
        if (!o.noValue.empty())
            return usageError("option '" + o.noValue + "' needs a value");
        if (o.help) {
            out_ << kUsage;
            return out_ ? Ok : Failed;
        }
        if (o.version) {
            out_ << kProgram << ' ' << KW_VERSION << '\n';
            return out_ ? Ok : Failed;
        }
        if (o.operands.empty())
            return usageError("no command given");
        const std::string& cmd = o.operands[0];
        const std::vector<std::string> rest(o.operands.begin() + 1, o.operands.end());
        if (o.json && !more_.contains(cmd))
            return usageError("option '--json' is for library info only");
        const bool soundTool = cmd == "mutate" || cmd == "morph" || cmd == "breed";
        if (!soundTool && !o.sound.empty())
            return usageError("option '" + o.sound.front().first + "' is for mutate, morph and breed only");
        if (soundTool)
            return sound(cmd, rest, o.sound);
        if (cmd == "info")
            return arguments(cmd, rest, {"no input files"}, true) ? info(rest) : Failed;
        if (cmd == "extract")
            return arguments(cmd, rest, {"no bank file", "no performance number", "no output file"})
                       ? extract(rest[0], rest[1], rest[2])
                       : Failed;
        if (cmd == "pack")
            return arguments(cmd, rest, {"no output file", "no input files"}, true)
                       ? pack(rest[0], {rest.begin() + 1, rest.end()})
                       : Failed;
        if (cmd == "unpack")
            return arguments(cmd, rest, {"no bank file", "no output folder"}) ? unpack(rest[0], rest[1]) : Failed;
        if (cmd == "renumber")
            return arguments(cmd, rest, {"no input file", "no performance number", "no output file"})
                       ? renumber(rest[0], rest[1], rest[2])
                       : Failed;
        if (const auto it = more_.find(cmd); it != more_.end())
            return it->second(ToolCall{rest, force_, o.library, o.json, in_, out_, err_});
        return usageError("unknown command '" + cmd + "'");
    }

    // ------------------------------------------------------------ messages

    int usageError(const std::string& what)
    {
        out_.flush();
        err_ << kProgram << ": " << what << "\nTry '" << kProgram << " --help'.\n";
        return Failed;
    }

    // Standard output first, so that a terminal or a file that takes both
    // shows a message where it happened.
    void report(const std::string& shown, const std::string& what)
    {
        out_.flush();
        err_ << kProgram << ": " << shown << ": " << what << '\n';
    }

    int failed(const std::string& shown, const FileError& e)
    {
        report(shown, plainText(e));
        return Failed;
    }

    int stopped(const std::string& shown, const std::string& what)
    {
        report(shown, what + signalText(stopSignal()));
        return Failed;
    }

    static std::string shownName(const std::string& name)
    {
        return name == "-" ? "standard input" : terminalText(name);
    }

    // `needed` names each argument in turn by what its absence is called;
    // with `more`, the last may be repeated.
    bool arguments(const std::string& cmd, const std::vector<std::string>& rest,
                   const std::vector<const char*>& needed, bool more = false)
    {
        if (rest.size() < needed.size()) {
            usageError(cmd + ": " + needed[rest.size()]);
            return false;
        }
        if (!more && rest.size() > needed.size()) {
            usageError(cmd + ": unexpected argument '" + rest[needed.size()] + "'");
            return false;
        }
        return true;
    }

    std::optional<int> numberArgument(const std::string& cmd, const std::string& text)
    {
        const auto number = performanceNumber(text);
        if (!number)
            usageError(cmd + ": N must be a user-performance number 1..128, not '" + text + "'");
        return number;
    }

    // ------------------------------------------------------------- reading

    Result<CheckedFile> load(const std::string& name)
    {
        if (name != "-")
            return checkFile(pathFromUtf8(name));
        if (stdinTaken_)
            return FileError{FileErrorKind::CannotOpen, {}, "standard input was read already"};
        stdinTaken_ = true;
        auto bytes = readInput();
        if (stopSignal())
            return FileError{FileErrorKind::CannotOpen, {}, signalText(stopSignal())};
        if (!bytes)
            return bytes.error();
        return checkFileBytes(*bytes);
    }

    // Standard input up to one byte beyond the largest bank: a longer
    // stream is judged by its first bytes, as a file that size would be.
    Result<Bytes> readInput()
    {
        const uint64_t limit = kBankSizeLimit + 1;
        Bytes data;
        std::array<char, 65536> buf;
        const auto mask = in_.exceptions();
        in_.exceptions(std::ios::badbit);
        try {
            while (in_ && data.size() < limit) {
                in_.read(buf.data(), std::streamsize(std::min<uint64_t>(buf.size(), limit - data.size())));
                data.insert(data.end(), buf.begin(), buf.begin() + in_.gcount());
            }
        } catch (const std::exception& e) {
            in_.exceptions(mask);
            return FileError{FileErrorKind::CannotOpen, {}, e.what()};
        }
        in_.exceptions(mask);
        if (data.size() >= limit) {
            auto e = checkFileSize(ByteView(data).first(kBankMagicSize), uint64_t(-1));
            if (e && e->kind == FileErrorKind::NotAPerformanceFile)
                e->reason = "more than " + groupedNumber(kBankSizeLimit) + " bytes";
            if (e && e->kind == FileErrorKind::WrongFilesize)
                e->kind = FileErrorKind::TooManyRecords;
            return *e;
        }
        return data;
    }

    // ------------------------------------------------------------- writing

    enum class Saved { Yes, Failed, Stopped };

    // `bytes` as the new content of `name`, all or nothing; "-" is standard
    // output. A stop by a signal before the file takes its place drops it
    // (the caller says so); a failure is reported here, but one of standard
    // output by the stream's owner, who knows why.
    Saved save(const std::string& name, ByteView bytes)
    {
        if (name == "-") {
            out_.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
            out_.flush();
            return out_ ? Saved::Yes : stopSignal() ? Saved::Stopped : Saved::Failed;
        }
        return save(pathFromUtf8(name), name, bytes);
    }

    Saved save(const fs::path& path, const std::string& shown, ByteView bytes)
    {
        AtomicFile f(path, AtomicFile::Sync::WhenReplacing);
        SaveError e = f.open();
        if (!e)
            e = f.write(bytes);
        if (!e && stopSignal()) {
            f.abandon();
            return Saved::Stopped;
        }
        if (!e)
            e = f.commit();
        if (e) {
            failed(shown, *e);
            return Saved::Failed;
        }
        return Saved::Yes;
    }

    // The exit status of a command whose last step wrote `name`.
    int saveStatus(const std::string& name, ByteView bytes, int done)
    {
        switch (save(name, bytes)) {
        case Saved::Yes: return done;
        case Saved::Failed: return Failed;
        case Saved::Stopped: return stopped(name == "-" ? "standard output" : name, "not written: ");
        }
        return Failed;
    }

    // One line per damaged record on standard error; answers how many.
    size_t reportDamage(const std::string& shown, const CheckedFile& f, const char* after = "")
    {
        size_t n = 0;
        for (const CheckedRecord& r : f.records) {
            if (!r.faults.none()) {
                report(shown, damageText(f.kind, r) + after);
                ++n;
            }
        }
        return n;
    }

    // ------------------------------------------------------------ commands

    int info(const std::vector<std::string>& files)
    {
        int status = Ok;
        for (const std::string& name : files) {
            const std::string shown = shownName(name);
            if (stopSignal())
                return stopped(shown, "not read: ");
            auto checked = load(name);
            if (stopSignal())
                return stopped(shown, "not read: ");
            if (!checked) {
                status = failed(shown, checked.error());
                continue;
            }
            const CheckedFile& f = *checked;
            if (f.kind == FileKind::Bank)
                out_ << shown << ": performance bank, " << countText(f.records.size(), "record", "records") << '\n';
            else if (f.records[0].faults.whole())
                out_ << shown << ": performance file\n";
            else
                out_ << shown << ": not a whole performance file\n";
            for (const CheckedRecord& r : f.records) {
                out_ << entryNumber(r.record.number()) << "  " << printable(r.record.shortEntry());
                if (!r.faults.none())
                    out_ << "  " << joined(r.faults.texts());
                out_ << '\n';
            }
            for (const std::string& note : f.notes)
                out_ << note << '\n';
            if (f.damaged() > 0 && status == Ok)
                status = Fault;
            if (!out_)
                return stopSignal() ? stopped("standard output", "not written: ") : Failed;
        }
        return status;
    }

    // A bank that a bank command can work on, or nothing (reported).
    std::optional<CheckedFile> loadBank(const std::string& name)
    {
        auto checked = load(name);
        if (!checked) {
            failed(shownName(name), checked.error());
            return std::nullopt;
        }
        if (checked->kind != FileKind::Bank) {
            report(shownName(name), "not a performance bank (a performance file)");
            return std::nullopt;
        }
        return std::move(*checked);
    }

    int extract(const std::string& bankName, const std::string& numberText, const std::string& outName)
    {
        const auto number = numberArgument("extract", numberText);
        if (!number)
            return Failed;
        const auto bank = loadBank(bankName);
        if (!bank)
            return Failed;
        const auto& records = bank->records;
        const auto last = std::find_if(records.rbegin(), records.rend(),
                                       [&](const CheckedRecord& r) { return r.record.number() == *number; });
        if (last == records.rend()) {
            report(shownName(bankName), "holds no performance " + entryNumber(*number));
            return Fault;
        }
        const bool damaged = !last->faults.none();
        if (damaged)
            report(shownName(bankName), damageText(FileKind::Bank, *last) + "; written as it is");
        return saveStatus(outName, last->record.bytes(), damaged ? Fault : Ok);
    }

    int pack(const std::string& outName, const std::vector<std::string>& inputs)
    {
        std::array<std::optional<PerformanceRecord>, 128> slots;
        size_t damaged = 0;
        for (const std::string& in : inputs) {
            const std::string shown = shownName(in);
            if (stopSignal())
                return stopped(outName, "not written: ");
            auto checked = load(in);
            if (stopSignal())
                return stopped(outName, "not written: ");
            if (!checked)
                return failed(shown, checked.error());
            damaged += reportDamage(shown, *checked);
            for (const std::string& note : checked->notes)
                report(shown, note);
            for (const CheckedRecord& r : checked->records) {
                if (r.record.numberInRange() >= 0)
                    slots[size_t(r.record.numberInRange())] = r.record;
                else if (force_)
                    report(shown, recordText(r) + ": no slot for its number; left out");
            }
        }
        if (damaged > 0 && !force_) {
            report(outName, "not written: " + countText(damaged, "damaged record", "damaged records")
                                + " (--force packs them anyway)");
            return Failed;
        }
        std::vector<PerformanceRecord> records;
        for (const auto& s : slots)
            if (s)
                records.push_back(*s);
        return saveStatus(outName, bankBytes(records), Ok);
    }

    int unpack(const std::string& bankName, const std::string& dirName)
    {
        if (dirName == "-")
            return usageError("unpack: the output folder cannot be standard output");
        const auto bank = loadBank(bankName);
        if (!bank)
            return Failed;
        const fs::path dir = pathFromUtf8(dirName);
        std::error_code ec;
        fs::create_directories(dir, ec);
        if (ec)
            return failed(dirName, FileError{FileErrorKind::CannotSave, dir, ec.message()});
        DistinctNames names;
        bool damaged = false;
        size_t written = 0;
        const auto stop = [&] {
            return stopped(dirName, "stopped after " + groupedNumber(written) + " of "
                                        + countText(bank->records.size(), "file", "files") + ": ");
        };
        for (const CheckedRecord& r : bank->records) {
            if (stopSignal())
                return stop();
            const fs::path file = claimInFolder(names, dir, performanceFileName(r.record.category(), r.record.name()));
            const std::string shown = utf8FromPath(file);
            if (!r.faults.none()) {
                report(shownName(bankName), damageText(FileKind::Bank, r) + "; written as it is");
                damaged = true;
            }
            const Saved saved = save(file, shown, r.record.bytes());
            if (saved != Saved::Yes)
                return saved == Saved::Stopped ? stop() : Failed;
            ++written;
            out_ << terminalText(shown) << '\n';
            if (!out_)
                return stopSignal() ? stop() : Failed;
        }
        return damaged ? Fault : Ok;
    }

    int renumber(const std::string& inName, const std::string& numberText, const std::string& outName)
    {
        const auto number = numberArgument("renumber", numberText);
        if (!number)
            return Failed;
        auto checked = load(inName);
        if (!checked)
            return failed(shownName(inName), checked.error());
        if (checked->kind != FileKind::Performance) {
            report(shownName(inName), "not a performance file (a performance bank)");
            return Failed;
        }
        const CheckedRecord& r = checked->records[0];
        if (!r.faults.whole() && !force_) {
            report(shownName(inName), damageText(FileKind::Performance, r) + " (--force renumbers it anyway)");
            return Failed;
        }
        PerformanceRecord record = r.record;
        record.setNumber(*number, Checksums::Recompute);
        return saveStatus(outName, record.bytes(), Ok);
    }

    // ------------------------------------------------------- sound tools

    struct SoundSettings {
        explore::Options options;
        std::optional<uint64_t> seed;
        int count = 8;
    };

    static std::optional<uint64_t> wholeNumber(const std::string& text, uint64_t max)
    {
        uint64_t n = 0;
        const char* end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), end, n);
        if (text.empty() || ec != std::errc() || ptr != end || n > max)
            return std::nullopt;
        return n;
    }

    // Each tool takes the options that mean something to it, no others.
    std::optional<SoundSettings> soundSettings(const std::string& cmd,
                                               const std::vector<std::pair<std::string, std::string>>& given)
    {
        SoundSettings s;
        for (const auto& [option, value] : given) {
            const bool takes = option == "--lock" || (option == "--count" ? cmd == "breed" : cmd != "morph");
            if (!takes) {
                usageError(cmd + ": no option '" + option + "' for " + cmd);
                return std::nullopt;
            }
            if (option == "--choices") {
                s.options.choices = true;
            } else if (option == "--lock") {
                const auto lock = explore::lockFromKey(value);
                if (!lock) {
                    usageError(cmd + ": --lock takes common, effects, arpeggiator or layer1..layer4, not '" + value
                               + "'");
                    return std::nullopt;
                }
                s.options.locks |= explore::lockBit(*lock);
            } else if (option == "--seed") {
                s.seed = wholeNumber(value, UINT64_MAX);
                if (!s.seed) {
                    usageError(cmd + ": --seed takes a whole number, not '" + value + "'");
                    return std::nullopt;
                }
            } else {
                const bool strength = option == "--strength";
                const auto n = wholeNumber(value, strength ? 100 : 128);
                if (!n || *n < 1) {
                    usageError(cmd + ": " + option + (strength ? " takes a percentage 1..100" : " takes 1..128")
                               + ", not '" + value + "'");
                    return std::nullopt;
                }
                (strength ? s.options.strength : s.count) = int(*n);
            }
        }
        return s;
    }

    // The records of `name` a sound tool may work on, or nothing (reported):
    // a file that cannot be read, is no performance file (with `bankToo`, no
    // bank either) or holds a damaged record is refused, as pack refuses it.
    std::optional<std::vector<PerformanceRecord>> soundInput(const std::string& name, bool bankToo)
    {
        auto checked = load(name);
        if (!checked) {
            failed(shownName(name), checked.error());
            return std::nullopt;
        }
        if (!bankToo && checked->kind != FileKind::Performance) {
            report(shownName(name), "not a performance file (a performance bank)");
            return std::nullopt;
        }
        std::vector<PerformanceRecord> records;
        for (const CheckedRecord& r : checked->records) {
            if (!r.faults.none() && !(force_ && r.faults.whole())) {
                report(shownName(name), damageText(checked->kind, r) + (r.faults.whole() ? " (--force takes it)" : ""));
                return std::nullopt;
            }
            records.push_back(r.record);
        }
        if (records.empty()) {
            report(shownName(name), "holds no performance");
            return std::nullopt;
        }
        return records;
    }

    static PerformanceImage imageOf(const PerformanceRecord& r)
    {
        PerformanceImage img;
        img.setDefaults();
        r.toEdit(img.edit);
        return img;
    }

    // An output that names one of the inputs (a link to it too) would lose
    // what it was made from.
    bool outputIsInput(const std::string& outName, const std::vector<std::string>& inputs)
    {
        if (outName == "-")
            return false;
        const fs::path out = pathFromUtf8(outName);
        for (const std::string& in : inputs) {
            if (in == "-")
                continue;
            std::error_code ec;
            if (in == outName || fs::equivalent(out, pathFromUtf8(in), ec)) {
                report(shownName(outName), "not written: it is an input; the tools never write over one");
                return true;
            }
        }
        return false;
    }

    int sound(const std::string& cmd, const std::vector<std::string>& rest,
              const std::vector<std::pair<std::string, std::string>>& given)
    {
        const bool ok = cmd == "mutate"  ? arguments(cmd, rest, {"no input file", "no output file"})
                        : cmd == "morph" ? arguments(cmd, rest, {"no file A", "no file B", "no percentage", "no output file"})
                                         : arguments(cmd, rest, {"no input files", "no output file"}, true);
        if (!ok)
            return Failed;
        auto settings = soundSettings(cmd, given);
        if (!settings)
            return Failed;
        const std::string& outName = rest.back();
        std::vector<std::string> inputs(rest.begin(), rest.end() - 1);
        std::optional<uint64_t> percent;
        if (cmd == "morph") {
            percent = wholeNumber(rest[2], 100);
            if (!percent)
                return usageError("morph: PCT must be a percentage 0..100, not '" + rest[2] + "'");
            inputs.pop_back();
        }
        if (outputIsInput(outName, inputs))
            return Failed;
        std::vector<std::vector<PerformanceRecord>> read;
        for (const std::string& in : inputs) {
            if (stopSignal())
                return stopped(outName, "not written: ");
            auto records = soundInput(in, cmd == "breed");
            if (!records)
                return Failed;
            read.push_back(std::move(*records));
        }
        if (!settings->seed && cmd != "morph") {
            settings->seed = (uint64_t(std::random_device{}()) << 32) | std::random_device{}();
            report(shownName(outName), "seed " + std::to_string(*settings->seed) + " (--seed makes it again)");
        }
        explore::Random random(settings->seed.value_or(0));
        const PerformanceRecord& first = read[0][0];
        const PerformanceImage base = imageOf(first);
        // A single performance keeps the number it had.
        const auto single = [&](const PerformanceImage& out) {
            const PerformanceRecord record = PerformanceRecord::fromEdit(out.edit, std::max(0, first.numberInRange()));
            return saveStatus(outName, record.bytes(), Ok);
        };
        if (cmd == "mutate")
            return single(explore::mutate(base, settings->options, random));
        if (cmd == "morph")
            return single(explore::morph(base, imageOf(read[1][0]), int(*percent), settings->options));
        std::vector<PerformanceImage> parents;
        for (const auto& file : read)
            for (const PerformanceRecord& r : file)
                parents.push_back(imageOf(r));
        std::vector<PerformanceRecord> children;
        int number = 0;
        for (const PerformanceImage& child : explore::breed(base, parents, settings->count, settings->options, random))
            children.push_back(PerformanceRecord::fromEdit(child.edit, number++));
        return saveStatus(outName, bankBytes(children), Ok);
    }

    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    const std::map<std::string, ToolCommand>& more_;
    bool force_ = false;
    bool stdinTaken_ = false;
};

} // namespace

int runFilesTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                 const std::map<std::string, ToolCommand>& more)
{
    return Tool(in, out, err, more).run(args);
}

int runFilesTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err)
{
    return runFilesTool(args, in, out, err, {});
}

int ToolCall::usageError(const std::string& what) const
{
    out.flush();
    err << kProgram << ": " << terminalText(what) << "\nTry '" << kProgram << " --help'.\n";
    return Failed;
}

void ToolCall::report(const std::string& shown, const std::string& what) const
{
    out.flush();
    // Names and reasons may come from outside (a file named with an escape
    // sequence, a reason quoting a name): never steer the terminal.
    err << kProgram << ": " << terminalText(shown) << ": " << terminalText(what) << '\n';
}

int runFilesTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::istringstream none;
    return runFilesTool(args, none, out, err);
}

void catchStopSignals()
{
#ifdef _WIN32
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
#else
    struct sigaction stop = {};
    stop.sa_handler = onStopSignal;
    sigemptyset(&stop.sa_mask);
    // No SA_RESTART: a read of standard input that waits returns at once.
    stop.sa_flags = 0;
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before = {};
        sigaction(s, nullptr, &before);
        if (before.sa_handler != SIG_IGN)
            sigaction(s, &stop, nullptr);
    }
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

int stopSignal()
{
    return g_stop;
}

std::string signalText(int signal)
{
    switch (signal) {
    case SIGINT: return "Interrupt";
    case SIGTERM: return "Terminated";
#ifdef SIGHUP
    case SIGHUP: return "Hangup";
#endif
    }
    return "signal " + std::to_string(signal);
}

} // namespace kw
