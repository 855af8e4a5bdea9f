// The soak's long transfers, chosen from the Bulk-Dump menu with the
// scripted dialogs answering: a backup of all 128 user performances into
// one bank, and a bank of 128 sent into the synth's user memory. Now and
// then the user presses Cancel on the way.

#include "Soak.h"

#include "files/BankFile.h"
#include "support/RandomRecords.h"

#include <map>
#include <memory>
#include <cctype>

using namespace kw;
namespace fs = std::filesystem;

namespace kwsoak {

namespace {

using Files = std::map<std::string, Bytes>;

Files filesIn(const fs::path& folder)
{
    Files out;
    for (const auto& e : fs::directory_iterator(folder))
        out[e.path().filename().string()] = kwtest::readAll(e.path());
    return out;
}

// "57" from "... 57 of 128 performances saved ..."; -1 when the text has no count.
int countIn(const std::string& text, const std::string& what)
{
    const size_t at = text.find(" of 128 performances " + what);
    if (at == std::string::npos)
        return -1;
    size_t start = at;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(text[start - 1])))
        --start;
    return start == at ? -1 : std::stoi(text.substr(start, at - start));
}

// A cancel point now and then: the progress window's Cancel, pressed once
// that many performances are through.
int randomCancel(Soak& s, bool again)
{
    if (again || s.dice.below(8) != 0)
        return -1;
    return 1 + s.dice.below(kUserPerformances - 1);
}

// The data bytes of each of the seven blocks.
std::array<Bytes, kBlocksPerPerformance> blockData(const BlockSet& set)
{
    std::array<Bytes, kBlocksPerPerformance> out;
    for (int i = 0; i < kBlocksPerPerformance; ++i) {
        const BulkBlock& b = set.at(i);
        out[size_t(i)].assign(b.bytes() + 9, b.bytes() + b.size() - 2);
    }
    return out;
}

std::array<Bytes, kBlocksPerPerformance> blockData(const PerformanceRecord& r)
{
    BlockSet set(true);
    r.toTransfer(set);
    return blockData(set);
}

// "stopped with 3, 57 performances saved", in the order they came.
std::string stoppedText(const std::vector<int>& counts, const char* what)
{
    if (counts.empty())
        return {};
    std::string out = "stopped or cancelled with ";
    for (size_t i = 0; i < counts.size(); ++i)
        out += (i ? ", " : "") + std::to_string(counts[i]);
    return out + " performances " + what;
}

struct Backup {
    int runs = 0;
    std::vector<int> stoppedAfter;
    std::string target;  // the bank file's name, in the backup folder
    fs::path folder;
    Files before;
    int cancelAt = -1;
    std::string result;  // the box that ended the run under way
};

// The one box a transfer ends with: its result, whatever else was shown.
std::string resultOfRun(Soak& s)
{
    const std::vector<std::string> answers = s.answersOfRun();
    EXPECT_LE(answers.size(), 1u) << "a transfer that ended in two ways";
    return answers.empty() ? std::string() : answers.back();
}

bool startsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

// The bank a backup left: a valid bank of whole records, performances 1 to
// `count` in order, each as the synth holds it.
void expectWholeRecordsOfTheSynth(Soak& s, const fs::path& bank, int count)
{
    const auto read = readBankFile(bank);
    ASSERT_TRUE(read) << bank << ": " << read.error().message();
    EXPECT_TRUE(read->skipped.empty()) << bank;
    ASSERT_EQ(int(read->records.size()), count) << bank;
    for (int pp = 0; pp < count; ++pp) {
        const PerformanceRecord& r = read->records[size_t(pp)];
        EXPECT_TRUE(r.faults().empty()) << bank << " record " << pp + 1;
        const Bytes inSynth = kwtest::userRecordOf(s.rig.cs1x(), pp);
        ASSERT_TRUE(std::equal(r.bytes().begin(), r.bytes().end(), inSynth.begin(), inSynth.end()))
            << bank << ": record " << pp + 1 << " is not the synth's performance";
    }
}

} // namespace

