#include "store/LibraryTool.h"

#include "files/BankFile.h"
#include "files/FileCheck.h"
#include "files/FileIo.h"
#include "files/FilePaths.h"
#include "files/Json.h"
#include "files/MidiFile.h"
#include "files/RecordReader.h"
#include "model/NameTables.h"
#include "store/FieldsFile.h"
#include "store/Import.h"
#include "store/SoundDistance.h"
#include "store/Store.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <istream>
#include <iterator>
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

// How many `library similar` lists unless told.
constexpr size_t kSimilarShown = 10;

std::string distanceText(double d)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", d);
    return buf;
}

// One performance a command compares: an entry of the library or a file.
struct Side {
    std::string shown;  // "PD Aurora", or the file's name
    PerformanceData data{};
    int64_t id = 0;  // 0: not from the library
};

class LibraryCommand {
public:
    explicit LibraryCommand(const ToolCall& call) : c_(call) {}

    int run()
    {
        if (c_.args.empty())
            return c_.usageError("library: no subcommand (import, search, export, diff, similar, info, tag or untag)");
        const std::string& sub = c_.args[0];
        const std::vector<std::string> rest(c_.args.begin() + 1, c_.args.end());
        if (c_.json && sub != "info")
            return c_.usageError("option '--json' is for library info only");
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
        if (sub == "diff") {
            if (rest.size() != 2)
                return c_.usageError(rest.size() < 2 ? "library diff: two performances are needed"
                                                     : "library diff: unexpected argument '" + rest[2] + "'");
            return diff(rest[0], rest[1]);
        }
        if (sub == "similar") {
            if (rest.empty())
                return c_.usageError("library similar: no search text");
            if (rest.size() > 2)
                return c_.usageError("library similar: unexpected argument '" + rest[2] + "'");
            size_t n = kSimilarShown;
            if (rest.size() == 2) {
                const std::string& t = rest[1];
                const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
                if (ec != std::errc() || end != t.data() + t.size() || n == 0)
                    return c_.usageError("library similar: '" + t + "' is no number of performances");
            }
            return similar(rest[0], n);
        }
        if (sub == "info") {
            if (rest.size() != 1)
                return c_.usageError(rest.empty() ? "library info: no search text"
                                                  : "library info: unexpected argument '" + rest[1] + "'");
            return open() ? info(rest[0], c_.json) : Failed;
        }
        if (sub == "tag" || sub == "untag") {
            if (rest.size() < 2)
                return c_.usageError("library " + sub + (rest.empty() ? ": no search text" : ": no tags"));
            for (size_t i = 1; i < rest.size(); ++i)
                if (const std::string t = trimmed(rest[i]); t.empty() || t.find(',') != std::string::npos)
                    return c_.usageError("library " + sub + ": '" + rest[i]
                                         + "' is no tag (tags are not blank and hold no comma)");
            return open() ? retag(rest[0], std::vector<std::string>(rest.begin() + 1, rest.end()), sub == "tag")
                          : Failed;
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
        } else {
            if (auto e = writeFileAtomically(pathFromUtf8(outName), bytes, AtomicFile::Sync::WhenReplacing)) {
                c_.report(outName, plainText(*e));
                return Failed;
            }
            // What the user added goes beside it, for the library it is imported into.
            const std::span<const LibraryRow> written(rows->data(), n);
            const fs::path fields = fieldsFileFor(pathFromUtf8(outName));
            if (auto e = writeFieldsFile(fields, exportedFields(written, records))) {
                c_.report(utf8FromPath(fields), plainText(*e));
                return Failed;
            }
        }
        if (rows->size() > n) {
            c_.report(outName, "'" + text + "' finds " + groupedNumber(rows->size()) + " performances; the first "
                                   + groupedNumber(n) + " by name were written");
            return Fault;
        }
        return Ok;
    }

    static std::string trimmed(const std::string& t)
    {
        const size_t b = t.find_first_not_of(" \t");
        return b == std::string::npos ? std::string() : t.substr(b, t.find_last_not_of(" \t") - b + 1);
    }

