#pragma once
// A private folder per test and a few ways to make performances and files.

#include "files/PerformanceRecord.h"
#include "model/NameTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace kwtest {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir()
    {
        static std::atomic<int> n{0};
        path_ = fs::temp_directory_path()
                / ("kw-files-" + std::to_string(::getpid()) + "-" + std::to_string(n++));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    // Everything in the folder, to catch temporary files left behind.
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(path_))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    fs::path path_;
};

// Writes beyond `bytes` fail with "File too large" while it lives, for root
// too: the way to make a save break off after the temporary file was made.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = saved_;
        lim.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
};

inline kw::Bytes readAll(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return kw::Bytes(std::istreambuf_iterator<char>(f), {});
}

inline void writeAll(const fs::path& p, kw::ByteView b)
{
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

inline kw::ByteView view(const std::string& s)
{
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// The edit image at its defaults with a name and category, as user
// performance `number`: a sound record as the editor writes it.
inline kw::PerformanceRecord makeRecord(int number, int category, const std::string& name8)
{
    kw::PerformanceImage img;
    img.setDefaults();
    auto& c00 = img.edit[kw::BlockKind::Common00];
    for (size_t i = 0; i < 8; ++i)
        c00.data(i) = i < name8.size() ? uint8_t(name8[i]) : ' ';
    c00.data(8) = uint8_t(category);
    return kw::PerformanceRecord::fromEdit(img.edit, number);
}

} // namespace kwtest
