#include "model/Cp1252.h"
#include "model/NameTables.h"
#include "model/UserPerfList.h"
#include "model/ValueLists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

using namespace kw;

namespace {

struct BankExpectation {
    const char* name;
    int defined;                 // count given with the bank's list
    int firstProgram;            // lowest program with a name
    const char* firstEntry;
    int lastProgram;             // highest program with a name
    const char* lastEntry;
};

// One line per bank row, in selector order.
const BankExpectation kBanks[kBankRows] = {
    {"XG 000", 128, 0, "001 GrandPno", 127, "128 Gunshot"},
    {"XG 001 (KSP)", 10, 0, "001 GrndPnoK", 12, "013 MarimbaK"},
    {"XG 003 (Stereo)", 3, 48, "049 S.Strngs", 52, "053 S.Choir"},
    {"XG 006 (Single)", 4, 39, "040 MelloSB2", 81, "082 Saw 2"},
    {"XG 008 (Slow)", 7, 40, "041 Slow Vln", 102, "103 EchoPad2"},
    {"XG 012 (Fast Decay)", 4, 30, "031 DstRthmG", 98, "099 SynDrCmp"},
    {"XG 014 (Double Attack)", 3, 61, "062 SfrzndBr", 102, "103 Echo Pan"},
    {"XG 016 (Bright)", 7, 24, "025 NylonGt2", 89, "090 ThickPad"},
    {"XG 017", 2, 56, "057 BriteTrp", 89, "090 Soft Pad"},
    {"XG 018 (Dark)", 12, 0, "001 MelloGrP", 99, "100 WarmAtms"},
    {"XG 019", 4, 39, "040 SynBa2Dk", 99, "100 HollwRls"},
    {"XG 020 (Resonant)", 4, 38, "039 FastResB", 95, "096 Shwimmer"},
    {"XG 024 (Attack)", 7, 17, "018 70sPcOr1", 85, "086 SynthAah"},
    {"XG 025 (Release)", 3, 6, "007 Harpsi.2", 81, "082 WaspySyn"},
    {"XG 027 (Rezo Sweep)", 7, 7, "008 ClaviWah", 97, "098 Prologue"},
    {"XG 028 (Muted)", 2, 34, "035 MutePkBa", 105, "106 MuteBnjo"},
    {"XG 032 (Detune 1)", 18, 2, "003 Det.CP80", 104, "105 DetSitar"},
    {"XG 033 (Detune 2)", 4, 5, "006 DX Hard", 35, "036 Fretles3"},
    {"XG 034 (Detune 3)", 3, 5, "006 DX Legend", 35, "036 Fretles4"},
    {"XG 035 (Octave 1)", 14, 6, "007 Harpsi.3", 104, "105 Sitar 2"},
    {"XG 036 (Octave 2)", 2, 16, "017 DrawOrg2", 30, "031 PowerGt2"},
    {"XG 037 (5th 1)", 4, 16, "017 60sDrOr3", 60, "061 HornOrch"},
    {"XG 038 (5th 2)", 2, 16, "017 EvenBar", 30, "031 Dst.5ths"},
    {"XG 039 (Bend)", 1, 61, "062 BrssFall", 61, "062 BrssFall"},
    {"XG 040 (Tutti)", 27, 0, "001 PianoStr", 99, "100 NylonEP"},
    {"XG 041", 15, 0, "001 Dream", 98, "099 ClearBel"},
    {"XG 042", 4, 5, "006 DXKotoEP", 98, "099 ChorBell"},
    {"XG 043 (Velo-Switch)", 7, 24, "025 VelGtHrm", 65, "066 HyprAlto"},
    {"XG 045 (Velo-Xfade)", 12, 4, "005 VX El.P1", 96, "097 ClaviPad"},
    {"XG 064 (other wave)", 50, 4, "005 60sEl.P", 119, "120 Rev Cym2"},
    {"XG 065", 30, 7, "008 PierceCl", 118, "119 ElecPerc"},
    {"XG 066", 15, 16, "017 CheezOrg", 117, "118 Rock Tom"},
    {"XG 067", 8, 16, "017 DrawOrg3", 102, "103 Creation"},
    {"XG 068", 3, 98, "099 VibeBell", 102, "103 Stardust"},
    {"XG 069", 3, 98, "099 DigiBell", 102, "103 Reso Pan"},
    {"XG 070", 2, 98, "099 AirBells", 101, "102 Night"},
    {"XG 071", 2, 98, "099 BellHarp", 101, "102 Glisten"},
    {"XG 072", 2, 98, "099 Gamelmba", 101, "102 Puffy"},
    {"XG 096", 27, 12, "013 Balafon", 119, "120 RevSnar1"},
    {"XG 097", 11, 12, "013 Balafon2", 119, "120 RevSnar2"},
    {"XG 098", 5, 12, "013 Log Drum", 119, "120 RevKick1"},
    {"XG 099", 2, 112, "113 S.Gamlan", 119, "120 RevConBD"},
    {"XG 100", 2, 112, "113 Rama Cym", 119, "120 Rev Tom1"},
    {"XG 101", 2, 112, "113 AsianBel", 119, "120 Rev Tom2"},
    {"XG SFX", 42, 0, "001 CuttngNz", 115, "116 FireWork"},
    {"PRE 00", 128, 0, "001 DrumTrx1 A", 127, "128 Elctrc A"},
    {"PRE 01", 111, 1, "002 Sn*Arp B", 127, "128 Elctrc B"},
    {"PRE 02", 51, 2, "003 Kirmes C", 127, "128 Elctrc C"},
    {"PRE 03", 24, 12, "013 Rezlne D", 126, "127 Jungly D"},
    {"PRE 04", 128, 0, "001 DrumTrx2 A", 127, "128 EuroKt A"},
    {"PRE 05", 103, 1, "002 PanSeq B", 127, "128 EuroKt B"},
    {"PRE 06", 47, 4, "005 Suprrp C", 127, "128 EuroKt C"},
    {"PRE 07", 22, 4, "005 Suprrp D", 127, "128 EuroKt D"},
    {"PRE 08", 128, 0, "001 Wrltza A", 127, "128 LfiAna A"},
    {"PRE 09", 111, 0, "001 Wrltza B", 127, "128 LfiAna B"},
    {"PRE 10", 51, 6, "007 DrwBrs2 C", 126, "127 HipSet C"},
    {"PRE 11", 25, 6, "007 DrwBrs2 D", 126, "127 HipSet D"},
    {"PRE 12 (Drum Kits)", 6, 0, "001 TechKt A", 5, "006 909KitA"},
};

bool isUndefined(const std::string& entry)
{
    return entry.size() >= 2 && entry.compare(entry.size() - 2, 2, "--") == 0;
}

std::string threeDigits(int n)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03d", n);
    return buf;
}

} // namespace

