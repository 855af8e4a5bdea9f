#include "midi/MidiMeaning.h"

#include "midi/HexText.h"
#include "midi/XgMessages.h"
#include "model/FieldTable.h"
#include "model/NameTables.h"

#include <cctype>
#include <cstdio>
#include <optional>
#include <vector>

namespace kw {

namespace {

std::string number3(int n)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%03d", n);
    return buf;
}

// "common 00", "layer 2", "user common 30 of 005", "user layer 4 of 128".
std::optional<std::string> blockName(uint8_t ah, uint8_t am, uint8_t al)
{
    for (int k = 0; k < kBlockKinds; ++k) {
        const BlockInfo b = blockInfo(BlockKind(k));
        if (b.addrHigh != ah || b.addrLow != al || (!b.userForm && b.addrMid != am))
            continue;
        std::string s = b.userForm ? "user " : "";
        s += b.layer ? "layer " + std::to_string(b.layer) : "common " + hexByte(al);
        if (b.userForm)
            s += " of " + number3(am + 1);
        return s;
    }
    return std::nullopt;
}

std::string address(uint8_t ah, uint8_t am, uint8_t al)
{
    return hexByte(ah) + " " + hexByte(am) + " " + hexByte(al);
}

// The longest start of every name that ends where a word ends in each.
std::string sharedWords(const std::vector<const char*>& names)
{
    std::string first = names.front();
    size_t n = first.size();
    for (const char* name : names) {
        const std::string s = name;
        size_t i = 0;
        while (i < n && i < s.size() && s[i] == first[i])
            ++i;
        n = i;
    }
    for (; n > 0; --n) {
        bool boundary = true;
        for (const char* name : names) {
            const std::string s = name;
            if (n < s.size() && !std::isupper(static_cast<unsigned char>(s[n])))
                boundary = false;
        }
        if (boundary)
            break;
    }
    return first.substr(0, n);
}

// How a parameter change reaches a field: one byte at its own address, a
// pair from the pair's first address, or one byte at the second address of
// a pair (or of a layer's two-byte field).
enum class Reach { One, Pair, Second };

// The edit buffer's parameter at `offset` of block `block` (a layer or a
// common block), as the field table names it. `value` picks the radio
// button a one-byte change means.
std::optional<std::string> parameterName(const std::vector<FieldRow>& table, BlockKind block, uint8_t offset,
                                         Reach reach, uint8_t value)
{
    std::vector<const char*> names;
    std::string bank;
    for (const FieldRow& r : table) {
        if (r.block != block)
            continue;
        for (int tab = 0; tab < (r.tabStride ? assignBank::kBanks : 1); ++tab) {
            const bool hit = reach == Reach::One    ? r.offsetFor(tab) == offset
                             : reach == Reach::Pair ? r.pairOffset(tab) == offset
                                                    : (r.send == SendKind::Param2 || r.send == SendKind::LayerBulk)
                                                          && r.pairOffset(tab) + 1 == offset;
            if (!hit)
                continue;
            if (r.tabStride)
                bank = " (bank " + std::to_string(tab + 1) + ")";
            if (reach == Reach::One && r.encoding == Encoding::Radio && r.onValue == value)
                return spacedName(r.control) + bank;
            if (reach == Reach::One || r.encoding != Encoding::Radio)
                names.push_back(r.control);
        }
    }
    if (names.empty())
        return std::nullopt;
    const std::string shared = sharedWords(names);
    return spacedName(shared.empty() ? names.front() : shared.c_str()) + bank
           + (reach == Reach::Second ? ", second byte" : "");
}

std::optional<std::string> parameterName(const std::vector<FieldRow>& table, BlockKind block, uint8_t offset,
                                         bool pair, uint8_t value)
{
    if (pair)
        return parameterName(table, block, offset, Reach::Pair, value);
    if (auto name = parameterName(table, block, offset, Reach::One, value))
        return name;
    return parameterName(table, block, offset, Reach::Second, value);
}

// F0 43 1n 4B ah am al v [v2] F7
std::string parameterChange(ByteView m)
{
    const uint8_t ah = m[4], am = m[5], al = m[6];
    const bool pair = m.size() == 10;
    std::string value = " = " + std::to_string(m[7]);
    if (pair)
        value += ", " + std::to_string(m[8]);
    std::optional<std::string> name;
    std::string where;
    if (ah == 0x60 && am >= 1 && am <= 4) {
        where = "layer " + std::to_string(am) + " ";
        name = parameterName(layerFieldTable(), BlockKind::Layer1, al, pair, m[7]);
    } else if (ah == 0x60 && am == 0) {
        const BlockKind block = al < 0x30 ? BlockKind::Common00 : al < 0x50 ? BlockKind::Common30 : BlockKind::Common50;
        where = "common ";
        name = parameterName(commonFieldTable(), block, uint8_t(al - blockInfo(block).addrLow), pair, m[7]);
    }
    return "Parameter change " + (name ? where + *name : address(ah, am, al)) + value;
}

std::string yamaha(ByteView m)
{
    const size_t n = m.size();
    if (const std::string xg = xg::meaning(m); !xg.empty())
        return xg;
    if (n >= 9 && m[3] == 0x4B && (m[2] & 0xF0) == 0x10 && (n == 9 || n == 10))
        return parameterChange(m);
    if (n == 8 && m[3] == 0x4B && (m[2] & 0xF0) == 0x20) {
        const auto name = blockName(m[4], m[5], m[6]);
        return "Dump request " + (name ? *name : address(m[4], m[5], m[6]));
    }
    if (n >= 11 && m[3] == 0x4B && (m[2] & 0xF0) == 0x00) {
        const auto name = blockName(m[6], m[7], m[8]);
        std::string s = "Bulk dump " + (name ? *name : address(m[6], m[7], m[8]));
        if ((size_t(m[4]) << 7 | m[5]) != n - 11)
            s += " (wrong length)";
        else if (bulkChecksum(m) != m[n - 2])
            s += " (wrong checksum)";
        return s;
    }
    return "Yamaha SysEx, " + std::to_string(n) + " bytes";
}

std::string sysEx(ByteView m)
{
    const size_t n = m.size();
    if (n < 3 || m.back() != 0xF7)
        return "SysEx, incomplete";
    if (m[1] == 0x7E && n == 6 && m[3] == 0x06 && m[4] == 0x01)
        return "Identity request";
    if (m[1] == 0x7E && n >= 10 && m[3] == 0x06 && m[4] == 0x02) {
        if (m[5] == 0x43 && m[6] == 0x00 && m[7] == 0x41)
            return "Identity reply CS1x";
        return "Identity reply, manufacturer " + hexByte(m[5]) + " family " + hexByte(m[6]) + " " + hexByte(m[7]);
    }
    if (m[1] == 0x43)
        return yamaha(m);
    if (m[1] == 0x7E || m[1] == 0x7F)
        return "Universal SysEx, " + std::to_string(n) + " bytes";
    return "SysEx, manufacturer " + hexByte(m[1]) + ", " + std::to_string(n) + " bytes";
}

const char* controllerName(uint8_t c)
{
    switch (c) {
    case 0: return "Bank select MSB";
    case 1: return "Modulation";
    case 5: return "Portamento time";
    case 6: return "Data entry";
    case 7: return "Volume";
    case 10: return "Pan";
    case 11: return "Expression";
    case 32: return "Bank select LSB";
    case 64: return "Sustain";
    case 65: return "Portamento";
    case 71: return "Resonance";
    case 72: return "Release";
    case 73: return "Attack";
    case 74: return "Cutoff";
    case 91: return "Reverb";
    case 93: return "Chorus";
    case 94: return "Variation";
    case 120: return "All sound off";
    case 121: return "Reset controllers";
    case 123: return "All notes off";
    default: return nullptr;
    }
}

std::string system(uint8_t status)
{
    switch (status) {
    case 0xF1: return "MIDI time code";
    case 0xF2: return "Song position";
    case 0xF3: return "Song select";
    case 0xF6: return "Tune request";
    case 0xF8: return "Clock";
    case 0xFA: return "Start";
    case 0xFB: return "Continue";
    case 0xFC: return "Stop";
    case 0xFE: return "Active sensing";
    case 0xFF: return "Reset";
    default: return "System message " + hexByte(status);
    }
}

} // namespace

