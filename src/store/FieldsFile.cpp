#include "store/FieldsFile.h"

#include "files/FileCheck.h"
#include "files/FileIo.h"
#include "files/FilePaths.h"
#include "files/Json.h"
#include "model/NameTables.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace kw {

namespace {

constexpr const char* kKind = "Knobwright performance fields";
// What one entry may hold: far above what a user types, far below what
// would let a file of a few megabytes cost much more once read.
constexpr size_t kMaxText = 256;
constexpr size_t kMaxNotes = 64 * 1024;
constexpr size_t kMaxTags = 100;

std::string hexOf(const PerformanceData& d)
{
    static const char* const digits = "0123456789abcdef";
    std::string out;
    for (const uint8_t b : d) {
        out += digits[b >> 4];
        out += digits[b & 0xF];
    }
    return out;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Refusals name the entry and the member; the reader stops at the first.
struct Refused {
    std::string why;
};

const json::Value* typed(const json::Value& o, const char* name, json::Value::Type type, const std::string& where)
{
    const json::Value* v = o.member(name);
    if (v && v->type != type)
        throw Refused{where + "'" + name + "' is not " + (type == json::Value::Type::String ? "text"
                                                         : type == json::Value::Type::Bool  ? "true or false"
                                                         : type == json::Value::Type::Array ? "a list"
                                                                                            : "a number")};
    return v;
}

std::string text(const json::Value& v, const char* name, size_t max, const std::string& where)
{
    if (v.text.size() > max)
        throw Refused{where + "'" + name + "' is longer than " + std::to_string(max) + " bytes"};
    return v.text;
}

ExportedFields entry(const json::Value& e, const std::string& where)
{
    using T = json::Value::Type;
    if (e.type != T::Object)
        throw Refused{where + "is not an object"};
    ExportedFields out;
    const json::Value* data = typed(e, "data", T::String, where);
    if (!data)
        throw Refused{where + "has no 'data'"};
    if (data->text.size() != 2 * kPerformanceDataSize)
        throw Refused{where + "'data' is not " + std::to_string(kPerformanceDataSize) + " bytes in hex"};
    for (size_t i = 0; i < kPerformanceDataSize; ++i) {
        const int hi = hexDigit(data->text[2 * i]), lo = hexDigit(data->text[2 * i + 1]);
        if (hi < 0 || lo < 0)
            throw Refused{where + "'data' is not " + std::to_string(kPerformanceDataSize) + " bytes in hex"};
        if (hi > 7)
            throw Refused{where + "'data' holds a byte of 0x80 or more"};
        out.data[i] = uint8_t(hi << 4 | lo);
    }
    RowEdit& f = out.fields;
    if (const json::Value* v = typed(e, "name", T::String, where))
        f.name = text(*v, "name", kMaxText, where);
    if (const json::Value* v = e.member("category")) {
        if (!v->isInteger(0, kCategories - 1))
            throw Refused{where + "'category' is not 0 to " + std::to_string(kCategories - 1)};
        f.category = int(v->number);
    }
    if (const json::Value* v = typed(e, "favourite", T::Bool, where))
        f.favourite = v->boolean;
    if (const json::Value* v = e.member("rating")) {
        if (!v->isInteger(0, 5))
            throw Refused{where + "'rating' is not 0 to 5"};
        f.rating = int(v->number);
    }
    if (const json::Value* v = typed(e, "tags", T::Array, where)) {
        if (v->items.size() > kMaxTags)
            throw Refused{where + "has more than " + std::to_string(kMaxTags) + " tags"};
        std::vector<std::string> tags;
        for (const json::Value& t : v->items) {
            if (t.type != T::String)
                throw Refused{where + "a tag is not text"};
            tags.push_back(text(t, "tags", kMaxText, where));
        }
        f.tags = std::move(tags);
    }
    if (const json::Value* v = typed(e, "notes", T::String, where))
        f.notes = text(*v, "notes", kMaxNotes, where);
    return out;
}

} // namespace

fs::path fieldsFileFor(const fs::path& exported)
{
    fs::path out = exported;
    out += std::string(kFieldsSuffix);
    return out;
}

fs::path freeFieldsFile(const fs::path& folder, const std::string& stem)
{
    for (int n = 1;; ++n) {
        const fs::path p = folder / pathFromUtf8(stem + (n == 1 ? "" : " (" + std::to_string(n) + ")")
                                                 + std::string(kFieldsSuffix));
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(p, ec)))
            return p;
    }
}