TEST(BankTable, RowsNamesAndPairsInSelectorOrder)
{
    const auto& rows = bankTable();
    for (int r = 0; r < kBankRows; ++r)
        EXPECT_STREQ(rows[size_t(r)].name, kBanks[r].name) << r;
    // Names follow the pair: "XG nnn" is MSB 0 with LSB nnn, "PRE nn" MSB 63.
    for (int r = 0; r < kBankRows; ++r) {
        const std::string name = rows[size_t(r)].name;
        if (r < 44) {
            EXPECT_EQ(rows[size_t(r)].msb, 0) << name;
            EXPECT_EQ(rows[size_t(r)].lsb, std::stoi(name.substr(3, 3))) << name;
        } else if (r > 44) {
            EXPECT_EQ(rows[size_t(r)].msb, 63) << name;
            EXPECT_EQ(rows[size_t(r)].lsb, std::stoi(name.substr(4, 2))) << name;
        }
    }
    EXPECT_EQ(rows[44].msb, 64);
    EXPECT_EQ(rows[44].lsb, 0);
}

TEST(BankTable, RowOfPairFindsEachRowAndRejectsUnknownPairs)
{
    for (int r = 0; r < kBankRows; ++r)
        EXPECT_EQ(bankRowOf(bankTable()[size_t(r)].msb, bankTable()[size_t(r)].lsb), r);
    EXPECT_EQ(bankRowOf(63, 65), -1);  // the user-performance bank is not a voice bank
    EXPECT_EQ(bankRowOf(0, 2), -1);
    EXPECT_EQ(bankRowOf(127, 127), -1);
}

