#include "session/EditSession.h"

#include "midi/MidiCore.h"
#include "midi/Receiver.h"
#include "midi/Senders.h"
#include "midi/Ui.h"
#include "model/Cp1252.h"
#include "model/Parameters.h"
#include "model/VariationPages.h"
#include "session/Dialogs.h"
#include "session/FieldRules.h"
#include "session/SendJob.h"
#include "session/StatusTexts.h"

#include <algorithm>

namespace kw {

namespace {

// Positions of "Set to defaults", in the order of SpecialRows::velocity.
constexpr int kVelocityDefaults[4] = {126, 0, 63, 63};

constexpr const char* kComparingText = "Comparing with the original - press Compare to edit again";

uint8_t blockIndex(const BulkBlock& b) { return uint8_t(int(b.kind()) % kBlocksPerPerformance); }

// What a message of the step takes on the wire.
size_t messageBytes(const StepSend& m)
{
    switch (m.kind) {
    case StepSend::Param: return 9;    // F0 43 1n 4B ah am al dd F7
    case StepSend::Param2: return 10;  // ... with two data bytes
    case StepSend::Block: return blockInfo(BlockKind(m.block)).length();
    }
    return 0;
}

// The message a control's edit of `p` sends.
std::optional<StepSend> sendFor(const Parameter& p)
{
    const FieldRow* row = p.row ? p.row : findField(p.control);
    if (!row || p.bytes.empty())
        return std::nullopt;
    const ParamByte& first = p.bytes.front();
    const uint8_t block = uint8_t(first.block);
    switch (row->send) {
    case SendKind::LayerParam:
    case SendKind::Param: return StepSend{StepSend::Param, block, first.offset};
    case SendKind::Param2: return StepSend{StepSend::Param2, block, uint8_t(first.offset + row->pairDelta)};
    case SendKind::LayerBulk:
    case SendKind::Bulk: return StepSend{StepSend::Block, block, 0};
    case SendKind::None: break;
    }
    return std::nullopt;
}

} // namespace

class EditSession::Recording {
public:
    Recording(EditSession& session, EditStep step) : session_(session), step_(std::move(step))
    {
        // An edit inside another one belongs to the outer step.
        if (!session_.recording_ && session_.recordingOn_) {
            session_.recording_ = &step_.body();
            owner_ = true;
        }
    }
    ~Recording()
    {
        if (!owner_)
            return;
        session_.recording_ = nullptr;
        ++session_.moves_;
        if (session_.history_.record(std::move(step_)))
            session_.historyChanged();
    }
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

private:
    EditSession& session_;
    EditStep step_;
    bool owner_ = false;
};

EditSession::EditSession(PerformanceImage& image, EditorState& state, Senders& senders)
    : image_(image), state_(state), senders_(senders)
{
    specialRows();  // a missing row is a programming error: fail at start, not on the first edit
}

BulkBlock& EditSession::block(const FieldRow& row)
{
    return row.isLayer() ? editLayer() : image_.edit[row.block];
}

const BulkBlock& EditSession::block(const FieldRow& row) const
{
    return row.isLayer() ? image_.edit.layer(state_.editLayer) : image_.edit[row.block];
}

void EditSession::put(BulkBlock& b, size_t pos, uint8_t value)
{
    uint8_t& byte = b[pos];
    if (recording_)
        recording_->note(blockIndex(b), uint8_t(pos), byte, value);
    byte = value;
}

void EditSession::putMute(int layer, MuteMemory m)
{
    MuteMemory& was = state_.mute[size_t(layer - 1)];
    if (recording_) {
        recording_->note(kMuteBlock, savedVolumePos(layer), was.savedVolume, m.savedVolume);
        recording_->note(kMuteBlock, mutedPos(layer), was.muted, m.muted);
    }
    was = m;
}

void EditSession::writeLayer(size_t offset, uint8_t value)
{
    for (const int l : layers())
        putData(image_.edit.layer(l), offset, value);
}

void EditSession::sendOut(StepSend m)
{
    if (recording_)
        recording_->noteSend(m);
    const BlockKind kind = BlockKind(m.block);
    const BlockInfo info = blockInfo(kind);
    const BulkBlock& b = image_.edit[kind];
    switch (m.kind) {
    case StepSend::Param:
        senders_.parameterChange(info.addrHigh, info.addrMid, uint8_t(info.addrLow + m.offset), b.data(m.offset));
        break;
    case StepSend::Param2:
        senders_.parameterChange2(info.addrHigh, info.addrMid, uint8_t(info.addrLow + m.offset), b.data(m.offset),
                                  b.data(m.offset + 1u));
        break;
    case StepSend::Block: senders_.bulk(kind); break;
    }
}

void EditSession::send(const FieldRow& row, int tab)
{
    // Each layer gets its own byte: the same under "Edit all Layers
    // simult." after an edit, but not after an undo of one.
    const uint8_t common = uint8_t(row.block);
    switch (row.send) {
    case SendKind::LayerParam:
        for (const int l : layers())
            sendOut({StepSend::Param, uint8_t(layerKind(l)), row.offset});
        break;
    case SendKind::LayerBulk:
        for (const int l : layers())
            sendOut({StepSend::Block, uint8_t(layerKind(l)), 0});
        break;
    case SendKind::Param: sendOut({StepSend::Param, common, row.offsetFor(tab)}); break;
    case SendKind::Param2: sendOut({StepSend::Param2, common, row.pairOffset(tab)}); break;
    case SendKind::Bulk: sendOut({StepSend::Block, common, 0}); break;
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

void EditSession::report(const std::string& text)
{
    if (links_.report)
        links_.report(text);
    else
        status(text);
}

Echo EditSession::apply(const FieldRow& row, int position, int tab)
{
    if (refused())
        return {};
    acted();
    const Rule* rule = ruleFor(row);
    EditStep step = rule && rule->step ? rule->step(*this, row, position)
                                       : EditStep(FieldChange{&row, tab, row.isLayer() ? layers().scope() : 0});
    const Recording recording(*this, std::move(step));
    return rule ? rule->write(*this, row, position) : writeField(row, position, tab);
}

Echo EditSession::writeField(const FieldRow& row, int position, int tab)
{
    if (row.isLayer()) {
        writeLayer(row.offset, row.storedFromPosition(position));
        send(row);
    } else {
        putData(block(row), row.offsetFor(tab), row.storedFromPosition(position));
        send(row, tab);
    }
    return {};
}

void EditSession::sendVolume(int layer)
{
    sendOut({StepSend::Param, uint8_t(layerKind(layer)), specialRows().volume.offset});
}

Echo EditSession::velocityDefaults()
{
    if (refused())
        return {};
    acted();
    const Recording recording(*this, EditStep(LayerBulkChange{LayerBulkChange::VelocityDefaults, layers().scope()}));
    const SpecialRows& r = specialRows();
    Echo echo;
    for (int i = 0; i < 4; ++i) {
        writeLayer(r.velocity[i]->offset, r.velocity[i]->storedFromPosition(kVelocityDefaults[i]));
        echo.add(*r.velocity[i]);
    }
    for (const int l : layers())
        sendOut({StepSend::Block, uint8_t(layerKind(l)), 0});
    return echo;
}

Echo EditSession::mute(int layer, bool down)
{
    if (refused())
        return {};
    acted();
    const Recording recording(*this, EditStep(LayerSwitch{LayerSwitch::Mute, layer, down}));
    const FieldRow& volume = specialRows().volume;
    const MuteMemory m = state_.mute[size_t(layer - 1)];
    BulkBlock& b = image_.edit.layer(layer);
    const uint8_t byte = b.data(volume.offset);
    Echo echo;
    if (down && !m.muted) {
        putMute(layer, {byte, true});
        putData(b, volume.offset, 0);
    } else if (!down && m.muted) {
        putData(b, volume.offset, m.savedVolume);
        putMute(layer, {m.savedVolume, false});
        if (layer == state_.editLayer)
            echo.add(volume);
    }
    sendVolume(layer);
    return echo;
}

void EditSession::setName(std::string_view text)
{
    if (refused())
        return;
    acted();
    const Recording recording(*this, EditStep(NameChange{}));
    const auto bytes = perfName::bytes(text);
    BulkBlock& c00 = image_.edit[BlockKind::Common00];
    for (size_t i = 0; i < bytes.size(); ++i)
        putData(c00, perfName::kOffset + i, bytes[i]);
    send(specialRows().name);
}

void EditSession::setVariationValue(int slot, int value)
{
    if (refused())
        return;
    acted();
    if (slot < 0 || slot >= vari::kSlots)
        return;
    static const std::array<const FieldRow*, vari::kSlots> slots = [] {
        std::array<const FieldRow*, vari::kSlots> out{};
        for (int s = 0; s < vari::kSlots; ++s)
            out[size_t(s)] = &fieldRow("VPara" + std::to_string(vari::kParamNumbers[size_t(s)]));
        return out;
    }();
    const Recording recording(*this, EditStep(FieldChange{slots[size_t(slot)], 0, 0}));
    BulkBlock& c30 = image_.edit[BlockKind::Common30];
    const auto [high, low] = effectPair::split14(value);
    const uint8_t first = vari::pairOffset(slot);
    putData(c30, first, high);
    putData(c30, first + 1u, low);
    sendOut({StepSend::Param2, uint8_t(BlockKind::Common30), first});
}

size_t EditSession::applySound(const BlockSet& target, SoundChange::What what)
{
    if (refused())
        return 0;
    const FieldRow& volume = specialRows().volume;
    std::vector<const Parameter*> changed;
    for (const Parameter& p : performanceParameters()) {
        if (p.layer > 0 && p.row == &volume && state_.mute[size_t(p.layer - 1)].muted)
            continue;  // silent until unmuted: the mute memory holds its volume
        bool differs = false;
        for (const ParamByte& b : p.bytes)
            differs |= ((image_.edit[b.block].data(b.offset) ^ target[b.block].data(b.offset)) & b.mask) != 0;
        if (differs)
            changed.push_back(&p);
    }
    if (changed.empty())
        return 0;
    acted();
    size_t bytes = 0;
    {
        const Recording recording(*this, EditStep(SoundChange{what}));
        std::vector<StepSend> blocks, params;
        for (const Parameter* p : changed) {
            for (const ParamByte& b : p->bytes) {
                BulkBlock& block = image_.edit[b.block];
                const uint8_t mine = uint8_t(block.data(b.offset) & ~b.mask & 0x7F);
                putData(block, b.offset, uint8_t(mine | (target[b.block].data(b.offset) & b.mask)));
            }
            if (const auto m = sendFor(*p)) {
                auto& list = m->kind == StepSend::Block ? blocks : params;
                if (std::find(list.begin(), list.end(), *m) == list.end())
                    list.push_back(*m);
            }
        }
        // A block that goes out whole carries its parameters.
        for (const StepSend& m : blocks) {
            sendOut(m);
            bytes += messageBytes(m);
        }
        for (const StepSend& m : params) {
            const bool carried = std::any_of(blocks.begin(), blocks.end(),
                                             [&](const StepSend& b) { return b.block == m.block; });
            if (carried)
                continue;
            sendOut(m);
            bytes += messageBytes(m);
        }
    }
    if (ui_) {
        const SendsPaused pause(state_);
        ui_->showImage();
    }
    return bytes;
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
        state_.layerClipboard.data(specialRows().volume.offset) = m.savedVolume;
    state_.clipboardFilled = true;
    status("Layerdata copied...");
}

void EditSession::pasteLayer()
{
    if (refused())
        return;
    acted();
    if (!state_.clipboardFilled)
        return;
    const int layer = state_.editLayer;
    {
        const Recording recording(*this, EditStep(LayerBulkChange{LayerBulkChange::Paste, layer}));
        BulkBlock& b = editLayer();
        const BulkBlock& clip = state_.layerClipboard;
        for (size_t pos = 0; pos < b.size() && pos < clip.size(); ++pos)
            put(b, pos, clip[pos]);
        // A muted layer stays silent: the pasted volume waits in the mute memory.
        if (state_.mute[size_t(layer - 1)].muted) {
            const uint8_t offset = specialRows().volume.offset;
            putMute(layer, {b.data(offset), true});
            putData(b, offset, 0);
        }
        sendOut({StepSend::Block, uint8_t(layerKind(layer)), 0});
    }
    if (ui_)
        ui_->refreshLayerPage();
    status("Layerdata pasted to Layer #" + std::to_string(layer) + "...");
}

int EditSession::position(const FieldRow& row, int tab) const
{
    const Rule* rule = ruleFor(row);
    return rule ? rule->read(*this, row) : readField(row, tab);
}

int EditSession::readField(const FieldRow& row, int tab) const
{
    const uint8_t stored = block(row).data(row.offsetFor(tab));
    if (row.label == LabelRule::ItemText)
        return stored;
    return row.positionFromStored(stored);
}

std::string EditSession::shownText(const FieldRow& row, int tab, std::string_view decimalSeparator) const
{
    const Rule* rule = ruleFor(row);
    if (rule && rule->text)
        return rule->text(*this, row);
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
        !dialogs_->confirm("Caution", "Changes on actual Performance will be lost - continue?",
                           Dialogs::Default::No)) {
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
    // Whoever shows something else than a fetch says so right after.
    referenceFrom_ = From::Fetch;
    userWork_ = false;
    state_.modified = false;
    state_.mute = {};
    state_.editLayer = 1;
    state_.affectAll = false;
    reference_ = image_.edit;
    aside_.reset();
    startNewHistory();
}

void EditSession::startNewHistory()
{
    ++moves_;
    if (const size_t dropped = history_.clear())
        report("Undo history cleared (" + std::to_string(dropped) + (dropped == 1 ? " step)" : " steps)"));
    historyChanged();
}

// ---------------------------------------------------------------------------
// History

void EditSession::historyChanged()
{
    if (historyChanged_)
        historyChanged_();
}

bool EditSession::refused()
{
    if (!aside_)
        return false;
    status(kComparingText);
    // The control the user moved shows the performance compared again.
    if (ui_) {
        const SendsPaused pause(state_);
        ui_->showImage();
    }
    return true;
}

std::string EditSession::undoText() const
{
    const EditStep* s = history_.toUndo();
    return s ? s->text() : std::string();
}

std::string EditSession::redoText() const
{
    const EditStep* s = history_.toRedo();
    return s ? s->text() : std::string();
}

void EditSession::undo()
{
    takeStep(true);
}

void EditSession::redo()
{
    takeStep(false);
}

void EditSession::takeStep(bool back)
{
    if (refused())
        return;
    const EditStep* step = back ? history_.toUndo() : history_.toRedo();
    if (!step)
        return;
    acted();
    ++moves_;
    const StepBody& body = step->body();
    for (size_t i = 0; i < body.changes.size(); ++i) {
        const ByteChange& c = body.changes[i];
        const uint8_t value = back ? c.before : c.after;
        if (c.block == kMuteBlock) {
            MuteMemory& m = state_.mute[size_t(c.pos % 4)];
            if (c.pos < 4)
                m.savedVolume = value;
            else
                m.muted = value != 0;
        } else {
            image_.edit.at(c.block)[c.pos] = value;
        }
    }
    for (size_t i = 0; i < body.sends.size(); ++i)
        sendOut(body.sends[i]);
    const std::string text = back ? undoneText(step->text()) : redoneText(step->text());
    if (const int layer = step->layer())
        state_.editLayer = layer;  // the layer pages show what changed
    back ? history_.undone() : history_.redone();
    // Back at what the synth stores: nothing would be lost.
    if (history_.atClean())
        state_.modified = false;
    if (ui_) {
        const SendsPaused pause(state_);
        ui_->showImage();
    }
    report(text);
    historyChanged();
}

void EditSession::markStored()
{
    state_.modified = false;
    if (aside_)
        aside_->modified = false;
    history_.markClean();
}

// ---------------------------------------------------------------------------
// Compare

void EditSession::compare()
{
    if (links_.transferBusy && links_.transferBusy()) {
        status(kTransferRunningText);
        return;
    }
    if (auditioning_) {
        // The synth holds a slot of the bank, not the edit: there is no
        // edit to go back to until the bank manager gives it back.
        status("Compare waits until the Performance-bank manager is closed");
        return;
    }
    acted();
    endGesture();
    ++moves_;
    auto job = std::make_unique<SendJob>();
    job->sendEditImage(false);
    if (!aside_) {
        aside_ = Aside{image_.edit, state_.mute, state_.modified};
        image_.edit = reference_;
        state_.mute = {};
        report(referenceFrom_ == From::Start   ? kComparingStartText
               : referenceFrom_ == From::Fetch ? kComparingFetchedText
                                               : kComparingLoadedText);
    } else {
        image_.edit = aside_->blocks;
        state_.mute = aside_->mute;
        // The synth holds the edit again: as modified as it was.
        job->then([modified = aside_->modified](Receiver& rx) {
            rx.state().modified = modified;
            return true;
        });
        aside_.reset();
        report(kBackToEditText);
    }
    if (ui_) {
        const SendsPaused pause(state_);
        ui_->showImage();
    }
    historyChanged();
    if (links_.startChain)
        links_.startChain(std::move(job));
}

} // namespace kw