MessageKind messageKind(ByteView m)
{
    if (m.empty())
        return MessageKind::Other;
    switch (m[0] >> 4) {
    case 0x8:
    case 0x9:
    case 0xA: return MessageKind::Note;
    case 0xB:
    case 0xC:
    case 0xD:
    case 0xE: return MessageKind::Controller;
    default: return m[0] == 0xF0 ? MessageKind::SysEx : MessageKind::Other;
    }
}

std::string spacedName(const char* control)
{
    const std::string s = control;
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto at = [&](size_t j) { return static_cast<unsigned char>(s[j]); };
        // A word starts at a capital after a small letter or a digit, or at
        // the last capital of a run that a small letter follows ("AEGAtk").
        if (i > 0 && std::isupper(at(i))
            && (std::islower(at(i - 1)) || std::isdigit(at(i - 1))
                || (std::isupper(at(i - 1)) && i + 1 < s.size() && std::islower(at(i + 1)))))
            out += ' ';
        out += s[i];
    }
    return out;
}

std::string messageMeaning(ByteView m)
{
    if (m.empty())
        return {};
    const uint8_t status = m[0];
    if (status == 0xF0)
        return sysEx(m);
    if (status >= 0xF0)
        return system(status);
    if (status < 0x80)
        return "Data without a status byte";
    const size_t need = (status >> 4) == 0xC || (status >> 4) == 0xD ? 2 : 3;
    if (m.size() < need)
        return "Incomplete message";
    const std::string ch = " ch " + std::to_string((status & 0x0F) + 1);
    const uint8_t d1 = m[1] & 0x7F, d2 = need == 3 ? m[2] & 0x7F : 0;
    switch (status >> 4) {
    case 0x8: return "Note off" + ch + " " + noteName(d1) + " velocity " + std::to_string(d2);
    case 0x9:
        return d2 ? "Note on" + ch + " " + noteName(d1) + " velocity " + std::to_string(d2)
                  : "Note off" + ch + " " + noteName(d1);
    case 0xA: return "Key pressure" + ch + " " + noteName(d1) + " = " + std::to_string(d2);
    case 0xB: {
        const char* name = controllerName(d1);
        return "Controller" + ch + " " + (name ? std::string(name) + " (" + std::to_string(d1) + ")" : "#" + std::to_string(d1))
               + " = " + std::to_string(d2);
    }
    case 0xC: return "Program change" + ch + " = " + std::to_string(d1);
    case 0xD: return "Channel pressure" + ch + " = " + std::to_string(d1);
    default: return "Pitch bend" + ch + " = " + std::to_string(int(d1) + 128 * int(d2) - 8192);
    }
}

} // namespace kw