SoakTask backupTask(int count)
{
    auto b = std::make_shared<Backup>();
    SoakTask t;
    t.name = "backup of all 128";
    t.count = count;
    t.faultScale = 0.1;
    t.lateWithinMs = 1000;
    t.vanishChance = 0.25;
    t.vanishWithin = 7 * kUserPerformances;
    t.summary = [b] { return stoppedText(b->stoppedAfter, "saved"); };
    t.run = [b](Soak& s, bool again) {
        kwtest::SynthRig& rig = s.rig;
        if (b->folder.empty()) {
            b->folder = rig.dir / "backups";
            fs::create_directories(b->folder);
        }
        // Half of them under the one name, so an earlier bank is there to
        // be kept or replaced; trying again uses the name tried last.
        if (!again)
            b->target = s.dice.below(2) == 0 ? "backup.PFB" : "backup-" + std::to_string(++b->runs) + ".PFB";
        b->before = filesIn(b->folder);
        b->cancelAt = randomCancel(s, again);
        s.startRun();
        rig.dialogs.cancelAt = b->cancelAt;
        rig.dialogs.asks = {1};  // "Perf.-bank"
        rig.dialogs.files = {(b->folder / b->target).string()};
        rig.chooseMenu("MenuBulkAllPerfHD");
        EXPECT_TRUE(rig.dialogs.asks.empty() && rig.dialogs.files.empty())
            << "the backup did not ask for the format and the file";
        EXPECT_TRUE(rig.settle(kTransferLimitMs)) << "a backup still running after an hour";
        rig.dialogs.cancelAt = -1;

        b->result = resultOfRun(s);
        const std::string& r = b->result;
        return startsWith(r, "Perf. #")                ? Outcome::FailedAndReported
               : startsWith(r, "Transfer cancelled: ") ? Outcome::Cancelled
               : startsWith(r, "128 of 128 performances saved in ") ? Outcome::Succeeded
                                                                    : Outcome::Unreported;
    };
    t.check = [b](Soak& s, Outcome outcome) {
        const Files after = filesIn(b->folder);
        // What this backup wrote: one new or changed file at most, and
        // nothing left behind but banks.
        std::vector<std::string> written;
        for (const auto& [name, bytes] : after) {
            EXPECT_EQ(fs::path(name).extension(), ".PFB") << name << " left in the folder";
            const auto it = b->before.find(name);
            if (it == b->before.end() || it->second != bytes)
                written.push_back(name);
        }
        for (const auto& [name, bytes] : b->before)
            EXPECT_EQ(after.count(name), 1u) << name << " went missing";
        ASSERT_LE(written.size(), 1u) << "one backup, one bank";

        if (outcome == Outcome::Succeeded) {
            // (The same memory backed up twice gives the same bank.)
            EXPECT_TRUE(written.empty() || written == std::vector<std::string>{b->target})
                << "a complete backup goes under the chosen name";
            EXPECT_EQ(b->result, "128 of 128 performances saved in " + (b->folder / b->target).string());
            expectWholeRecordsOfTheSynth(s, b->folder / b->target, kUserPerformances);
            return;
        }
        const std::string& box = b->result;
        if (outcome == Outcome::Unreported)
            return;  // reported as a fault by the loop
        const int saved = countIn(box, "saved");
        ASSERT_GE(saved, 0) << "the report does not say how many were saved: " << box;
        if (outcome == Outcome::FailedAndReported) {
            EXPECT_TRUE(startsWith(box, "Perf. #" + entryNumber(saved) + " not saved: "))
                << "the report names another performance than the one that failed: " << box;
        }
        b->stoppedAfter.push_back(saved);
        if (outcome == Outcome::Cancelled) {
            EXPECT_EQ(saved, b->cancelAt) << "Cancel finishes the performance in flight, then stops";
        }
        EXPECT_LT(saved, kUserPerformances);
        if (saved == 0) {
            EXPECT_TRUE(written.empty()) << "a bank without a record";
            return;
        }
        ASSERT_EQ(written.size(), 1u) << box;
        // An incomplete bank is named as such, never as the chosen name, so
        // an earlier bank of that name stays.
        EXPECT_NE(written[0], b->target) << "an incomplete bank under the chosen name";
        EXPECT_NE(written[0].find("(incomplete, " + std::to_string(saved) + " of 128)"), std::string::npos) << written[0];
        EXPECT_NE(box.find((b->folder / written[0]).string()), std::string::npos)
            << "the report does not say where the records went: " << box;
        expectWholeRecordsOfTheSynth(s, b->folder / written[0], saved);
    };
    return t;
}

