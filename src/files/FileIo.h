#pragma once
// Reading whole files and writing them so that a failed or interrupted save
// never destroys the file that was there before.

#include "files/FileError.h"
#include "model/Block.h"

#include <cstdint>
#include <filesystem>

namespace kw {

// A file opened for reading; reports errors as CannotOpen with the reason.
class InputFile {
public:
    static Result<InputFile> open(const std::filesystem::path& path);
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    uint64_t size() const { return size_; }
    // The next `count` bytes, or an error when fewer could be read.
    Result<Bytes> read(size_t count);

private:
    InputFile(std::filesystem::path path, int fd, uint64_t size);
    std::filesystem::path path_;
    int fd_ = -1;
    uint64_t size_ = 0;
};

// A file opened for reading and its first bytes read: what a reader judges
// the file by (its kind, and whether its size fits that kind) before it
// reads the rest.
struct FileHead {
    InputFile in;  // read up to the end of `head`
    Bytes head;    // the first bytes: all of them when the file is shorter

    // The head and the rest of the file: the whole of it.
    Result<Bytes> withRest();
};
// Opens `path` as InputFile::open() does (a regular file only, so a FIFO or
// a device is refused, not waited on) and reads its first `count` bytes.
// Errors are CannotOpen with the system's reason.
Result<FileHead> openWithHead(const std::filesystem::path& path, size_t count);

// The whole file; files larger than `limit` are cut at `limit` bytes.
Result<Bytes> readFileBytes(const std::filesystem::path& path, uint64_t limit);

// A file written beside its target and put in its place by commit(). Until
// then the target is untouched; abandon() or destruction without commit()
// leaves nothing behind. Where the file system allows, the file has no name
// until commit() (so a killed program leaves nothing either); elsewhere it is
// written under a hidden temporary name, and the temporary files a killed run
// left in a folder are removed when the program next writes there. A target
// that exists keeps its permission bits (and, where the system lets it, its
// owner). A target that is a symbolic link is written through: the file it
// points to is replaced and the link stays. A target that is something other
// than a file (a folder, a FIFO, a device) is refused at open(). Every error
// names the target and ends as CannotSave.
class AtomicFile {
public:
    // When the content is forced to the disk before it takes the target's
    // place: always, or only when it replaces a file (so a crash can never
    // leave an older file damaged; a new one may then be lost, as with cp or
    // tar, and writing thousands of files does not wait on the disk for each).
    enum class Sync { Always, WhenReplacing };

    explicit AtomicFile(std::filesystem::path target, Sync sync = Sync::Always);
    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&& other) noexcept;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    const std::filesystem::path& target() const { return target_; }
    bool isOpen() const { return fd_ >= 0; }
    // Bytes written so far (after truncate(): the size cut to).
    uint64_t size() const { return size_; }

    // Creates the temporary file.
    SaveError open();
    SaveError write(ByteView bytes);
    // Cuts the temporary file to `size` bytes, dropping a half-written tail.
    SaveError truncate(uint64_t size);
    // Flushes to the disk and renames over the target.
    SaveError commit();
    // Removes the temporary file; the target stays as it was.
    void abandon();
    // Another target in the same folder for commit(): the file written so
    // far lands there instead.
    void retarget(std::filesystem::path target) { target_ = std::move(target); }

    // Whether the file being written has no name yet (the file system
    // took an unnamed one).
    bool unnamed() const { return fd_ >= 0 && temp_.empty(); }

private:
    FileError error(int err) const;
    void closeQuietly();
    // Gives the unnamed file a hidden name beside `dest`.
    SaveError nameIt(const std::filesystem::path& dest);

    std::filesystem::path target_;
    Sync sync_ = Sync::Always;
    // Where the target's links lead, as found by open() for destOf_ (a
    // retarget() since then is followed at commit()).
    std::filesystem::path dest_, destOf_;
    std::filesystem::path temp_;
    int fd_ = -1;
    uint64_t size_ = 0;
};

// Whether `name` is a temporary file a save of this program left behind in
// its folder when the program was killed (its process has ended, or, named
// the way earlier versions named them, an hour has passed).
bool isStaleTemporaryFile(const std::filesystem::path& file);

// The whole of `bytes` as the new content of `path`, all or nothing.
SaveError writeFileAtomically(const std::filesystem::path& path, ByteView bytes,
                              AtomicFile::Sync sync = AtomicFile::Sync::Always);

// `path` with every symbolic link on its last step followed (a link to a
// file that does not exist yet gives that file's path).
std::filesystem::path throughLinks(const std::filesystem::path& path);

} // namespace kw