    // The one entry `text` names: the only one a search finds, or among
    // several the only one whose name (or category and name) it is, letter
    // case aside. Anything else is said, naming a few of those found.
    std::optional<LibraryRow> one(const std::string& text)
    {
        const auto rows = found(text);
        if (!rows)
            return std::nullopt;
        if (rows->size() == 1)
            return rows->front();
        const std::string wanted = foldCase(trimmed(text));
        std::vector<const LibraryRow*> named;
        for (const LibraryRow& r : *rows)
            if (foldCase(r.name) == wanted || foldCase(trimBlanks(categoryAbbrev(r.category)) + " " + r.name) == wanted)
                named.push_back(&r);
        if (named.size() == 1)
            return *named.front();
        if (rows->empty()) {
            c_.report(shown_, "nothing matches '" + text + "'");
            return std::nullopt;
        }
        // Where each was seen tells apart two of one name.
        std::string some;
        for (size_t i = 0; i < rows->size() && i < 3; ++i)
            some += (i ? "; " : "") + entry((*rows)[i]) + " " + plain((*rows)[i].whereFrom);
        c_.report(shown_, "'" + text + "' matches " + groupedNumber(rows->size()) + " performances (" + some
                              + (rows->size() > 3 ? "; ..." : "") + "); add a word of the one meant");
        return std::nullopt;
    }

