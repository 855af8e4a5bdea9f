// The reader of the user's fields beside an export, and the JSON under it:
// any bytes are read or refused, never more than the caps allow; what is
// taken is written and read back the same, and every string written is
// JSON again.

#include "FuzzSupport.h"

#include "files/Json.h"
#include "store/FieldsFile.h"

using namespace kw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto doc = json::parse(text); doc && doc->type == json::Value::Type::String) {
        const auto again = json::parse(json::quoted(doc->text));
        FUZZ_CHECK(again && again->text == doc->text, "a string written does not read back");
    }
    const auto read = parseFields(text);
    if (!read) {
        FUZZ_CHECK(!read.error().empty(), "a refusal without a reason");
        return 0;
    }
    const auto back = parseFields(fieldsText(*read));
    FUZZ_CHECK(back && back->size() == read->size(), "fields written do not read back");
    for (size_t i = 0; i < read->size(); ++i) {
        const RowEdit &a = (*read)[i].fields, &b = (*back)[i].fields;
        FUZZ_CHECK((*read)[i].data == (*back)[i].data, "the data changed");
        FUZZ_CHECK(a.name == b.name && a.tags == b.tags && a.notes == b.notes && a.rating == b.rating
                       && a.category == b.category && a.favourite == b.favourite,
                   "a field changed");
        for (const uint8_t byte : (*read)[i].data)
            FUZZ_CHECK(byte < 0x80, "a data byte of 0x80 or more");
        FUZZ_CHECK(!a.rating || (*a.rating >= 0 && *a.rating <= 5), "a rating out of range");
    }
    return 0;
}
