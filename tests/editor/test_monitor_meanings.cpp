// The MIDI monitor reads a parameter change as the window's controls show
// its value: for every row of the field tables that is sent as a parameter
// change, every position its control can take (a sample of the variation
// parameters' on every variation type), the line the monitor makes of the
// message sent is the control's own text.

#include "editor/EditorContext.h"
#include "editor/PageKit.h"
#include "midi/MidiMeaning.h"
#include "model/EffectTables.h"
#include "model/NameTables.h"
#include "model/VariationPages.h"
#include "support/MainWindowFixture.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QTabBar>

using namespace kw;

namespace {

struct MonitorMeanings : kwtest::MainWindowFixture {
    // The monitor's line for the last parameter change sent to `address`
    // (the low byte; layer 1 or the common blocks), read with the
    // performance as it stands, as the monitor reads it.
    std::string meaningOfLast(bool layer, uint8_t address)
    {
        for (auto m = port.sent.rbegin(); m != port.sent.rend(); ++m)
            if ((m->size() == 9 || m->size() == 10) && (*m)[3] == 0x4B && (*m)[4] == 0x60
                && (*m)[5] == (layer ? 1 : 0) && (*m)[6] == address) {
                MeaningContext context = meaningContext(*m, image.edit);
                const std::string separator = pagekit::decimalSeparator();
                context.decimalSeparator = separator;
                return messageMeaning(*m, context);
            }
        return {};
    }
    std::string text(const char* name)
    {
        QWidget* w = find(name);
        if (auto* label = qobject_cast<QLabel*>(w))
            return label->text().toStdString();
        if (auto* list = qobject_cast<QListWidget*>(w))
            return list->currentItem() ? list->currentItem()->text().toStdString() : "(none)";
        if (auto* combo = qobject_cast<QComboBox*>(w))
            return combo->currentText().toStdString();
        return "(" + std::string(name) + " shows no text)";
    }
    std::string onOff(const char* box) { return find<QCheckBox>(box)->isChecked() ? " on" : " off"; }
    // The button of `rows` that is checked, by its name.
    std::string checkedOf(const std::vector<const FieldRow*>& rows)
    {
        for (const FieldRow* r : rows)
            if (find<QRadioButton>(r->control)->isChecked())
                return r->control;
        return "(none checked)";
    }

    // What the controls of `row` show now, said as the monitor says it.
    std::string shown(const FieldRow& row, int tab)
    {
        const std::string c = row.control;
        const std::string bank = row.tabStride ? " (bank " + std::to_string(tab + 1) + ")" : "";
        if (c == "PanPot" || c == "RandomPan")
            return find<QCheckBox>("RandomPan")->isChecked() ? "Random Pan on" : "Pan Pot " + text("Label_PanPot");
        if (c == "ArpTempo" || c == "ArpTempoMidi")
            return find<QCheckBox>("ArpTempoMidi")->isChecked() ? "Arp Tempo Midi on"
                                                                : "Arp Tempo " + text("Label_ArpTempo");
        if (c.rfind("ArpMode", 0) == 0)
            return "Arp Mode On" + onOff("ArpModeOn") + ", Hold" + onOff("ArpModeHold") + ", Split"
                   + onOff("ArpModeSplit");
        if (c.rfind("Assign2Layer", 0) == 0 || c == "Assign2Para") {
            std::vector<const FieldRow*> layers;
            for (const char* l : {"Assign2Layer1", "Assign2Layer2", "Assign2Layer3", "Assign2Layer4"})
                layers.push_back(findField(l));
            return "Assign2" + bank + " " + checkedOf(layers).substr(7) + ", Para " + text("Assign2Para");
        }
        if (row.encoding == Encoding::Radio) {
            std::vector<const FieldRow*> group;
            for (const auto* table : {&layerFieldTable(), &commonFieldTable()})
                for (const FieldRow& r : *table)
                    if (r.encoding == Encoding::Radio && r.block == row.block && r.offset == row.offset)
                        group.push_back(&r);
            return spacedName(checkedOf(group).c_str()) + bank;
        }
        const std::string name = spacedName(row.control) + bank;
        if (row.encoding == Encoding::CheckBox)
            return name + onOff(row.control);
        if (row.label == LabelRule::ItemText)
            return name + " " + text(row.control);
        return name + " " + text(("Label_" + c).c_str());
    }
};

} // namespace

