#include "session/FieldRules.h"

#include "model/EffectTables.h"
#include "model/NameTables.h"
#include "model/VariationPages.h"

#include <stdexcept>
#include <unordered_map>

namespace kw {

namespace {

// The box of the mode byte that `row` shows.
bool& modeBox(arpMode::Boxes& boxes, const FieldRow& row)
{
    const SpecialRows& r = specialRows();
    return &row == r.arpModes[0] ? boxes.on : &row == r.arpModes[1] ? boxes.hold : boxes.split;
}

tempo::View tempoOf(const BulkBlock& b)
{
    return tempo::fromStored(b.data(tempo::kHighOffset), b.data(tempo::kLowOffset));
}

} // namespace

const FieldRow& fieldRow(std::string_view control)
{
    const FieldRow* r = findField(control);
    if (!r)
        throw std::logic_error("no field row for " + std::string(control));
    return *r;
}

const SpecialRows& specialRows()
{
    static const SpecialRows r{
        .bank = fieldRow("PatchBankNumber"),
        .voice = fieldRow("PatchVoiceNumber"),
        .detune = fieldRow("NoteDetune"),
        .volume = fieldRow("LayerVolume"),
        .pan = fieldRow("PanPot"),
        .randomPan = fieldRow("RandomPan"),
        .noteLow = fieldRow("NoteLimitLow"),
        .noteHigh = fieldRow("NoteLimitHigh"),
        .layerOn = fieldRow("LayerOn"),
        .velocity = {&fieldRow("VelocityLimitLow"), &fieldRow("VelocityLimitHigh"), &fieldRow("VelocitySenseDepth"),
                     &fieldRow("VelocitySenseOffset")},
        .tempo = fieldRow("ArpTempo"),
        .tempoMidi = fieldRow("ArpTempoMidi"),
        .arpModes = {&fieldRow("ArpModeOn"), &fieldRow("ArpModeHold"), &fieldRow("ArpModeSplit")},
        .reverb = fieldRow("ReverbType"),
        .chorus = fieldRow("ChorusType"),
        .variation = fieldRow("VariType"),
        .name = fieldRow("PerformanceName"),
    };
    return r;
}

// None of these rows has assign-bank tabs, so none of the rules takes one.
const EditSession::Rule* EditSession::ruleFor(const FieldRow& row)
{
    using S = EditSession;
    static const std::unordered_map<const FieldRow*, Rule> rules = [] {
        const SpecialRows& r = specialRows();
        std::unordered_map<const FieldRow*, Rule> t;
        const auto plainRead = [](const S& s, const FieldRow& row) { return s.readField(row, 0); };
        const auto voiceStep = [](const S& s, const FieldRow& row, int) {
            return EditStep(VoiceChange{&row, s.layers().scope()});
        };

        // --- Layer rows ---------------------------------------------------

        // The bank table's row, as its MSB/LSB pair; an entry past the table
        // is no bank at all and changes nothing.
        t[&r.bank] = {
            .write = [](S& s, const FieldRow& row, int position) {
                if (position < 0 || position >= kBankRows)
                    return Echo{};
                const BankRow& bank = bankTable()[size_t(position)];
                s.writeLayer(row.offset, bank.msb);
                s.writeLayer(row.offset + 1u, bank.lsb);
                s.send(row);
                return Echo{};
            },
            .read = [](const S& s, const FieldRow& row) {
                const BulkBlock& b = s.block(row);
                return bankRowOf(b.data(row.offset), b.data(row.offset + 1u));
            },
            .step = voiceStep,
        };
        t[&r.voice] = {
            .write = [](S& s, const FieldRow& row, int position) { return s.writeField(row, position, 0); },
            .read = [](const S& s, const FieldRow& row) {
                return row.positionFromStored(s.block(row).data(row.offset));  // the list always shows a voice
            },
            .step = voiceStep,
        };

        t[&r.detune] = {
            .write = [](S& s, const FieldRow& row, int position) {
                const auto [high, low] = detune::nibbles(position);
                s.writeLayer(detune::kHighOffset, high);
                s.writeLayer(detune::kLowOffset, low);
                s.send(row);
                return Echo{};
            },
            .read = [](const S& s, const FieldRow& row) {
                const BulkBlock& b = s.block(row);
                return detune::position(b.data(detune::kHighOffset), b.data(detune::kLowOffset));
            },
            .step = [](const S& s, const FieldRow&, int) {
                return EditStep(LayerBulkChange{LayerBulkChange::Detune, s.layers().scope()});
            },
        };

        // A muted layer keeps its volume in the mute memory until it is
        // unmuted; the bar shows that volume, not the silence.
        t[&r.volume] = {
            .write = [](S& s, const FieldRow& volume, int position) {
                const uint8_t v = volume.storedFromPosition(position);
                for (const int l : s.layers()) {
                    const MuteMemory& m = s.state_.mute[size_t(l - 1)];
                    if (m.muted)
                        s.putMute(l, {v, true});  // takes effect when the layer is unmuted
                    else
                        s.putData(s.image_.edit.layer(l), volume.offset, v);
                }
                // Each layer gets its own byte: a muted edit layer must not
                // silence the other layers, nor an unmuted one wake a muted layer.
                for (const int l : s.layers())
                    s.sendVolume(l);
                return Echo{};
            },
            .read = [](const S& s, const FieldRow& volume) {
                const MuteMemory& m = s.state_.mute[size_t(s.state_.editLayer - 1)];
                return volume.positionFromStored(m.muted ? m.savedVolume : s.block(volume).data(volume.offset));
            },
        };

        // Pan and random pan share one byte: 0 is random, and then the bar
        // stands at the centre.
        t[&r.pan] = {
            .write = [](S& s, const FieldRow& row, int position) {
                Echo echo;
                // Off the centre the pan is no longer random; at the centre
                // the box keeps whatever it shows.
                if (position != pan::kCentre)
                    echo.add(specialRows().randomPan);
                s.writeLayer(pan::kOffset, row.storedFromPosition(position));
                s.send(row);
                return echo;
            },
            .read = [](const S& s, const FieldRow& row) {
                return pan::fromStored(s.block(row).data(pan::kOffset)).position;
            },
        };
        t[&r.randomPan] = {
            .write = [](S& s, const FieldRow& row, int position) {
                const FieldRow& bar = specialRows().pan;
                // While the box is checked the pan bar stands at the centre,
                // and the edit layer's byte reads back as the centre too:
                // unchecking stores the bar's position.
                s.writeLayer(pan::kOffset, position ? pan::kRandom : uint8_t(s.position(bar)));
                Echo echo;
                if (position)
                    echo.add(bar);
                s.send(row);
                return echo;
            },
            .read = [](const S& s, const FieldRow& row) {
                return pan::fromStored(s.block(row).data(pan::kOffset)).random ? 1 : 0;
            },
        };

        // The limits never cross: the other one is pushed along first.
        const auto noteLimit = [](S& s, const FieldRow& row, int position) {
            const SpecialRows& r = specialRows();
            const bool low = &row == &r.noteLow;
            const FieldRow& other = low ? r.noteHigh : r.noteLow;
            Echo echo;
            const int otherPosition = s.position(other);
            if (low ? otherPosition < position : position < otherPosition) {
                s.writeLayer(other.offset, other.storedFromPosition(position));
                s.send(other);
                echo.add(other);
            }
            s.writeLayer(row.offset, row.storedFromPosition(position));
            s.send(row);
            return echo;
        };
        t[&r.noteLow] = {.write = noteLimit, .read = plainRead};
        t[&r.noteHigh] = {.write = noteLimit, .read = plainRead};

        t[&r.layerOn] = {
            .write = [](S& s, const FieldRow& row, int position) {
                Echo echo = s.writeField(row, position, 0);
                echo.add(row);  // the edit-layer captions show it
                return echo;
            },
            .read = plainRead,
            .step = [](const S& s, const FieldRow&, int position) {
                return EditStep(LayerSwitch{LayerSwitch::LayerOn, s.layers().scope(), position != 0});
            },
        };

        // --- Common rows --------------------------------------------------

        // Tempo and MIDI clock share the tempo pair: value 0 follows the
        // clock. A stored tempo beyond the bar's end still shows its own
        // beats per minute.
        t[&r.tempo] = {
            .write = [](S& s, const FieldRow& row, int position) {
                BulkBlock& b = s.block(row);
                const auto [high, low] = tempo::bytes(tempo::valueFromPosition(position));
                s.putData(b, tempo::kHighOffset, high);
                s.putData(b, tempo::kLowOffset, low);
                s.send(row);
                Echo echo;
                echo.add(specialRows().tempoMidi);  // a tempo of its own: no longer MIDI clock
                return echo;
            },
            .read = [](const S& s, const FieldRow& row) { return tempoOf(s.block(row)).position; },
            .text = [](const S& s, const FieldRow& row) { return tempoOf(s.block(row)).label; },
        };
        // Unchecking stores nothing: the window applies the tempo bar's
        // position then.
        t[&r.tempoMidi] = {
            .write = [](S& s, const FieldRow& row, int position) {
                if (!position)
                    return Echo{};
                BulkBlock& b = s.block(row);
                const auto [high, low] = tempo::bytes(0);
                s.putData(b, tempo::kHighOffset, high);
                s.putData(b, tempo::kLowOffset, low);
                s.send(row);
                return Echo{};
            },
            .read = [](const S& s, const FieldRow& row) { return tempoOf(s.block(row)).midiClock ? 1 : 0; },
        };

        // Three boxes over one mode byte.
        for (const FieldRow* mode : r.arpModes)
            t[mode] = {
                .write = [](S& s, const FieldRow& row, int position) {
                    BulkBlock& b = s.block(row);
                    arpMode::Boxes boxes = arpMode::boxesFromByte(b.data(arpMode::kOffset));
                    modeBox(boxes, row) = position != 0;
                    s.putData(b, arpMode::kOffset, arpMode::byteFromBoxes(arpMode::normalised(boxes)));
                    s.send(row);
                    Echo echo;
                    for (const FieldRow* mode : specialRows().arpModes)
                        echo.add(*mode);  // "On" clears "Hold"
                    return echo;
                },
                .read = [](const S& s, const FieldRow& row) {
                    arpMode::Boxes boxes = arpMode::boxesFromByte(s.block(row).data(arpMode::kOffset));
                    return modeBox(boxes, row) ? 1 : 0;
                },
            };

        // Effect types are entries of the effect tables, stored as their
        // MSB/LSB pair. An entry past a table changes nothing; a pair no
        // table holds selects nothing (-1).
        const auto effectType = [](S& s, const FieldRow& row, int position) {
            const auto types = &row == &specialRows().reverb ? fx::reverbTypes() : fx::chorusTypes();
            if (position < 0 || size_t(position) >= types.size())
                return Echo{};
            BulkBlock& b = s.block(row);
            s.putData(b, row.offset, types[size_t(position)].msb);
            s.putData(b, row.offset + 1u, types[size_t(position)].lsb);
            s.send(row);
            return Echo{};
        };
        t[&r.reverb] = {
            .write = effectType,
            .read = [](const S& s, const FieldRow& row) {
                const BulkBlock& b = s.block(row);
                return fx::reverbIndexOf(b.data(row.offset), b.data(row.offset + 1u)).value_or(-1);
            },
        };
        t[&r.chorus] = {
            .write = effectType,
            .read = [](const S& s, const FieldRow& row) {
                const BulkBlock& b = s.block(row);
                return fx::chorusIndexOf(b.data(row.offset), b.data(row.offset + 1u)).value_or(-1);
            },
        };
        t[&r.variation] = {
            .write = [](S& s, const FieldRow& row, int position) {
                if (position < 0 || size_t(position) >= fx::variationTypes().size())
                    return Echo{};
                const fx::VariationType& type = fx::variationTypes()[size_t(position)];
                BulkBlock& b = s.block(row);
                s.putData(b, row.offset, type.msb);
                s.putData(b, row.offset + 1u, type.lsb);
                // A new type always starts from its own defaults, even when
                // it is the type already chosen.
                for (int slot = 0; slot < vari::kSlots; ++slot) {
                    const auto [high, low] = effectPair::split14(type.defaults[size_t(slot)]);
                    s.putData(b, vari::pairOffset(slot), high);
                    s.putData(b, vari::pairOffset(slot) + 1u, low);
                }
                s.send(row);
                return Echo{};
            },
            .read = [](const S& s, const FieldRow& row) {
                const BulkBlock& b = s.block(row);
                return fx::variationIndexOf(b.data(row.offset), b.data(row.offset + 1u)).value_or(-1);
            },
        };
        return t;
    }();
    const auto it = rules.find(&row);
    return it == rules.end() ? nullptr : &it->second;
}

} // namespace kw
