#include "store/LibraryTool.h"

#include "files/BankFile.h"
#include "files/FileCheck.h"
#include "files/FileIo.h"
#include "files/FilePaths.h"
#include "files/MidiFile.h"
#include "model/NameTables.h"
#include "store/Import.h"
#include "store/Store.h"

#include <algorithm>
#include <cctype>
#include <ostream>

namespace fs = std::filesystem;

namespace kw {

namespace {

enum Exit { Ok = 0, Fault = 1, Failed = 2 };

// Names the user typed into the library may hold anything.
std::string plain(const std::string& text) { return terminalText(text); }

std::string entry(const LibraryRow& r)
{
    return plain(trimBlanks(categoryAbbrev(r.category)) + " " + r.name);
}

std::string upperExtension(const std::string& name)
{
    std::string ext = pathFromUtf8(name).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return ext;
}

class LibraryCommand {
public:
    explicit LibraryCommand(const ToolCall& call) : c_(call) {}

    int run()
    {
        if (c_.args.empty())
            return c_.usageError("library: no subcommand (import, search or export)");
        const std::string& sub = c_.args[0];
        const std::vector<std::string> rest(c_.args.begin() + 1, c_.args.end());
        if (sub == "import") {
            if (rest.empty())
                return c_.usageError("library import: no files or folders");
            return open(true) ? import(rest) : Failed;
        }
        if (sub == "search")
            return open() ? search(joinedWords(rest)) : Failed;
        if (sub == "export") {
            if (rest.size() < 2)
                return c_.usageError(rest.empty() ? "library export: no search text" : "library export: no output file");
            if (rest.size() > 2)
                return c_.usageError("library export: unexpected argument '" + rest[2] + "'");
            return open() ? exportFound(rest[0], rest[1]) : Failed;
        }
        return c_.usageError("library: unknown subcommand '" + sub + "'");
    }

private:
    static std::string joinedWords(const std::vector<std::string>& words)
    {
        std::string text;
        for (const std::string& w : words)
            text += (text.empty() ? "" : " ") + w;
        return text;
    }

    // `writes`: the command adds to the library (an import), so a missing
    // one is made. Only the program's own library is ever moved aside.
    bool open(bool writes = false)
    {
        path_ = c_.library.empty() ? defaultLibraryPath() : pathFromUtf8(c_.library);
        shown_ = utf8FromPath(path_);
        Store::Options options;
        options.moveAside = c_.library.empty();
        options.create = writes;
        auto store = Store::open(path_, options);
        if (!store) {
            c_.report(shown_, "cannot open the library: " + store.error().text);
            return false;
        }
        store_ = std::move(*store);
        for (const std::string& note : store_->notes())
            c_.report(shown_, note);
        return true;
    }

    int import(const std::vector<std::string>& names)
    {
        std::vector<fs::path> paths;
        int status = Ok;
        for (const std::string& n : names) {
            std::error_code ec;
            if (!fs::exists(pathFromUtf8(n), ec)) {
                // A path mistyped on the command line is the caller's to mend.
                status = Failed;
            }
            paths.push_back(pathFromUtf8(n));
        }
        ImportOptions options;
        options.keepGoing = [](const ImportProgress&) { return stopSignal() == 0; };
        const ImportResult r = importPaths(*store_, paths, options);
        for (const std::string& d : r.damaged)
            c_.report(d.substr(0, d.find(": ")), d.substr(std::min(d.size(), d.find(": ") + 2)));
        c_.out << r.summary() << '\n';
        const std::string after = "import stopped after " + groupedNumber(r.files) + " of " + groupedNumber(r.filesTotal)
                                  + (r.filesTotal == 1 ? " file: " : " files: ");
        if (r.stopped) {
            c_.report(shown_, after + r.stopped->text);
            return Failed;
        }
        if (r.cancelled || stopSignal()) {
            c_.report(shown_, after + signalText(stopSignal()));
            return Failed;
        }
        return status != Ok ? status : r.damaged.empty() ? Ok : Fault;
    }

    std::optional<std::vector<LibraryRow>> found(const std::string& text)
    {
        auto page = store_->search(text, SearchFilter(), 0, SIZE_MAX);
        if (!page) {
            c_.report(shown_, page.error().text);
            return std::nullopt;
        }
        return std::move(page->rows);
    }

    int search(const std::string& text)
    {
        const auto rows = found(text);
        if (!rows)
            return Failed;
        for (const LibraryRow& r : *rows) {
            c_.out << entry(r) << "  " << plain(r.whereFrom);
            if (!r.twinOf.empty())
                c_.out << "  (same sound as " << plain(r.twinOf) << ")";
            c_.out << '\n';
            if (!c_.out)
                return Failed;
        }
        if (rows->empty()) {
            c_.report(shown_, "nothing matches '" + text + "'");
            return Fault;
        }
        return Ok;
    }

    int exportFound(const std::string& text, const std::string& outName)
    {
        const auto rows = found(text);
        if (!rows)
            return Failed;
        if (rows->empty()) {
            c_.report(shown_, "nothing matches '" + text + "'; " + outName + " not written");
            return Fault;
        }
        const size_t n = std::min<size_t>(rows->size(), kUserPerformances);
        std::vector<PerformanceRecord> records;
        for (size_t i = 0; i < n; ++i) {
            auto r = store_->record((*rows)[i].id, int(i));
            if (!r) {
                c_.report(shown_, r.error().text);
                return Failed;
            }
            records.push_back(*r);
        }
        const std::string ext = upperExtension(outName);
        Bytes bytes;
        if (ext == ".MID" || ext == ".MIDI" || ext == ".SMF") {
            bytes = midiFileBytes(records);
        } else if (ext == ".SYX") {
            for (const PerformanceRecord& r : records)
                bytes.insert(bytes.end(), r.bytes().begin(), r.bytes().end());
        } else {
            bytes = bankBytes(records);
        }
        if (stopSignal()) {
            c_.report(outName, "not written: " + signalText(stopSignal()));
            return Failed;
        }
        if (outName == "-") {
            c_.out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
            c_.out.flush();
            if (!c_.out)
                return Failed;
        } else if (auto e = writeFileAtomically(pathFromUtf8(outName), bytes, AtomicFile::Sync::WhenReplacing)) {
            c_.report(outName, plainText(*e));
            return Failed;
        }
        if (rows->size() > n) {
            c_.report(outName, "'" + text + "' finds " + groupedNumber(rows->size()) + " performances; the first "
                                   + groupedNumber(n) + " by name were written");
            return Fault;
        }
        return Ok;
    }

    const ToolCall& c_;
    fs::path path_;
    std::string shown_;
    std::unique_ptr<Store> store_;
};

} // namespace

int runLibraryCommand(const ToolCall& call)
{
    return LibraryCommand(call).run();
}

} // namespace kw