TEST_F(MonitorMeanings, EveryParameterAControlSendsReadsAsTheControlShowsIt)
{
    session.recordHistory(false);
    const FieldRow& bankRow = *findField("PatchBankNumber");
    int checked = 0;
    for (const auto* table : {&layerFieldTable(), &commonFieldTable()})
        for (const FieldRow& row : *table) {
            if ((row.send != SendKind::LayerParam && row.send != SendKind::Param && row.send != SendKind::Param2)
                || std::string_view(row.control).rfind("VPara", 0) == 0)
                continue;
            // The voice list is named by its bank: a few banks, the last too.
            const bool voice = std::string_view(row.control) == "PatchVoiceNumber";
            for (const int bankEntry : voice ? std::vector<int>{0, 1, 30, kBankRows - 1} : std::vector<int>{-1}) {
                if (bankEntry >= 0) {
                    pagekit::edit(ctx, bankRow, bankEntry);
                    ctx.bindings.refresh(bankRow);
                }
                for (int tab = 0; tab < (row.tabStride ? assignBank::kBanks : 1); ++tab) {
                    if (row.tabStride)
                        find<QTabBar>("Assign2Tab")->setCurrentIndex(tab);
                    const uint8_t address = uint8_t(blockInfo(row.block).addrLow
                                                    + (row.send == SendKind::Param2 ? row.pairOffset(tab)
                                                                                    : row.offsetFor(tab)));
                    for (int position = row.min; position <= row.max; ++position) {
                        SCOPED_TRACE(std::string(row.control) + " tab " + std::to_string(tab) + " position "
                                     + std::to_string(position) + " bank " + std::to_string(bankEntry));
                        port.clear();
                        // As the control's handler does, then the control set from the image.
                        pagekit::edit(ctx, row, position, tab);
                        {
                            // A radio group's binding is its first button's row.
                            const SendsPaused pause(state);
                            row.encoding == Encoding::Radio ? ctx.bindings.refreshAll() : ctx.bindings.refresh(row);
                        }
                        const std::string meaning = meaningOfLast(row.isLayer(), address);
                        if (meaning.empty())
                            continue;  // nothing sent: unchecking MIDI clock, say
                        ASSERT_EQ(meaning, "Parameter change " + std::string(row.isLayer() ? "layer 1 " : "common ")
                                               + shown(row, tab));
                        ++checked;
                    }
                }
            }
        }
    EXPECT_GT(checked, 7000);
}

TEST_F(MonitorMeanings, AVariationParameterReadsAsItsBarOnThePageOfTheVariationType)
{
    session.recordHistory(false);
    const FieldRow& type = *findField("VariType");
    int checked = 0;
    for (int t = 0; t < int(fx::variationTypes().size()); ++t) {
        pagekit::edit(ctx, type, t);
        ctx.bindings.refresh(type);
        for (int slot = 0; slot < vari::kSlots; ++slot) {
            const std::string name = "VPara" + std::to_string(vari::kParamNumbers[size_t(slot)]);
            QSlider* bar = slider(name.c_str());
            if (!bar->isEnabled())
                continue;
            // The ends of the range, a step in from each, and some between.
            const int span = bar->maximum() - bar->minimum();
            for (const int step : {0, 1, span / 7, span / 3, span / 2, span - 1, span}) {
                SCOPED_TRACE(std::string(fx::variationTypes()[size_t(t)].name) + " " + name + " +" + std::to_string(step));
                port.clear();
                bar->setValue(bar->minimum() + step);
                const std::string meaning = meaningOfLast(false, uint8_t(0x30 + vari::pairOffset(slot)));
                if (meaning.empty())
                    continue;  // the position it already stood at
                ASSERT_EQ(meaning, "Parameter change common Variation " + text(("Text_" + name).c_str()) + " "
                                       + text(("Label_" + name).c_str()));
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 500);
}