bool isFieldsFile(const fs::path& path)
{
    const std::string name = path.filename().string();
    return name.size() > kFieldsSuffix.size() && name.ends_with(kFieldsSuffix);
}

std::vector<ExportedFields> exportedFields(std::span<const LibraryRow> rows, std::span<const PerformanceRecord> records)
{
    std::vector<ExportedFields> out;
    for (size_t i = 0; i < rows.size() && i < records.size(); ++i) {
        ExportedFields e;
        e.data = performanceData(records[i]);
        const LibraryRow& r = rows[i];
        e.fields.name = r.name;
        e.fields.category = r.category;
        e.fields.favourite = r.favourite;
        e.fields.rating = r.rating;
        e.fields.tags = r.tags;
        e.fields.notes = r.notes;
        out.push_back(std::move(e));
    }
    return out;
}

std::string fieldsText(std::span<const ExportedFields> entries)
{
    std::string out = "{\n  \"kind\": " + json::quoted(kKind) + ",\n  \"version\": " + std::to_string(kFieldsVersion)
                      + ",\n  \"performances\": [";
    for (size_t i = 0; i < entries.size(); ++i) {
        const RowEdit& f = entries[i].fields;
        out += i == 0 ? "\n" : ",\n";
        out += "    {\n      \"data\": \"" + hexOf(entries[i].data) + "\"";
        if (f.name)
            out += ",\n      \"name\": " + json::quoted(*f.name);
        if (f.category)
            out += ",\n      \"category\": " + std::to_string(*f.category);
        if (f.favourite)
            out += std::string(",\n      \"favourite\": ") + (*f.favourite ? "true" : "false");
        if (f.rating)
            out += ",\n      \"rating\": " + std::to_string(*f.rating);
        if (f.tags) {
            out += ",\n      \"tags\": [";
            for (size_t t = 0; t < f.tags->size(); ++t)
                out += (t ? ", " : "") + json::quoted((*f.tags)[t]);
            out += "]";
        }
        if (f.notes)
            out += ",\n      \"notes\": " + json::quoted(*f.notes);
        out += "\n    }";
    }
    out += entries.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

BasicResult<std::vector<ExportedFields>, std::string> parseFields(std::string_view text)
{
    using T = json::Value::Type;
    // The format needs three levels; a few more cost nothing.
    auto doc = json::parse(text, json::Limits{8, 1 << 20});
    if (!doc)
        return "not JSON: " + doc.error().what + " at byte " + std::to_string(doc.error().offset);
    try {
        if (doc->type != T::Object)
            throw Refused{"not an object"};
        const json::Value* kind = doc->member("kind");
        if (!kind || kind->type != T::String || kind->text != kKind)
            throw Refused{"no Knobwright fields file"};
        const json::Value* version = doc->member("version");
        if (!version || !version->isInteger(1, INT32_MAX))
            throw Refused{"'version' is not a version"};
        if (version->number > kFieldsVersion)
            throw Refused{"made by a newer Knobwright (version " + std::to_string(int64_t(version->number)) + ")"};
        const json::Value* list = doc->member("performances");
        if (!list || list->type != T::Array)
            throw Refused{"'performances' is not a list"};
        std::vector<ExportedFields> out;
        for (size_t i = 0; i < list->items.size(); ++i)
            out.push_back(entry(list->items[i], "performance " + std::to_string(i + 1) + ": "));
        return out;
    } catch (const Refused& r) {
        return r.why;
    }
}

BasicResult<std::vector<ExportedFields>, std::string> readFieldsFile(const fs::path& path)
{
    // InputFile takes regular files only: a FIFO named like one is not waited on.
    auto in = InputFile::open(path);
    if (!in)
        return "cannot read: " + (in.error().reason.empty() ? in.error().text() : in.error().reason);
    if (in->size() > kFieldsMaxBytes)
        return "too large (" + groupedNumber(in->size()) + " bytes; at most " + groupedNumber(kFieldsMaxBytes) + ")";
    auto bytes = in->read(size_t(in->size()));
    if (!bytes)
        return "cannot read: " + (bytes.error().reason.empty() ? bytes.error().text() : bytes.error().reason);
    return parseFields(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

SaveError writeFieldsFile(const fs::path& path, std::span<const ExportedFields> entries)
{
    const std::string text = fieldsText(entries);
    return writeFileAtomically(path, ByteView(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

} // namespace kw