TEST(VoiceTable, EveryBankHasItsNamedEntriesInPlace)
{
    for (int r = 0; r < kBankRows; ++r) {
        const BankExpectation& b = kBanks[r];
        int named = 0, first = -1, last = -1;
        for (int p = 0; p < kVoicesPerBank; ++p) {
            if (!isUndefined(voiceEntry(r, p))) {
                ++named;
                if (first < 0)
                    first = p;
                last = p;
            }
        }
        EXPECT_EQ(named, b.defined) << b.name;
        EXPECT_EQ(definedVoiceCount(r), b.defined) << b.name;
        EXPECT_EQ(first, b.firstProgram) << b.name;
        EXPECT_EQ(last, b.lastProgram) << b.name;
        EXPECT_EQ(voiceEntry(r, b.firstProgram), b.firstEntry) << b.name;
        EXPECT_EQ(voiceEntry(r, b.lastProgram), b.lastEntry) << b.name;
    }
}

TEST(VoiceTable, EntriesCarryTheirNumberAndFitTheSlot)
{
    for (int r = 0; r < kBankRows; ++r) {
        for (int p = 0; p < kVoicesPerBank; ++p) {
            const std::string e = voiceEntry(r, p);
            ASSERT_GE(e.size(), 5u);
            EXPECT_EQ(e.substr(0, 3), threeDigits(p + 1)) << r << "/" << p;
            EXPECT_LE(e.size(), 14u) << e;  // number, blank, at most ten characters
            if (r == 51 && p == 64)
                continue;
            EXPECT_EQ(e[3], ' ') << e;
            if (isUndefined(e)) {
                EXPECT_EQ(e, threeDigits(p + 1) + " --");
            }
        }
    }
}

TEST(VoiceTable, OddEntriesKeptAsTheSynthShowsThem)
{
    // PRE 06, program 65: no blank before the hyphens.
    EXPECT_EQ(voiceEntry(51, 64), "065--");
    EXPECT_EQ(voiceEntry(51, 63), "064 --");
    // The drum kit bank names only its first six programs.
    EXPECT_EQ(voiceEntry(57, 5), "006 909KitA");
    EXPECT_EQ(voiceEntry(57, 6), "007 --");
    EXPECT_EQ(voiceEntry(57, 127), "128 --");
    // Items that follow a line break rather than a separator.
    EXPECT_EQ(voiceEntry(48, 51), "052 80sSynB D");
    EXPECT_EQ(voiceEntry(48, 73), "074 Bg`m Up D");
    EXPECT_EQ(voiceEntry(49, 63), "064 Polrze A");
    EXPECT_EQ(voiceEntry(49, 64), "065 70`sClv A");
    EXPECT_EQ(voiceEntry(49, 102), "103 Ryza A");
    EXPECT_EQ(voiceEntry(49, 103), "104 Gaa`99 A");
    EXPECT_EQ(voiceEntry(52, 79), "080 Cross D");
    EXPECT_EQ(voiceEntry(52, 103), "104 Gaa`99 D");
    // Characters that need care in the data.
    EXPECT_EQ(voiceEntry(24, 16), "017 16+2\"2/3");
    EXPECT_EQ(voiceEntry(0, 87), "088 Bass &Ld");
    EXPECT_EQ(voiceEntry(45, 1), "002 Sn*Arp A");
}

TEST(VoiceTable, AccentsAreWindows1252Bytes)
{
    EXPECT_EQ(voiceEntry(45, 24), "025 Nble\xB4Q A");
    EXPECT_EQ(voiceEntry(47, 24), "025 Nbl\xB4Q C");
    EXPECT_EQ(voiceEntry(46, 73), "074 Bg\xB4m Up B");
    EXPECT_EQ(cp1252ToUtf8(voiceEntry(45, 73)), "074 Bg\xC2\xB4m Up A");
    int acute = 0, grave = 0;
    for (int r = 0; r < kBankRows; ++r) {
        for (int p = 0; p < kVoicesPerBank; ++p) {
            const std::string e = voiceEntry(r, p);
            acute += int(std::count(e.begin(), e.end(), '\xB4'));
            grave += int(std::count(e.begin(), e.end(), '`'));
            EXPECT_EQ(e.find('\\'), std::string::npos) << e;
        }
    }
    EXPECT_EQ(acute, 6);
    EXPECT_EQ(grave, 7);
}

