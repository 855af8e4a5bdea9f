#include "library/EditSession.h"

#include "library/Dialogs.h"
#include "library/LibraryContext.h"
#include "midi/MidiCore.h"
#include "midi/Senders.h"
#include "midi/Ui.h"
#include "model/Cp1252.h"
#include "model/EffectTables.h"
#include "model/NameTables.h"
#include "model/VariationPages.h"

#include <algorithm>
#include <stdexcept>

namespace kw {

namespace {

const FieldRow& field(std::string_view control)
{
    const FieldRow* r = findField(control);
    if (!r)
        throw std::logic_error("no field row for " + std::string(control));
    return *r;
}

// The rows with rules of their own, looked up once.
struct Rows {
    const FieldRow& bank = field("PatchBankNumber");
    const FieldRow& voice = field("PatchVoiceNumber");
    const FieldRow& detune = field("NoteDetune");
    const FieldRow& volume = field("LayerVolume");
    const FieldRow& pan = field("PanPot");
    const FieldRow& randomPan = field("RandomPan");
    const FieldRow& noteLow = field("NoteLimitLow");
    const FieldRow& noteHigh = field("NoteLimitHigh");
    const FieldRow& layerOn = field("LayerOn");
    const FieldRow* velocity[4] = {&field("VelocityLimitLow"), &field("VelocityLimitHigh"),
                                   &field("VelocitySenseDepth"), &field("VelocitySenseOffset")};
    const FieldRow& tempo = field("ArpTempo");
    const FieldRow& tempoMidi = field("ArpTempoMidi");
    const FieldRow* arpModes[3] = {&field("ArpModeOn"), &field("ArpModeHold"), &field("ArpModeSplit")};
    const FieldRow& reverb = field("ReverbType");
    const FieldRow& chorus = field("ChorusType");
    const FieldRow& variation = field("VariType");
    const FieldRow& name = field("PerformanceName");
};

const Rows& rows()
{
    static const Rows r;
    return r;
}

// Positions of "Set to defaults", in the order of Rows::velocity.
constexpr int kVelocityDefaults[4] = {126, 0, 63, 63};

} // namespace

EditSession::EditSession(PerformanceImage& image, EditorState& state, Senders& senders)
    : image_(image), state_(state), senders_(senders)
{
    rows();  // a missing row is a programming error: fail at start, not on the first edit
}

BulkBlock& EditSession::block(const FieldRow& row)
{
    return row.isLayer() ? editLayer() : image_.edit[row.block];
}

const BulkBlock& EditSession::block(const FieldRow& row) const
{
    return row.isLayer() ? image_.edit.layer(state_.editLayer) : image_.edit[row.block];
}

void EditSession::writeLayer(size_t offset, uint8_t value)
{
    kw::writeLayerField(image_, state_, offset, value);
}

void EditSession::send(const FieldRow& row, int tab)
{
    const BlockInfo info = blockInfo(row.block);
    const BulkBlock& b = block(row);
    switch (row.send) {
    case SendKind::LayerParam: senders_.layerParameter(row.offset, b.data(row.offset)); break;
    case SendKind::LayerBulk: senders_.editLayerBlocks(state_.affectAll); break;
    case SendKind::Param:
        senders_.parameterChange(info.addrHigh, info.addrMid, row.addressLow(tab), b.data(row.offsetFor(tab)));
        break;
    case SendKind::Param2: {
        const uint8_t first = row.pairOffset(tab);
        senders_.parameterChange2(info.addrHigh, info.addrMid, uint8_t(info.addrLow + first), b.data(first),
                                  b.data(first + 1u));
        break;
    }
    case SendKind::Bulk: senders_.bulk(row.block); break;
    case SendKind::None: break;
    }
}

void EditSession::acted()
{
    userWork_ = true;
    if (links_.acted)
        links_.acted();
}

void EditSession::status(const std::string& text)
{
    if (links_.status)
        links_.status(text);
    else if (ui_)
        ui_->showStatus(text);
}

Echo EditSession::apply(const FieldRow& row, int position, int tab)
{
    acted();
    const Rows& r = rows();
    Echo echo;
    if (row.isLayer()) {
        if (&row == &r.noteLow || &row == &r.noteHigh)
            return noteLimit(row, position);
        if (&row == &r.pan)
            return pan(position);
        if (&row == &r.volume) {
            layerVolume(position);
            return echo;
        }
        if (&row == &r.detune) {
            const auto [high, low] = detune::nibbles(position);
            writeLayer(detune::kHighOffset, high);
            writeLayer(detune::kLowOffset, low);
        } else if (&row == &r.bank) {
            if (position < 0 || position >= kBankRows)
                return echo;
            const BankRow& bank = bankTable()[size_t(position)];
            writeLayer(row.offset, bank.msb);
            writeLayer(row.offset + 1u, bank.lsb);
        } else if (&row == &r.randomPan) {
            // While the box is checked the pan bar stands at the centre, and
            // the edit layer's byte reads back as the centre too (0 is
            // random): unchecking stores the bar's position.
            writeLayer(pan::kOffset, position ? pan::kRandom : uint8_t(this->position(r.pan)));
            if (position)
                echo.add(r.pan);
        } else {
            writeLayer(row.offset, row.storedFromPosition(position));
            if (&row == &r.layerOn)
                echo.add(row);  // the edit-layer captions show it
        }
        send(row);
        return echo;
    }

    BulkBlock& b = block(row);
    if (&row == &r.tempo || &row == &r.tempoMidi) {
        if (&row == &r.tempoMidi && !position)
            return echo;
        const auto [high, low] = tempo::bytes(&row == &r.tempo ? tempo::valueFromPosition(position) : 0);
        b.data(tempo::kHighOffset) = high;
        b.data(tempo::kLowOffset) = low;
        if (&row == &r.tempo)
            echo.add(r.tempoMidi);  // a tempo of its own: no longer MIDI clock
    } else if (&row == r.arpModes[0] || &row == r.arpModes[1] || &row == r.arpModes[2]) {
        return arpMode(row, position != 0);
    } else if (&row == &r.reverb || &row == &r.chorus) {
        const auto types = &row == &r.reverb ? fx::reverbTypes() : fx::chorusTypes();
        if (position < 0 || size_t(position) >= types.size())
            return echo;
        b.data(row.offset) = types[size_t(position)].msb;
        b.data(row.offset + 1u) = types[size_t(position)].lsb;
    } else if (&row == &r.variation) {
        if (position < 0 || size_t(position) >= fx::variationTypes().size())
            return echo;
        const fx::VariationType& t = fx::variationTypes()[size_t(position)];
        b.data(row.offset) = t.msb;
        b.data(row.offset + 1u) = t.lsb;
        // A new type always starts from its own defaults, even when it is the
        // type already chosen.
        for (int s = 0; s < vari::kSlots; ++s)
            vari::storeValue(b, s, t.defaults[size_t(s)]);
    } else {
        b.data(row.offsetFor(tab)) = row.storedFromPosition(position);
    }
    send(row, tab);
    return echo;
}

Echo EditSession::noteLimit(const FieldRow& row, int position)
{
    const Rows& r = rows();
    const bool low = &row == &r.noteLow;
    const FieldRow& other = low ? r.noteHigh : r.noteLow;
    Echo echo;
    // The limits never cross: the other one is pushed along first.
    const int otherPosition = this->position(other);
    if (low ? otherPosition < position : position < otherPosition) {
        writeLayer(other.offset, other.storedFromPosition(position));
        send(other);
        echo.add(other);
    }
    writeLayer(row.offset, row.storedFromPosition(position));
    send(row);
    return echo;
}

Echo EditSession::pan(int position)
{
    const Rows& r = rows();
    Echo echo;
    // Off the centre the pan is no longer random; at the centre the box
    // keeps whatever it shows.
    if (position != pan::kCentre)
        echo.add(r.randomPan);
    writeLayer(pan::kOffset, r.pan.storedFromPosition(position));
    send(r.pan);
    return echo;
}

void EditSession::sendVolume(int layer)
{
    const BlockInfo info = blockInfo(layerKind(layer));
    const uint8_t offset = rows().volume.offset;
    senders_.parameterChange(info.addrHigh, info.addrMid, uint8_t(info.addrLow + offset),
                             image_.edit.layer(layer).data(offset));
}

void EditSession::layerVolume(int position)
{
    const FieldRow& volume = rows().volume;
    const uint8_t v = volume.storedFromPosition(position);
    const int first = state_.affectAll ? 1 : state_.editLayer, last = state_.affectAll ? 4 : state_.editLayer;
    for (int l = first; l <= last; ++l) {
        MuteMemory& m = state_.mute[size_t(l - 1)];
        if (m.muted)
            m.savedVolume = v;  // takes effect when the layer is unmuted
        else
            image_.edit.layer(l).data(volume.offset) = v;
    }
    // Each layer gets its own byte: a muted edit layer must not silence the
    // other layers, nor an unmuted one wake a muted layer.
    for (int l = first; l <= last; ++l)
        sendVolume(l);
}

Echo EditSession::arpMode(const FieldRow& row, bool checked)
{
    const Rows& r = rows();
    BulkBlock& b = block(row);
    arpMode::Boxes boxes = arpMode::boxesFromByte(b.data(arpMode::kOffset));
    (&row == r.arpModes[0] ? boxes.on : &row == r.arpModes[1] ? boxes.hold : boxes.split) = checked;
    b.data(arpMode::kOffset) = arpMode::byteFromBoxes(arpMode::normalised(boxes));
    send(row);
    Echo echo;
    for (const FieldRow* mode : r.arpModes)
        echo.add(*mode);  // "On" clears "Hold"
    return echo;
}

Echo EditSession::velocityDefaults()
{
    acted();
    const Rows& r = rows();
    Echo echo;
    for (int i = 0; i < 4; ++i) {
        writeLayer(r.velocity[i]->offset, r.velocity[i]->storedFromPosition(kVelocityDefaults[i]));
        echo.add(*r.velocity[i]);
    }
    senders_.editLayerBlocks(state_.affectAll);
    return echo;
}

Echo EditSession::mute(int layer, bool down)
{
    acted();
    const FieldRow& volume = rows().volume;
    MuteMemory& m = state_.mute[size_t(layer - 1)];
    uint8_t& byte = image_.edit.layer(layer).data(volume.offset);
    Echo echo;
    if (down && !m.muted) {
        m.savedVolume = byte;
        byte = 0;
    } else if (!down && m.muted) {
        byte = m.savedVolume;
        if (layer == state_.editLayer)
            echo.add(volume);
    }
    m.muted = down;
    sendVolume(layer);
    return echo;
}

void EditSession::setName(std::string_view text)
{
    acted();
    const auto bytes = perfName::bytes(text);
    BulkBlock& c00 = image_.edit[BlockKind::Common00];
    for (size_t i = 0; i < bytes.size(); ++i)
        c00.data(perfName::kOffset + i) = bytes[i];
    send(rows().name);
}

void EditSession::setVariationValue(int slot, int value)
{
    acted();
    if (slot < 0 || slot >= vari::kSlots)
        return;
    BulkBlock& c30 = image_.edit[BlockKind::Common30];
    vari::storeValue(c30, slot, value);
    const BlockInfo info = blockInfo(BlockKind::Common30);
    const uint8_t first = vari::pairOffset(slot);
    senders_.parameterChange2(info.addrHigh, info.addrMid, uint8_t(info.addrLow + first), c30.data(first),
                              c30.data(first + 1u));
}

void EditSession::setEditLayer(int layer)
{
    state_.editLayer = std::clamp(layer, 1, 4);
    if (ui_)
        ui_->refreshLayerPage();
}

void EditSession::copyLayer()
{
    state_.layerClipboard.assign(editLayer().view());
    // A muted layer is copied with the volume it will have again, not its 0.
    const MuteMemory& m = state_.mute[size_t(state_.editLayer - 1)];
    if (m.muted)
        state_.layerClipboard.data(rows().volume.offset) = m.savedVolume;
    state_.clipboardFilled = true;
    status("Layerdata copied...");
}

void EditSession::pasteLayer()
{
    acted();
    if (!state_.clipboardFilled)
        return;
    const int layer = state_.editLayer;
    BulkBlock& b = editLayer();
    b.assign(state_.layerClipboard.view());
    // A muted layer stays silent: the pasted volume waits in the mute memory.
    MuteMemory& m = state_.mute[size_t(layer - 1)];
    if (m.muted) {
        uint8_t& volume = b.data(rows().volume.offset);
        m.savedVolume = volume;
        volume = 0;
    }
    senders_.bulk(layerKind(layer));
    if (ui_)
        ui_->refreshLayerPage();
    status("Layerdata pasted to Layer #" + std::to_string(layer) + "...");
}

int EditSession::position(const FieldRow& row, int tab) const
{
    const Rows& r = rows();
    const BulkBlock& b = block(row);
    if (&row == &r.pan || &row == &r.randomPan) {
        const pan::View view = pan::fromStored(b.data(pan::kOffset));
        return &row == &r.pan ? view.position : view.random ? 1 : 0;
    }
    if (&row == &r.detune)
        return detune::position(b.data(detune::kHighOffset), b.data(detune::kLowOffset));
    if (&row == &r.volume) {
        const MuteMemory& m = state_.mute[size_t(state_.editLayer - 1)];
        return row.positionFromStored(m.muted ? m.savedVolume : b.data(row.offset));
    }
    if (&row == &r.bank)
        return bankRowOf(b.data(row.offset), b.data(row.offset + 1u));
    if (&row == &r.voice)
        return row.positionFromStored(b.data(row.offset));  // the list always shows a voice
    if (&row == &r.tempo || &row == &r.tempoMidi) {
        const tempo::View view = tempo::fromStored(b.data(tempo::kHighOffset), b.data(tempo::kLowOffset));
        return &row == &r.tempo ? view.position : view.midiClock ? 1 : 0;
    }
    if (&row == r.arpModes[0] || &row == r.arpModes[1] || &row == r.arpModes[2]) {
        const arpMode::Boxes boxes = arpMode::boxesFromByte(b.data(arpMode::kOffset));
        return (&row == r.arpModes[0] ? boxes.on : &row == r.arpModes[1] ? boxes.hold : boxes.split) ? 1 : 0;
    }
    if (&row == &r.reverb || &row == &r.chorus || &row == &r.variation) {
        const uint8_t msb = b.data(row.offset), lsb = b.data(row.offset + 1u);
        const auto index = &row == &r.reverb  ? fx::reverbIndexOf(msb, lsb)
                           : &row == &r.chorus ? fx::chorusIndexOf(msb, lsb)
                                               : fx::variationIndexOf(msb, lsb);
        return index.value_or(-1);
    }
    const uint8_t stored = b.data(row.offsetFor(tab));
    if (row.label == LabelRule::ItemText)
        return stored;
    return row.positionFromStored(stored);
}

std::string EditSession::shownText(const FieldRow& row, int tab, std::string_view decimalSeparator) const
{
    // A stored tempo beyond the bar's end still shows its own beats per minute.
    if (&row == &rows().tempo) {
        const BulkBlock& b = block(row);
        return tempo::fromStored(b.data(tempo::kHighOffset), b.data(tempo::kLowOffset)).label;
    }
    return row.labelText(position(row, tab), decimalSeparator);
}

void EditSession::attach(Ui& ui, Dialogs& dialogs)
{
    ui_ = &ui;
    dialogs_ = &dialogs;
    names_.onChange([this](int index) {
        if (ui_)
            ui_->setUserPerfEntry(index, names_.entry(index));
    });
}

void EditSession::detach()
{
    names_.onChange({});
    ui_ = nullptr;
    dialogs_ = nullptr;
}

void EditSession::chooseUserPerf(int pp)
{
    if (pp < 0 || pp >= kUserPerformances || !ui_)
        return;
    // Without the synth nothing switches; the list keeps showing what the
    // editor holds, and the user learns why.
    const std::string why = links_.whyNoSynth ? links_.whyNoSynth() : std::string();
    if (!why.empty() || !senders_.portOpen() || !links_.inputOpen || !links_.inputOpen()) {
        ui_->selectUserPerf(state_.selectedUserPerf);
        if (!why.empty() && dialogs_)
            dialogs_->inform(why);
        return;
    }
    if (state_.modified && dialogs_ &&
        !dialogs_->confirm("Caution", "Changes on actual Performance will be lost - continue?")) {
        // The synth keeps playing the previous performance; so does the list.
        ui_->selectUserPerf(state_.selectedUserPerf);
        return;
    }
    switchTo(pp, Origin::List, cp1252ToUtf8(names_.entry(pp)));
}

void EditSession::programChange(int pp)
{
    if (ui_)
        switchTo(pp, Origin::Synth, {});
}

// The switch itself, for both callers. Their orders differ on purpose: a
// click shows its line on the status line and the window goes busy once the
// synth is told; a program change from the synth makes the window busy and
// moves the list to the synth's choice before anything is sent.
void EditSession::switchTo(int pp, Origin origin, const std::string& line)
{
    state_.selectedUserPerf = pp;
    if (origin == Origin::List) {
        status("Patch-Change " + line);
    } else {
        ui_->setBusy(true);
        ui_->selectUserPerf(pp);
    }
    senders_.selectUserPerformance(pp);
    if (origin == Origin::List)
        ui_->setBusy(true);
    if (links_.startFetch)
        links_.startFetch();
}

void EditSession::resetForRefresh()
{
    ++fullRefreshes_;
    userWork_ = false;
    state_.modified = false;
    state_.mute = {};
    state_.editLayer = 1;
    state_.affectAll = false;
}

void linkToCore(EditSession& session, MidiCore& core, std::function<bool()> inputOpen)
{
    core.dispatcher.setInputOpen(inputOpen);
    core.dispatcher.setProgramChangeAction([&session](int program) { session.programChange(program); });
    auto whyNoSynth = [&core, inputOpen] {
        return noSynthText(core.receiver.settings(), core.receiver.senders().portOpen(), inputOpen(), true);
    };
    session.link({[&core] { core.receiver.startPerformanceFetch(); }, std::move(inputOpen),
                  [&core](const std::string& text) { core.timers.status(text); },
                  [&core] { core.timers.clearStanding(); }, std::move(whyNoSynth)});
}

} // namespace kw
