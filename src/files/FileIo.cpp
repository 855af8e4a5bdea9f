#include "files/FileIo.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <process.h>
#else
#include <csignal>
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

#ifdef _WIN32
int processId() { return _getpid(); }
bool processEnded(long long) { return false; }
#else
int processId() { return int(::getpid()); }
bool processEnded(long long pid) { return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH; }
#endif

// A hidden name beside the target that no other save of this or another
// process picks at the same time (creation is exclusive, so a clash
// retries): ".NAME.kw-pPID-N-A". The process number tells a later run
// whether the file was left behind by a program that was killed.
fs::path tempNameFor(const fs::path& target, unsigned attempt)
{
    static std::atomic<unsigned> counter{0};
    fs::path::string_type base = target.filename().native();
    if (base.size() > 100)
        base.resize(100);
    fs::path name(".");
    name += base;
    name += ".kw-p" + std::to_string(processId()) + "-" + std::to_string(counter++) + "-" + std::to_string(attempt);
    fs::path p = target;
    p.replace_filename(name);
    return p;
}

// The digits of `text` from `at` on, as a number, and where they end.
bool numberAt(const std::string& text, size_t& at, long long& value)
{
    const size_t start = at;
    value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 18)
        value = value * 10 + (text[at++] - '0');
    return at > start;
}

// Each folder is looked through once a run, the first time a file is saved there.
void removeStaleTemporaryFiles(const fs::path& folder)
{
    static std::mutex mutex;
    static std::set<fs::path::string_type> done;
    {
        std::lock_guard lock(mutex);
        if (!done.insert(folder.native()).second)
            return;
    }
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (isStaleTemporaryFile(it->path())) {
            std::error_code gone;
            fs::remove(it->path(), gone);
        }
    }
}

} // namespace

bool isStaleTemporaryFile(const fs::path& file)
{
    const std::string name = file.filename().string();
    const size_t kw = name.rfind(".kw-");
    if (name.size() < 2 || name[0] != '.' || kw == std::string::npos || kw == 0)
        return false;
    size_t at = kw + 4;
    const bool withProcess = at < name.size() && name[at] == 'p';
    at += withProcess;
    long long first = 0, second = 0, third = 0;
    if (!numberAt(name, at, first) || at >= name.size() || name[at++] != '-' || !numberAt(name, at, second)
        || at >= name.size() || name[at++] != '-' || !numberAt(name, at, third) || at != name.size())
        return false;
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(file, ec)))
        return false;
    if (withProcess)
        return first != processId() && processEnded(first);
    const auto age = fs::file_time_type::clock::now() - fs::last_write_time(file, ec);
    return !ec && age > std::chrono::hours(1);
}

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
        std::error_code ec;
        return FileError{FileErrorKind::CannotOpen, path,
                         fs::is_directory(path, ec) ? systemReason(EISDIR) : std::string("Not a regular file")};
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

Result<FileHead> openWithHead(const fs::path& path, size_t count)
{
    auto in = InputFile::open(path);
    if (!in)
        return in.error();
    auto head = in->read(size_t(std::min<uint64_t>(in->size(), count)));
    if (!head)
        return head.error();
    return FileHead{std::move(*in), std::move(*head)};
}

Result<Bytes> FileHead::withRest()
{
    auto rest = in.read(size_t(in.size() - head.size()));
    if (!rest)
        return rest.error();
    Bytes all = std::move(head);
    all.insert(all.end(), rest->begin(), rest->end());
    return all;
}

Result<Bytes> readFileBytes(const fs::path& path, uint64_t limit)
{
    auto in = InputFile::open(path);
    if (!in)
        return in.error();
    return in->read(size_t(std::min(in->size(), limit)));
}

// --------------------------------------------------------------- AtomicFile

