// The program's entry joins the library's commands (store/, a layer above
// files/) to the tool; the files code itself knows nothing of the library.
#include "files/FilesTool.h"
#include "store/LibraryTool.h"

#include <iostream>

namespace {

const std::map<std::string, kw::ToolCommand>& libraryCommands()
{
    static const std::map<std::string, kw::ToolCommand> commands = {{"library", kw::runLibraryCommand}};
    return commands;
}

} // namespace

#ifdef _WIN32
#include "files/FilePaths.h"

// Wide arguments keep file names outside the ANSI code page intact.
int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(kw::utf8FromPath(std::filesystem::path(argv[i])));
    return kw::runFilesTool(args, std::cin, std::cout, std::cerr, libraryCommands());
}
#else
#include <array>
#include <cerrno>
#include <cstring>
#include <streambuf>
#include <system_error>
#include <unistd.h>

namespace {

// Standard input and output straight on their descriptors, so that the tool
// learns why a write failed (a full disk, /dev/full, `ulimit -f`) and a stop
// signal ends a wait for input or for room in a pipe instead of the wait
// being taken up again.
class DescriptorOutput : public std::streambuf {
public:
    explicit DescriptorOutput(int fd) : fd_(fd) { setp(buf_.data(), buf_.data() + buf_.size()); }
    // The errno of the first failed write, or 0.
    int error() const { return error_; }

protected:
    int_type overflow(int_type c) override
    {
        if (!drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return drain() ? 0 : -1; }

private:
    bool drain()
    {
        const char* p = pbase();
        while (error_ == 0 && p < pptr()) {
            const ssize_t n = ::write(fd_, p, size_t(pptr() - p));
            if (n < 0 && errno == EINTR && !kw::stopSignal())
                continue;
            if (n <= 0)
                error_ = n < 0 ? errno : EIO;
            else
                p += n;
        }
        setp(buf_.data(), buf_.data() + buf_.size());
        return error_ == 0;
    }

    int fd_;
    int error_ = 0;
    std::array<char, 65536> buf_;
};

class DescriptorInput : public std::streambuf {
public:
    explicit DescriptorInput(int fd) : fd_(fd) {}

protected:
    int_type underflow() override
    {
        for (;;) {
            const ssize_t n = ::read(fd_, buf_.data(), buf_.size());
            if (n < 0 && errno == EINTR && !kw::stopSignal())
                continue;
            if (n < 0)
                throw std::system_error(errno, std::generic_category());
            if (n == 0)
                return traits_type::eof();
            setg(buf_.data(), buf_.data(), buf_.data() + n);
            return traits_type::to_int_type(buf_[0]);
        }
    }

private:
    int fd_;
    std::array<char, 65536> buf_;
};

} // namespace

int main(int argc, char** argv)
{
    kw::catchStopSignals();
    DescriptorInput inBuf(STDIN_FILENO);
    DescriptorOutput outBuf(STDOUT_FILENO);
    std::istream in(&inBuf);
    std::ostream out(&outBuf);
    int status = kw::runFilesTool(std::vector<std::string>(argv + 1, argv + argc), in, out, std::cerr, libraryCommands());
    out.flush();
    // A stop is reported by the tool, which knows what it was doing then.
    if (outBuf.error() != 0 && !(outBuf.error() == EINTR && kw::stopSignal())) {
        std::cerr << "knobwright-files: standard output: cannot write: " << std::strerror(outBuf.error()) << '\n';
        status = 2;
    }
    return status;
}
#endif