namespace {

struct BankSend {
    int runs = 0;
    std::vector<int> stoppedAfter;
    fs::path file;
    std::vector<PerformanceRecord> bank;
    std::vector<BlockSet> old;  // the synth's user memory before the send
    int cancelAt = -1;
    int fetchesBefore = 0;
    size_t progressBefore = 0;
    long ignoredBefore = 0;
    // Sends the synth stopped listening to: the editor cannot know (a
    // synth acknowledges no bulk dump), so they report success; how many
    // performances the synth had whole by then; sent again, all equal.
    std::vector<int> unheardAfter;
    int resentWhole = 0;
    std::vector<std::string> linesBefore;  // the user-performance list before the send
    std::string result;
    long breakAfter = -1;  // the port breaks after this many blocks (-1: it does not)
    std::vector<int> brokenAfter;
};

constexpr const char* kBrokenPort = "the virtual port broke";

} // namespace

SoakTask bankSendTask(int count)
{
    auto b = std::make_shared<BankSend>();
    SoakTask t;
    t.name = "bank send of 128";
    t.count = count;
    t.faultScale = 0.1;
    t.lateWithinMs = 1000;
    t.vanishChance = 0.25;
    t.vanishWithin = 8 * kUserPerformances;
    t.summary = [b] {
        std::string out = stoppedText(b->stoppedAfter, "sent");
        if (!b->brokenAfter.empty()) {
            out += std::string(out.empty() ? "" : "; ") + "the port broke after";
            for (size_t i = 0; i < b->brokenAfter.size(); ++i)
                out += (i ? ", " : " ") + std::to_string(b->brokenAfter[i]);
            out += " performances";
        }
        if (!b->unheardAfter.empty()) {
            out += std::string(out.empty() ? "" : "; ") + "the synth stopped listening after";
            for (size_t i = 0; i < b->unheardAfter.size(); ++i)
                out += (i ? ", " : " ") + std::to_string(b->unheardAfter[i]);
            out += " performances, sent again whole " + std::to_string(b->resentWhole) + " of "
                   + std::to_string(b->unheardAfter.size()) + " times";
        }
        return out;
    };
    auto send = std::make_shared<std::function<Outcome(Soak&, bool)>>();
    t.run = [send](Soak& s, bool again) { return (*send)(s, again); };
    *send = [b](Soak& s, bool again) {
        kwtest::SynthRig& rig = s.rig;
        // A bank of its own each time; trying again sends the same file.
        if (!again) {
            b->bank = kwtest::randomBank(unsigned(s.dice.next()));
            fs::create_directories(rig.dir / "banks");
            b->file = rig.dir / "banks" / ("bank-" + std::to_string(++b->runs) + ".PFB");
            EXPECT_FALSE(writeBankFile(b->file, b->bank));
        }
        b->old.clear();
        b->linesBefore.clear();
        for (int pp = 0; pp < kUserPerformances; ++pp) {
            b->old.push_back(rig.cs1x().user(pp));
            b->linesBefore.push_back(rig.session->userPerfs().entry(pp));
        }
        b->cancelAt = randomCancel(s, again);
        b->fetchesBefore = rig.tap->fetched;
        b->progressBefore = rig.dialogs.progressValues.size();
        b->ignoredBefore = rig.synth->cable().counts().ignored;
        // Now and then the way to the synth breaks under way (a JACK
        // server that goes away).
        b->breakAfter = !again && s.dice.below(5) == 0 ? s.dice.below(kBlocksPerPerformance * kUserPerformances) : -1;
        rig.synth->breakOutputAfter(b->breakAfter, kBrokenPort);
        s.startRun();
        rig.dialogs.cancelAt = b->cancelAt;
        rig.dialogs.files = {b->file.string()};
        rig.chooseMenu("MenuBulkPerfBankSynth");
        EXPECT_TRUE(rig.dialogs.files.empty()) << "the send did not ask for the bank";
        EXPECT_TRUE(rig.settle(kTransferLimitMs)) << "a bank send still running after an hour";
        rig.dialogs.cancelAt = -1;
        rig.synth->breakOutputAfter(-1);
        b->result = resultOfRun(s);
        const std::string& r = b->result;
        // Every block handed to the port marks the edit as changed, until a
        // fetch (a program change from the synth, held back until the send
        // was through) shows a performance as the synth holds it. Each
        // performance's progress comes once its last block is out; a send
        // that failed tried a block.
        const bool anySent = rig.dialogs.progressValues.size() > b->progressBefore
                             || r.find(" performances sent; performance ") != std::string::npos;
        if (anySent && rig.tap->fetched == b->fetchesBefore)
            s.modifiedShown = true;
        return r.find(" performances sent; performance ") != std::string::npos ? Outcome::FailedAndReported
               : startsWith(r, "Transfer cancelled: ")                         ? Outcome::Cancelled
               : r == "128 of 128 performances sent"                           ? Outcome::Succeeded
                                                                               : Outcome::Unreported;
    };
    t.check = [b, send](Soak& s, Outcome outcome) {
        const std::string& box = b->result;
        if (outcome == Outcome::Unreported)
            return;  // reported as a fault by the loop
        // What the user was told went out, and what the synth holds of it.
        const int reported = outcome == Outcome::Succeeded ? kUserPerformances : countIn(box, "sent");
        ASSERT_GE(reported, 0) << "the report does not say how many were sent: " << box;
        int sent = reported;
        // A synth that stopped listening on the way holds the performances
        // up to the one it stopped in: the editor cannot know (a synth
        // acknowledges no bulk dump), so they count as sent.
        const bool unheard = s.rig.synth->cable().counts().ignored > b->ignoredBefore;
        if (unheard) {
            sent = 0;
            while (sent < reported && blockData(s.rig.cs1x().user(sent)) == blockData(b->bank[size_t(sent)]))
                ++sent;
        }
        const auto blocksOf = [&](int pp) {
            const auto now = blockData(s.rig.cs1x().user(pp));
            const auto fresh = blockData(b->bank[size_t(pp)]);
            int n = 0;
            while (n < kBlocksPerPerformance && now[size_t(n)] == fresh[size_t(n)])
                ++n;
            return n;
        };
        if (outcome == Outcome::Succeeded) {
            EXPECT_LT(b->breakAfter, 0) << "a send through a broken port reported whole";
            if (unheard)
                b->unheardAfter.push_back(sent);
        } else {
            b->stoppedAfter.push_back(reported);
            ASSERT_LT(reported, kUserPerformances) << box;
        }
        if (outcome == Outcome::Cancelled) {
            EXPECT_EQ(reported, b->cancelAt) << "Cancel finishes the performance in flight, then stops";
        }
        if (outcome == Outcome::FailedAndReported) {
            // Only a broken port stops a send; it says where, and whether the
            // synth got a part of that performance.
            b->brokenAfter.push_back(reported);
            ASSERT_GE(b->breakAfter, 0) << box;
            EXPECT_LE(reported, b->breakAfter / kBlocksPerPerformance) << box;
            if (!unheard) {
                EXPECT_EQ(box, std::to_string(reported) + " of 128 performances sent; performance "
                                   + entryNumber(reported) + (blocksOf(reported) > 0 ? " was cut off: " : " was not sent: ")
                                   + kBrokenPort);
            }
        }
        for (int pp = 0; pp < kUserPerformances; ++pp) {
            // The list changed for the performances reported sent, and only for them.
            const std::string line = s.rig.session->userPerfs().entry(pp);
            ASSERT_EQ(line, pp < reported ? numberedEntry(pp, b->bank[size_t(pp)].shortEntry()) : b->linesBefore[size_t(pp)])
                << "the list line of Perf. #" << pp + 1 << " does not say what the synth got";
            const auto now = blockData(s.rig.cs1x().user(pp));
            const auto old = blockData(b->old[size_t(pp)]);
            if (pp < sent) {
                ASSERT_EQ(blocksOf(pp), kBlocksPerPerformance) << "Perf. #" << pp + 1 << " reported sent is not the bank's";
            } else if (pp > sent || (outcome == Outcome::Cancelled && !unheard)) {
                ASSERT_TRUE(now == old) << "Perf. #" << pp + 1 << " changed, though the send stopped before it";
            } else {
                // The one in flight when the port broke or the synth stopped
                // listening: the synth stores each block as it comes, so it
                // may hold the first blocks of the new performance and the
                // rest of the old one, each block whole.
                for (int i = blocksOf(pp); i < kBlocksPerPerformance; ++i)
                    EXPECT_TRUE(now[size_t(i)] == old[size_t(i)])
                        << "Perf. #" << pp + 1 << " block " << i + 1 << " is neither the old nor the new one";
            }
        }
        if (outcome == Outcome::Succeeded && unheard) {
            // The musician notices and sends the bank again, to a synth that listens.
            ASSERT_EQ((*send)(s, true), Outcome::Succeeded);
            for (int pp = 0; pp < kUserPerformances; ++pp)
                ASSERT_TRUE(blockData(s.rig.cs1x().user(pp)) == blockData(b->bank[size_t(pp)]))
                    << "Perf. #" << pp + 1 << " not the bank's after sending it again";
            ++b->resentWhole;
        }
    };
    return t;
}

} // namespace kwsoak