TEST(NameTables, LookupsOutsideATableShowAPlaceholder)
{
    EXPECT_EQ(voiceEntry(-1, 0), kUnknownName);
    EXPECT_EQ(voiceEntry(58, 0), kUnknownName);
    EXPECT_EQ(voiceEntry(0, 128), kUnknownName);
    EXPECT_EQ(voiceEntry(0, -1), kUnknownName);
    EXPECT_EQ(noteName(128), kUnknownName);
    EXPECT_EQ(noteName(-1), kUnknownName);
    EXPECT_EQ(categoryAbbrev(23), kUnknownName);
    EXPECT_EQ(categoryAbbrev(127), kUnknownName);
    EXPECT_EQ(categoryAbbrev(-1), kUnknownName);
    EXPECT_EQ(definedVoiceCount(58), 0);
    EXPECT_STREQ(kUnknownName, "??");
}

TEST(NoteNames, OctavesRunFromMinusTwo)
{
    EXPECT_EQ(noteName(0), "C-2");
    EXPECT_EQ(noteName(1), "C#-2");
    EXPECT_EQ(noteName(11), "B-2");
    EXPECT_EQ(noteName(12), "C-1");
    EXPECT_EQ(noteName(23), "B-1");
    EXPECT_EQ(noteName(24), "C0");
    EXPECT_EQ(noteName(59), "B2");
    EXPECT_EQ(noteName(60), "C3");
    EXPECT_EQ(noteName(70), "A#3");
    EXPECT_EQ(noteName(127), "G8");
    std::set<std::string> all;
    for (int n = 0; n < 128; ++n) {
        EXPECT_LE(noteName(n).size(), 4u);
        all.insert(noteName(n));
    }
    EXPECT_EQ(all.size(), 128u);
}

TEST(Categories, AbbreviationsMatchTheCategorySelector)
{
    EXPECT_EQ(categoryAbbrev(0), "--  ");
    EXPECT_EQ(categoryAbbrev(10), "PI ");
    EXPECT_EQ(categoryAbbrev(22), "SQ");
    const auto& items = performanceTypeItems();
    for (int c = 1; c < kCategories; ++c)
        EXPECT_EQ(std::string(items[size_t(c)]).substr(0, 2), categoryAbbrev(c).substr(0, 2)) << c;
}

TEST(ValueLists, CountsEndsAndInnerBlanks)
{
    const auto& types = performanceTypeItems();
    EXPECT_STREQ(types[0], "--");
    EXPECT_STREQ(types[1], "PF  Piano");
    EXPECT_STREQ(types[3], "OR Organ");
    EXPECT_STREQ(types[10], "PI   Pipe");
    EXPECT_STREQ(types[21], "WV Material Wave");
    EXPECT_STREQ(types[22], "SQ  Sequence");
    const auto& a1 = assign1ParaItems();
    EXPECT_STREQ(a1[0], "Off");
    EXPECT_STREQ(a1[17], "Reverb & Chorus Send");
    EXPECT_STREQ(a1[28], "Filter-EG Velocity-Sens.");
    EXPECT_STREQ(a1[29], "Oscillator Pitch");
    const auto& a2 = assign2ParaItems();
    EXPECT_STREQ(a2[0], "Off");
    EXPECT_STREQ(a2[3], "Detune");
    EXPECT_STREQ(a2[17], "LFO Amp.-Modulation");
    EXPECT_STREQ(a2[29], "Pitch-EG Release Level");
    for (const auto* list : {&a1, &a2}) {
        std::set<std::string> seen(list->begin(), list->end());
        EXPECT_EQ(seen.size(), list->size());
    }
}

