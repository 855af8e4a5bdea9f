#include "files/FileIo.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <string>
#include <utility>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace kw {

namespace {

// The few descriptor calls the file classes need, on both kinds of system.
#ifdef _WIN32
int openRead(const fs::path& p) { return _wopen(p.c_str(), _O_RDONLY | _O_BINARY); }
int createNew(const fs::path& p)
{
    return _wopen(p.c_str(), _O_WRONLY | _O_BINARY | _O_CREAT | _O_EXCL, _S_IREAD | _S_IWRITE);
}
long long readSome(int fd, uint8_t* buf, size_t n) { return _read(fd, buf, unsigned(n)); }
long long writeSome(int fd, const uint8_t* buf, size_t n) { return _write(fd, buf, unsigned(n)); }
int syncFile(int fd) { return _commit(fd); }
int cutFile(int fd, uint64_t size) { return _chsize_s(fd, (long long)size) == 0 ? 0 : -1; }
int closeFile(int fd) { return _close(fd); }
bool fileSize(int fd, uint64_t& size, bool& regular)
{
    struct _stat64 st;
    if (_fstat64(fd, &st) != 0)
        return false;
    size = uint64_t(st.st_size);
    regular = (st.st_mode & _S_IFREG) != 0;
    return true;
}
#else
// Non-blocking so that a FIFO given by mistake is refused instead of waited on;
// regular files ignore the flag.
int openRead(const fs::path& p) { return ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); }
int createNew(const fs::path& p) { return ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }
long long readSome(int fd, uint8_t* buf, size_t n) { return ::read(fd, buf, n); }
long long writeSome(int fd, const uint8_t* buf, size_t n) { return ::write(fd, buf, n); }
int syncFile(int fd) { return ::fsync(fd); }
int cutFile(int fd, uint64_t size) { return ::ftruncate(fd, off_t(size)); }
int closeFile(int fd) { return ::close(fd); }
bool fileSize(int fd, uint64_t& size, bool& regular)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    size = uint64_t(st.st_size);
    regular = S_ISREG(st.st_mode);
    return true;
}
#endif

// A hidden name beside the target that no other save of this or another
// process picks at the same time (creation is exclusive, so a clash retries).
fs::path tempNameFor(const fs::path& target, unsigned attempt)
{
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path::string_type base = target.filename().native();
    if (base.size() > 100)
        base.resize(100);
    fs::path name(".");
    name += base;
    name += ".kw-" + std::to_string((unsigned long long)(stamp) % 1000000007ULL) + "-" + std::to_string(counter++)
            + "-" + std::to_string(attempt);
    fs::path p = target;
    p.replace_filename(name);
    return p;
}

} // namespace

// ---------------------------------------------------------------- InputFile

InputFile::InputFile(fs::path path, int fd, uint64_t size) : path_(std::move(path)), fd_(fd), size_(size) {}

InputFile::InputFile(InputFile&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)), size_(other.size_)
{
}

InputFile& InputFile::operator=(InputFile&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            closeFile(fd_);
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
    }
    return *this;
}

InputFile::~InputFile()
{
    if (fd_ >= 0)
        closeFile(fd_);
}

Result<InputFile> InputFile::open(const fs::path& path)
{
    const int fd = openRead(path);
    if (fd < 0)
        return FileError{FileErrorKind::CannotOpen, path, systemReason(errno)};
    uint64_t size = 0;
    bool regular = false;
    if (!fileSize(fd, size, regular)) {
        const int err = errno;
        closeFile(fd);
        return FileError{FileErrorKind::CannotOpen, path, systemReason(err)};
    }
    if (!regular) {
        closeFile(fd);
        return FileError{FileErrorKind::CannotOpen, path, "Not a regular file"};
    }
    return InputFile(path, fd, size);
}

Result<Bytes> InputFile::read(size_t count)
{
    Bytes out(count);
    size_t got = 0;
    while (got < count) {
        const long long n = readSome(fd_, out.data() + got, count - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return FileError{FileErrorKind::CannotOpen, path_, systemReason(errno)};
        if (n == 0)
            return FileError{FileErrorKind::CannotOpen, path_, "The file ended early"};
        got += size_t(n);
    }
    return out;
}

Result<Bytes> readFileBytes(const fs::path& path, uint64_t limit)
{
    auto in = InputFile::open(path);
    if (!in)
        return in.error();
    return in->read(size_t(std::min(in->size(), limit)));
}

// --------------------------------------------------------------- AtomicFile

AtomicFile::AtomicFile(fs::path target) : target_(std::move(target)) {}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : target_(std::move(other.target_)), temp_(std::move(other.temp_)), fd_(std::exchange(other.fd_, -1)),
      size_(other.size_)
{
    other.temp_.clear();
}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept
{
    if (this != &other) {
        abandon();
        target_ = std::move(other.target_);
        temp_ = std::move(other.temp_);
        other.temp_.clear();
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
    }
    return *this;
}

AtomicFile::~AtomicFile()
{
    abandon();
}

FileError AtomicFile::error(int err) const
{
    return FileError{FileErrorKind::CannotSave, target_, systemReason(err)};
}

void AtomicFile::closeQuietly()
{
    if (fd_ >= 0)
        closeFile(fd_);
    fd_ = -1;
}

SaveError AtomicFile::open()
{
    abandon();
    if (target_.filename().empty())
        return FileError{FileErrorKind::CannotSave, target_, "No file name"};
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const fs::path temp = tempNameFor(target_, attempt);
        fd_ = createNew(temp);
        if (fd_ >= 0) {
            temp_ = temp;
            size_ = 0;
            return std::nullopt;
        }
        if (errno != EEXIST)
            return error(errno);
    }
    return error(EEXIST);
}

SaveError AtomicFile::write(ByteView bytes)
{
    if (fd_ < 0)
        return error(EBADF);
    size_t done = 0;
    while (done < bytes.size()) {
        const long long n = writeSome(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : EIO;
            size_ += done;
            return error(err);
        }
        done += size_t(n);
    }
    size_ += done;
    return std::nullopt;
}

SaveError AtomicFile::truncate(uint64_t size)
{
    if (fd_ < 0)
        return error(EBADF);
    if (cutFile(fd_, size) != 0)
        return error(errno);
    size_ = size;
    return std::nullopt;
}

SaveError AtomicFile::commit()
{
    if (fd_ < 0)
        return error(EBADF);
    const int fd = std::exchange(fd_, -1);
    if (syncFile(fd) != 0) {
        const int err = errno;
        closeFile(fd);
        abandon();
        return error(err);
    }
    if (closeFile(fd) != 0) {
        const int err = errno;
        abandon();
        return error(err);
    }
    std::error_code ec;
    fs::rename(temp_, target_, ec);
    if (ec) {
        abandon();
        return FileError{FileErrorKind::CannotSave, target_, ec.message()};
    }
    temp_.clear();
    return std::nullopt;
}

void AtomicFile::abandon()
{
    closeQuietly();
    if (!temp_.empty()) {
        std::error_code ec;
        fs::remove(temp_, ec);
        temp_.clear();
    }
}

SaveError writeFileAtomically(const fs::path& path, ByteView bytes)
{
    AtomicFile f(path);
    if (auto e = f.open())
        return e;
    if (auto e = f.write(bytes))
        return e;
    return f.commit();
}

} // namespace kw
