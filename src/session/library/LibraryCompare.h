#pragma once
// Compare and "Find similar" over the library, without a window: what
// differs between two kept performances (or one and the edited performance,
// or one and a file), parameter by parameter in the controls' words, and
// which kept performances sound nearest to one. Problems are said through
// the dialog interface.

#include "model/Parameters.h"
#include "store/Store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kw {

class LibraryCommands;

inline constexpr const char* kCompareFileTitle = "Compare with a performance file";

struct Comparison {
    std::string left, right;  // "PD Aurora", "the edited performance", "PD_Dawn.SYX"
    std::vector<Difference> differences;
};

struct SimilarEntry {
    LibraryRow row;
    double distance = 0;
    bool twin = false;
};

class LibraryCompare {
public:
    explicit LibraryCompare(LibraryCommands& commands) : commands_(commands) {}

    std::optional<Comparison> entries(int64_t a, int64_t b);
    std::optional<Comparison> withEdited(int64_t a);
    // Asks for the file; nothing when the user cancels or the file holds
    // not exactly one sound performance (which is said).
    std::optional<Comparison> withFile(int64_t a);

    // The `limit` entries nearest in sound to entry `id`, nearest first.
    std::optional<std::vector<SimilarEntry>> similar(int64_t id, size_t limit);

private:
    struct Entry {
        std::string label;
        PerformanceData data;
    };
    // The entry as an export writes it, with the user's name and category.
    std::optional<Entry> entry(int64_t id);
    void problem(const std::string& text);

    LibraryCommands& commands_;
};

} // namespace kw
