#pragma once
// The bank manager as the program wires it, on the library fixture, with
// ways to put performance and bank files into the test's folder.

#include "LibraryFixture.h"

#include "files/BankFile.h"
#include "files/PerformanceFile.h"
#include "library/BankManager.h"

namespace kwtest {

struct BankFixture : LibraryFixture {
    kw::BankModel model;
    kw::BankManager manager{lib, model};

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
};

} // namespace kwtest