AtomicFile::AtomicFile(fs::path target, Sync sync) : target_(std::move(target)), sync_(sync) {}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : target_(std::move(other.target_)), sync_(other.sync_), dest_(std::move(other.dest_)),
      destOf_(std::move(other.destOf_)), temp_(std::move(other.temp_)), fd_(std::exchange(other.fd_, -1)),
      size_(other.size_)
{
    other.temp_.clear();
}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept
{
    if (this != &other) {
        abandon();
        target_ = std::move(other.target_);
        sync_ = other.sync_;
        dest_ = std::move(other.dest_);
        destOf_ = std::move(other.destOf_);
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
    // Renaming over a FIFO or a device would put a plain file where the
    // user meant a reader or a device (/dev/stdout, a pipe into a player).
    // One look at a plain target: thousands of files may be written in a row.
    std::error_code ec;
    fs::file_status st = fs::symlink_status(target_, ec);
    dest_ = target_;
    if (fs::is_symlink(st)) {
        dest_ = throughLinks(target_);
        st = fs::status(target_, ec);
    }
    destOf_ = target_;
    // A link that leads round in a circle must not be replaced as if it led nowhere.
    if (ec && st.type() == fs::file_type::none)
        return error(ec.value());
    if (st.type() == fs::file_type::directory)
        return error(EISDIR);
    if (fs::exists(st) && st.type() != fs::file_type::regular)
        return FileError{FileErrorKind::CannotSave, target_, "Not a regular file"};
    const fs::path& dest = dest_;
    removeStaleTemporaryFiles(dest.parent_path());
    size_ = 0;
#ifdef O_TMPFILE
    const fs::path folder = dest.parent_path().empty() ? fs::path(".") : dest.parent_path();
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ >= 0)
        return std::nullopt;
    // Not every file system has unnamed files; a missing or refusing folder
    // is told by the named attempt below.
#endif
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const fs::path temp = tempNameFor(dest, attempt);
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

#ifdef O_TMPFILE
namespace {

// Gives the unnamed file `fd` the name `to`; fails with EEXIST when taken.
bool linkUnnamed(int fd, const fs::path& to)
{
    // Straight from the descriptor where the system lets this user (it
    // spares a walk through /proc for each of thousands of files); the
    // first refusal (ENOENT) is remembered.
    static std::atomic<bool> byDescriptor{true};
    if (byDescriptor) {
        if (::linkat(fd, "", AT_FDCWD, to.c_str(), AT_EMPTY_PATH) == 0)
            return true;
        if (errno != ENOENT)
            return false;
        byDescriptor = false;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

} // namespace
#endif

SaveError AtomicFile::nameIt([[maybe_unused]] const fs::path& dest)
{
#ifdef O_TMPFILE
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const fs::path temp = tempNameFor(dest, attempt);
        if (linkUnnamed(fd_, temp)) {
            temp_ = temp;
            return std::nullopt;
        }
        if (errno != EEXIST)
            return error(errno);
    }
#endif
    return error(EEXIST);
}

SaveError AtomicFile::commit()
{
    if (fd_ < 0)
        return error(EBADF);
    const fs::path dest = destOf_.native() == target_.native() ? dest_ : throughLinks(target_);
    bool synced = false;
    const auto sync = [&]() -> SaveError {
        if (!synced && syncFile(fd_) != 0) {
            const int err = errno;
            abandon();
            return error(err);
        }
        synced = true;
        return std::nullopt;
    };
#ifdef O_TMPFILE
    // A new file takes its name straight away (the link fails where a file
    // is in the way); one that replaces another is named at the last moment
    // and renamed over it at once.
    if (temp_.empty()) {
        if (sync_ == Sync::Always)
            if (auto e = sync())
                return e;
        if (linkUnnamed(fd_, dest)) {
            if (closeFile(std::exchange(fd_, -1)) != 0) {
                const int err = errno;
                std::error_code ec;
                fs::remove(dest, ec);
                return error(err);
            }
            return std::nullopt;
        }
    }
#endif
#ifndef _WIN32
    // Replacing a file keeps whose it is and who may read and write it
    // (the owner only where the system lets this user give it away).
    struct stat old;
    if (::stat(dest.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        [[maybe_unused]] const int owned = ::fchown(fd_, old.st_uid, old.st_gid);
        ::fchmod(fd_, old.st_mode & 07777);
    }
#endif
    if (auto e = sync())
        return e;
    if (temp_.empty()) {
        if (auto e = nameIt(dest)) {
            abandon();
            return e;
        }
    }
    const int fd = std::exchange(fd_, -1);
    if (closeFile(fd) != 0) {
        const int err = errno;
        abandon();
        return error(err);
    }
    std::error_code ec;
    fs::rename(temp_, dest, ec);
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

fs::path throughLinks(const fs::path& path)
{
    fs::path p = path;
    // As many steps as the system follows itself before it calls it a loop.
    for (int step = 0; step < 40; ++step) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(p, ec)))
            return p;
        const fs::path to = fs::read_symlink(p, ec);
        if (ec)
            return p;
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    return p;
}

SaveError writeFileAtomically(const fs::path& path, ByteView bytes, AtomicFile::Sync sync)
{
    AtomicFile f(path, sync);
    if (auto e = f.open())
        return e;
    if (auto e = f.write(bytes))
        return e;
    return f.commit();
}

} // namespace kw