TEST(Cp1252, WindowsCharactersInTheC1Range)
{
    EXPECT_EQ(cp1252ToUtf8("\x80"), "\xE2\x82\xAC");      // €
    EXPECT_EQ(cp1252ToUtf8("\x99"), "\xE2\x84\xA2");      // ™
    EXPECT_EQ(cp1252ToUtf8("\x8A"), "\xC5\xA0");          // Š
    EXPECT_EQ(cp1252ToUtf8("\x96"), "\xE2\x80\x93");      // –
    EXPECT_EQ(cp1252ToUtf8("\x9F"), "\xC5\xB8");          // Ÿ
    for (const char* undefined : {"\x81", "\x8D", "\x8F", "\x90", "\x9D"})
        EXPECT_EQ(cp1252ToUtf8(undefined), "\xEF\xBF\xBD");
    EXPECT_EQ(cp1252ToUtf8("\xB4"), "\xC2\xB4");
    EXPECT_EQ(cp1252ToUtf8("\xE9t\xE9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(cp1252ToUtf8(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Cp1252, EveryDefinedByteSurvivesTheRoundTrip)
{
    for (int b = 1; b < 256; ++b) {
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)
            continue;
        const std::string one(1, char(b));
        EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(one)), one) << b;
    }
}

TEST(Cp1252, TypedTextWithoutACodeBecomesQuestionMarks)
{
    EXPECT_EQ(utf8ToCp1252("Caf\xC3\xA9"), "Caf\xE9");
    EXPECT_EQ(utf8ToCp1252("\xE2\x82\xAC" "5"), "\x80" "5");
    EXPECT_EQ(utf8ToCp1252("\xE6\x97\xA5"), "?");                 // CJK
    EXPECT_EQ(utf8ToCp1252("\xF0\x9F\x8E\xB9" "x"), "?x");         // emoji
    EXPECT_EQ(utf8ToCp1252("\xC2\x81"), "?");                      // C1 control, no Windows code
    // Malformed input never passes raw bytes through.
    EXPECT_EQ(utf8ToCp1252("\xC0\xAF"), "?");                      // overlong '/'
    EXPECT_EQ(utf8ToCp1252("a\xC3"), "a?");                        // cut short
    EXPECT_EQ(utf8ToCp1252("\xC3(x"), "?(x");                      // missing continuation
    EXPECT_EQ(utf8ToCp1252("\xA9z"), "?z");                        // stray continuation
    EXPECT_EQ(utf8ToCp1252("\xED\xA0\x80"), "?");                  // surrogate
}

TEST(UserPerfList, BuiltInLinesInOrder)
{
    const auto& lines = builtInUserPerfLines();
    EXPECT_EQ(lines[0], "001  DR umTrax2");
    EXPECT_EQ(lines[1], "002  SQ Pan Seq");
    EXPECT_EQ(lines[64], "065  PF 70'sClav");
    EXPECT_EQ(lines[105], "106  FX M o r f");
    EXPECT_EQ(lines[103], "104  FX Gaia '99");
    EXPECT_EQ(lines[126], "127  CO Dist Kik");
    EXPECT_EQ(lines[127], "128  CO EuroKit");
    std::set<std::string> distinct(lines.begin(), lines.end());
    EXPECT_EQ(distinct.size(), 128u);
}

TEST(UserPerfList, CategoryAndNameRebuildEachLine)
{
    const auto& lines = builtInUserPerfLines();
    const auto& perfs = builtInUserPerfs();
    EXPECT_EQ(perfs[0].category, 17);  // DR
    EXPECT_EQ(std::string(perfs[0].name.data(), 8), "umTrax2 ");
    EXPECT_EQ(perfs[1].category, 22);  // SQ
    EXPECT_EQ(std::string(perfs[1].name.data(), 8), "Pan Seq ");
    EXPECT_EQ(std::string(perfs[4].name.data(), 8), "Superarp");
    for (int i = 0; i < kUserPerformances; ++i) {
        const BuiltInUserPerf& p = perfs[size_t(i)];
        ASSERT_GT(p.category, 0);
        ASSERT_LT(p.category, kCategories);
        std::string name(p.name.data(), 8);
        name.erase(name.find_last_not_of(' ') + 1);
        EXPECT_EQ(threeDigits(i + 1) + "  " + categoryAbbrev(p.category) + " " + name, lines[size_t(i)]);
    }
}