    // `arg` as a file when there is one of that name ("-": standard input),
    // else the library entry it names. A file must hold one sound
    // performance; one that holds none, several or a damaged one is refused.
    std::optional<Side> side(const std::string& arg)
    {
        std::error_code ec;
        if (arg == "-" || fs::exists(pathFromUtf8(arg), ec)) {
            Result<FileRecords> read = [&]() -> Result<FileRecords> {
                if (arg != "-")
                    return readRecords(pathFromUtf8(arg));
                const std::string bytes{std::istreambuf_iterator<char>(c_.in), std::istreambuf_iterator<char>()};
                return recordsFromBytes(ByteView(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
            }();
            const std::string shown = arg == "-" ? "standard input" : arg;
            if (!read) {
                c_.report(shown, plainText(read.error()));
                return std::nullopt;
            }
            for (const FoundRecord& r : read->records)
                if (!r.damage.empty()) {
                    c_.report(shown, r.damage);
                    return std::nullopt;
                }
            if (!read->problems.empty()) {
                c_.report(shown, read->problems.front());
                return std::nullopt;
            }
            if (read->records.size() != 1) {
                c_.report(shown, read->records.empty() ? "holds no performance"
                                                       : "holds " + groupedNumber(read->records.size())
                                                             + " performances; name a file of one");
                return std::nullopt;
            }
            return Side{shown, performanceData(read->records.front().record), 0};
        }
        if (!store_ && !open())
            return std::nullopt;
        const auto row = one(arg);
        if (!row)
            return std::nullopt;
        // As an export would write it: with the user's name and category.
        auto record = store_->record(row->id, 0);
        if (!record) {
            c_.report(shown_, record.error().text);
            return std::nullopt;
        }
        return Side{entry(*row), performanceData(*record), row->id};
    }

    int diff(const std::string& a, const std::string& b)
    {
        const auto from = side(a);
        if (!from)
            return Failed;
        const auto to = side(b);
        if (!to)
            return Failed;
        const std::vector<Difference> lines = dataDifferences(from->data, to->data);
        for (const Difference& d : lines)
            c_.out << plain(differenceLine(d)) << '\n';
        if (!c_.out)
            return Failed;
        return lines.empty() ? Ok : Fault;
    }

    int similar(const std::string& text, size_t n)
    {
        const auto from = side(text);
        if (!from)
            return Failed;
        if (!store_ && !open())
            return Failed;
        // A file the library holds is that entry: it is not its own neighbour.
        int64_t self = from->id;
        if (self == 0)
            if (auto held = store_->find(from->data); held && *held)
                self = **held;
        auto near = store_->nearest(from->data, n, self);
        if (!near) {
            c_.report(shown_, near.error().text);
            return Failed;
        }
        std::vector<int64_t> ids;
        for (const Nearby& e : *near)
            ids.push_back(e.id);
        auto rows = store_->rows(ids);
        if (!rows) {
            c_.report(shown_, rows.error().text);
            return Failed;
        }
        for (const Nearby& e : *near)
            for (const LibraryRow& r : *rows)
                if (r.id == e.id) {
                    c_.out << distanceText(e.distance) << "  " << entry(r) << "  " << plain(r.whereFrom)
                           << (e.twin ? "  (same sound)\n" : "\n");
                }
        if (!c_.out)
            return Failed;
        if (near->empty()) {
            c_.report(shown_, "the library holds no other performance to compare with");
            return Fault;
        }
        return Ok;
    }

    int info(const std::string& text, bool asJson)
    {
        const auto row = one(text);
        if (!row)
            return Failed;
        auto places = store_->places(row->id);
        auto kin = store_->kin(row->id);
        auto data = store_->data(row->id);
        if (!places || !kin || !data) {
            c_.report(shown_, !places ? places.error().text : !kin ? kin.error().text : data.error().text);
            return Failed;
        }
        auto twins = store_->rows(kin->twins);
        auto versions = store_->rows(kin->versions);
        if (!twins || !versions) {
            c_.report(shown_, !twins ? twins.error().text : versions.error().text);
            return Failed;
        }
        // How far each version lies from this one: how much it was changed.
        std::vector<double> apart;
        const SoundDistance distance(*data);
        for (const LibraryRow& v : *versions) {
            auto d = store_->data(v.id);
            apart.push_back(d ? distance.to(*d) : 0);
        }
        if (asJson)
            infoJson(*row, *places, *twins, *versions, apart);
        else
            infoText(*row, *places, *twins, *versions, apart);
        return c_.out ? Ok : Failed;
    }

    void infoText(const LibraryRow& r, const std::vector<Sighting>& places, const std::vector<LibraryRow>& twins,
                  const std::vector<LibraryRow>& versions, const std::vector<double>& apart)
    {
        std::ostream& o = c_.out;
        o << "Name: " << plain(r.name) << '\n'
          << "Category: " << trimBlanks(categoryAbbrev(r.category)) << '\n'
          << "Favourite: " << (r.favourite ? "yes" : "no") << '\n'
          << "Rating: " << r.rating << '\n';
        std::string tags;
        for (const std::string& t : r.tags)
            tags += (tags.empty() ? "" : ", ") + t;
        o << "Tags:" << (tags.empty() ? "" : " " + plain(tags)) << '\n'
          << "Notes:" << (r.notes.empty() ? "" : " " + plain(r.notes)) << '\n';
        o << "Seen:\n";
        for (const Sighting& s : places) {
            o << "  " << plain(s.place) << " (" << dateText(s.firstSeen);
            if (s.lastSeen != s.firstSeen)
                o << ", last " << dateText(s.lastSeen);
            o << ")";
            if (!s.import.empty())
                o << ", import of " << plain(s.import);
            o << '\n';
        }
        o << "Twins:" << (twins.empty() ? " none\n" : "\n");
        for (const LibraryRow& t : twins)
            o << "  " << entry(t) << "  " << plain(t.whereFrom) << '\n';
        o << "Versions:" << (versions.empty() ? " none\n" : "\n");
        for (size_t i = 0; i < versions.size(); ++i)
            o << "  " << distanceText(apart[i]) << "  " << entry(versions[i]) << "  " << plain(versions[i].whereFrom)
              << '\n';
    }

    void infoJson(const LibraryRow& r, const std::vector<Sighting>& places, const std::vector<LibraryRow>& twins,
                  const std::vector<LibraryRow>& versions, const std::vector<double>& apart)
    {
        const auto quoted = [](std::string_view s) { return json::quoted(s); };
        const auto others = [&](const std::vector<LibraryRow>& rows, const std::vector<double>* d) {
            std::string out = "[";
            for (size_t i = 0; i < rows.size(); ++i) {
                out += std::string(i ? ", " : "") + "{\"id\": " + std::to_string(rows[i].id)
                       + ", \"name\": " + quoted(rows[i].name)
                       + ", \"category\": " + quoted(trimBlanks(categoryAbbrev(rows[i].category)));
                if (d)
                    out += ", \"distance\": " + distanceText((*d)[i]);
                out += "}";
            }
            return out + "]";
        };
        std::string tags = "[";
        for (size_t i = 0; i < r.tags.size(); ++i)
            tags += (i ? ", " : "") + quoted(r.tags[i]);
        tags += "]";
        std::string seen = "[";
        for (size_t i = 0; i < places.size(); ++i) {
            const Sighting& s = places[i];
            seen += std::string(i ? ",\n    " : "\n    ") + "{\"place\": " + quoted(s.place)
                    + ", \"firstSeen\": " + quoted(dateText(s.firstSeen)) + ", \"lastSeen\": " + quoted(dateText(s.lastSeen))
                    + (s.import.empty() ? std::string() : ", \"import\": " + quoted(s.import)) + "}";
        }
        seen += places.empty() ? "]" : "\n  ]";
        c_.out << "{\n  \"id\": " << r.id << ",\n  \"name\": " << quoted(r.name)
               << ",\n  \"category\": " << quoted(trimBlanks(categoryAbbrev(r.category)))
               << ",\n  \"favourite\": " << (r.favourite ? "true" : "false") << ",\n  \"rating\": " << r.rating
               << ",\n  \"tags\": " << tags << ",\n  \"notes\": " << quoted(r.notes) << ",\n  \"places\": " << seen
               << ",\n  \"twins\": " << others(twins, nullptr) << ",\n  \"versions\": " << others(versions, &apart)
               << "\n}\n";
    }

    int retag(const std::string& text, const std::vector<std::string>& tags, bool add)
    {
        const auto rows = found(text);
        if (!rows)
            return Failed;
        if (rows->empty()) {
            c_.report(shown_, "nothing matches '" + text + "'");
            return Fault;
        }
        std::vector<std::string> given;
        for (const std::string& t : tags)
            given.push_back(trimmed(t));
        if (auto e = store_->begin()) {
            c_.report(shown_, e->text);
            return Failed;
        }
        std::vector<std::pair<const LibraryRow*, std::vector<std::string>>> changed;
        for (const LibraryRow& r : *rows) {
            std::vector<std::string> now = r.tags;
            if (add) {
                for (const std::string& t : given)
                    if (std::none_of(now.begin(), now.end(), [&](const std::string& o) { return foldCase(o) == foldCase(t); }))
                        now.push_back(t);
            } else {
                std::erase_if(now, [&](const std::string& o) {
                    return std::any_of(given.begin(), given.end(), [&](const std::string& t) { return foldCase(o) == foldCase(t); });
                });
            }
            // As the library lists them.
            std::sort(now.begin(), now.end());
            if (now == r.tags)
                continue;
            RowEdit e;
            e.tags = now;
            if (auto failed = store_->edit(std::vector<int64_t>{r.id}, e)) {
                store_->rollback();
                c_.report(shown_, failed->text);
                return Failed;
            }
            changed.emplace_back(&r, std::move(now));
        }
        if (auto e = store_->commit()) {
            c_.report(shown_, e->text);
            return Failed;
        }
        for (const auto& [r, now] : changed) {
            std::string list;
            for (const std::string& t : now)
                list += (list.empty() ? "" : ", ") + t;
            c_.out << entry(*r) << "  " << plain(list.empty() ? "(no tags)" : list) << '\n';
        }
        return c_.out ? Ok : Failed;
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
