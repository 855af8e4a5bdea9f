// The settings: a stored flag's text, and a whole settings file of any
// content. Nothing escapes as an exception, a damaged file is kept aside as
// it was, and what was read is written and read back the same.

#include "FuzzSupport.h"

#include "model/Settings.h"
#include "shell/Settings.h"

#include <fstream>
#include <iterator>

using namespace kw;

namespace {

bool same(const Settings& a, const Settings& b)
{
    return a.midiIn == b.midiIn && a.midiOut == b.midiOut && a.lastDir == b.lastDir && a.perfBankDir == b.perfBankDir
           && a.aktPerfList == b.aktPerfList && a.showHints == b.showHints && a.longDelay == b.longDelay
           && a.synthKnobs == b.synthKnobs && a.programChanges == b.programChanges;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto v = parseSettingInteger(text)) {
        FUZZ_CHECK(parseSettingInteger(std::to_string(*v)) == v, "a number that does not read back");
        FUZZ_CHECK(flagFromText(text) == (*v != 0), "a flag that disagrees with its number");
    } else {
        FUZZ_CHECK(flagFromText(text), "a flag that is no number did not keep its default");
    }

    kwfuzz::clearScratch();
    const auto path = kwfuzz::scratchDir() / "Knobwright.conf";
    std::ofstream(path, std::ios::binary).write(text.data(), std::streamsize(text.size()));
    const QString file = QString::fromStdString(path.string());
    Settings first;
    std::optional<int> left, top;  // where the window stood
    {
        SettingsStore store(file);
        first = loadSettings(store, QStringLiteral("/program"), [](const QString&) {});
        left = store.readPlace("Left");
        top = store.readPlace("Top");
        if (!store.openProblem().isEmpty() && !std::filesystem::exists(path)) {
            std::ifstream aside(path.string() + ".bad", std::ios::binary);
            const std::string kept((std::istreambuf_iterator<char>(aside)), {});
            FUZZ_CHECK(kept == text, "a damaged settings file was not kept aside as it was");
        }
    }
    const QString clean = QString::fromStdString((kwfuzz::scratchDir() / "written.conf").string());
    {
        SettingsStore store(clean);
        if (left)
            store.writePlace("Left", *left);
        if (top)
            store.writePlace("Top", *top);
        saveSettings(store, first);
    }
    SettingsStore store(clean);
    FUZZ_CHECK(store.openProblem().isEmpty(), "settings written could not be read");
    FUZZ_CHECK(same(loadSettings(store, QStringLiteral("/elsewhere")), first), "settings written read back otherwise");
    FUZZ_CHECK(store.readPlace("Left") == left && store.readPlace("Top") == top,
               "the window's place written read back otherwise");
    return 0;
}
