#include "model/UserPerfList.h"

#include "model/NameTables.h"

#include <cstdio>

namespace kw {

namespace {

// Category abbreviation, a blank and the name, for user performances 1..128.
constexpr const char* kBuiltIn[kUserPerformances] = {
    "DR umTrax2",
    "SQ Pan Seq",
    "SQ MC-Line1",
    "SQ MC-Line2",
    "SQ Superarp",
    "SQ uidgy 1",
    "SQ uidgy 2",
    "SQ HardOn",
    "SQ Platypus",
    "SQ Cyborg",
    "SQ uelchy",
    "SQ uenza 1",
    "SQ uenza 2",
    "SQ Erased",
    "SQ uare Dig",
    "SQ Pulse",
    "CO Ethno",
    "FX CofiFilt",
    "SQ SparkRun",
    "FX SinCrony",
    "FX SweepRun",
    "FX Break It",
    "SC Syndiem",
    "SC TranCS",
    "SC Source",
    "SC ary",
    "SC EurRail",
    "SC Owa Owa",
    "SC Xrayz",
    "PD ResoCat",
    "SC Glassy",
    "SC Synchord",
    "SC C-Hook",
    "SC raper",
    "SC Stab",
    "SC MoonBass",
    "LD UniLead",
    "LD 4Poles",
    "LD Cream",
    "LD Zap Lead",
    "LD The Hook",
    "LD Triangle",
    "LD Fuji",
    "LD MegaHook",
    "LD Mondo",
    "LD Marion",
    "LD Seminal",
    "LD Pure Sin",
    "LD Vollfett",
    "LD Empha",
    "BA Fashions",
    "BA Relaxer",
    "BA ss Wire",
    "BA Wound",
    "BA Fridge",
    "BA ss Sine",
    "BA Saw 1",
    "BA Saw 2",
    "BA Pulse25",
    "BA Fuzzline",
    "BA llistic",
    "BA 303 Wave",
    "BA Howitzer",
    "BA Polarize",
    "PF 70'sClav",
    "PF Woolitz2",
    "PF DynaRose",
    "PF Major 7",
    "PF SweetFen",
    "CP Xylodyne",
    "OR ganMetal",
    "OR YC45D",
    "OR Door",
    "OR gan Perc",
    "OR gan Rave",
    "OR Celluli",
    "GT Tele",
    "GT EzaGeeza",
    "BR Obie",
    "BR Cross",
    "BR ass Tek",
    "BR assHouse",
    "BR ass Fase",
    "ST Sweepstr",
    "ST Vintage",
    "ST Strngpad",
    "ST Bartok",
    "ST Vienna",
    "ST Filta Fe",
    "PD MilkyWay",
    "PD SlvrThaw",
    "PD Solinal",
    "PD Spooks",
    "PD Swell",
    "PD VS-Pad",
    "PD Amber",
    "PD Aurora",
    "PD Crystal",
    "PD Haze",
    "PD FSOTokyo",
    "FX Tribal",
    "FX Plankton",
    "FX Ryza",
    "FX Gaia '99",
    "FX Lights",
    "FX M o r f",
    "FX QSpaces",
    "FX WatrToy",
    "FX Galaxy",
    "FX Trigger",
    "FX Resolve",
    "ET Santur",
    "SE Plasma",
    "SE Lunar",
    "SE ArpDrops",
    "SE HybriFlt",
    "SE BeatPhil",
    "SE Organix",
    "SE Variant",
    "SE SkyDemon",
    "VO oo Dooo",
    "VO xo Mono",
    "VO Tehillim",
    "CO EthnoSpl",
    "CO ld Hitz",
    "CO ShamSitr",
    "CO Dist Kik",
    "CO EuroKit",
};

} // namespace

const std::array<std::string, kUserPerformances>& builtInUserPerfLines()
{
    static const std::array<std::string, kUserPerformances> lines = [] {
        std::array<std::string, kUserPerformances> out;
        for (int i = 0; i < kUserPerformances; ++i) {
            char number[16];
            std::snprintf(number, sizeof number, "%03d", i + 1);
            out[size_t(i)] = std::string(number) + "  " + kBuiltIn[i];
        }
        return out;
    }();
    return lines;
}

const std::array<BuiltInUserPerf, kUserPerformances>& builtInUserPerfs()
{
    static const std::array<BuiltInUserPerf, kUserPerformances> perfs = [] {
        std::array<BuiltInUserPerf, kUserPerformances> out{};
        for (int i = 0; i < kUserPerformances; ++i) {
            const std::string text = kBuiltIn[i];
            BuiltInUserPerf& p = out[size_t(i)];
            // The text is "CC name": find the category whose abbreviation
            // starts it; the name is what follows the separating blank.
            size_t nameStart = 3;
            p.category = 0;
            for (int c = 1; c < kCategories; ++c) {
                const std::string a = categoryAbbrev(c);
                if (text.compare(0, a.size(), a) == 0 && text.size() > a.size() && text[a.size()] == ' ') {
                    p.category = uint8_t(c);
                    nameStart = a.size() + 1;
                    break;
                }
            }
            p.name.fill(' ');
            for (size_t k = 0; k < p.name.size() && nameStart + k < text.size(); ++k)
                p.name[k] = text[nameStart + k];
        }
        return out;
    }();
    return perfs;
}

} // namespace kw
