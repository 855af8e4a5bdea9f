#pragma once
// The bank manager as the program wires it, on the library fixture, with
// ways to put performance and bank files into the test's folder.

#include "SessionFixture.h"

#include "files/BankFile.h"
#include "files/PerformanceFile.h"
#include "session/BankManager.h"

namespace kwtest {

struct BankFixture : SessionFixture {
    kw::BankModel model;
    kw::BankManager manager{ctx, model};

    // The full refresh after a fetch resets the editor state, as the window's does.
    BankFixture() { ui.session = &session; }

    std::string file(const std::string& name, const kw::PerformanceRecord& r)
    {
        EXPECT_FALSE(kw::writePerformanceFile(dir / name, r));
        return (dir / name).string();
    }
    std::string bankFile(const std::string& name, const std::vector<kw::PerformanceRecord>& records)
    {
        EXPECT_FALSE(kw::writeBankFile(dir / name, records));
        return (dir / name).string();
    }
    // "Load Performance-bank" to its end: the slots set, or nothing.
    std::optional<std::vector<int>> load(const std::string& path, kw::BankManager* into = nullptr)
    {
        std::optional<std::optional<std::vector<int>>> got;
        (into ? *into : manager).loadBank(path, [&](std::optional<std::vector<int>> set) { got = std::move(set); });
        clock.advance(0);  // the bank comes in slices
        EXPECT_TRUE(got.has_value()) << "the bank was not read to its end";
        return got.value_or(std::nullopt);
    }
    void drop(int slot, const std::vector<std::string>& paths)
    {
        bool done = false;
        manager.dropFiles(slot, paths, [&] { done = true; });
        clock.advance(0);
        EXPECT_TRUE(done);
    }
};

} // namespace kwtest
