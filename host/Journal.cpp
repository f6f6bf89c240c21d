// Journal: frames, commit, cut, reset and recovery of qx.log (see Journal.h).
#include "host/Journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>

#include "host/Bytes.h"
#include "host/Crc32.h"
#include "host/IoUtil.h"

namespace qxhost {
namespace {

// A record is at most 32767 bytes: anything longer is not a frame of ours.
constexpr std::uint32_t kMaxPayloadPart = 1u << 16;

std::uint32_t FrameCrc(std::uint32_t salt, const unsigned char* header, const unsigned char* payload,
                       std::size_t payloadLength) {
    unsigned char seed[4];
    PutU32(seed, salt);
    std::uint32_t crc = Crc32(seed, 4);
    crc = Crc32(header, 32, crc);
    return Crc32(payload, payloadLength, crc);
}

// One frame read back from the log.
struct Frame {
    Journal::FrameType type;
    std::uint32_t table;
    std::uint64_t offset;
    std::uint32_t beforeLength;
    std::uint32_t afterLength;
    std::uint64_t memoEnd;
    std::uint64_t at;  // where the frame starts
};

// Reads the frame at `at`; false at the end of the whole frames.
bool ReadFrame(int fd, std::uint32_t salt, std::uint64_t at, Frame& frame, std::vector<unsigned char>& payload) {
    unsigned char head[Journal::kFrameHeader];
    if (IoUtil::ReadAt(fd, head, sizeof head, at) != static_cast<long long>(sizeof head)) return false;
    std::uint32_t type = GetU32(head);
    frame = Frame{static_cast<Journal::FrameType>(type), GetU32(head + 4), GetU64(head + 8), GetU32(head + 16),
                  GetU32(head + 20), GetU64(head + 24), at};
    if (GetU32(head + 36) != Journal::kFrameMagic || type < 1 || type > 3 || frame.beforeLength > kMaxPayloadPart ||
        frame.afterLength > kMaxPayloadPart)
        return false;
    std::size_t length = std::size_t(frame.beforeLength) + frame.afterLength;
    payload.resize(length);
    if (length > 0 && IoUtil::ReadAt(fd, payload.data(), length, at + sizeof head) != static_cast<long long>(length))
        return false;
    return FrameCrc(salt, head, payload.data(), length) == GetU32(head + 32);
}

// Recovery into the files themselves, each opened once.
class FileTarget : public Journal::Target {
public:
    explicit FileTarget(const std::vector<std::string>& bases) : bases_(bases) {}
    ~FileTarget() override {
        for (auto& [key, fd] : fds_)
            if (fd >= 0) ::close(fd);
    }
    bool Write(std::uint32_t table, std::uint64_t offset, const unsigned char* bytes, std::uint32_t length,
               std::string& error) override {
        int fd = Get(table, false, error);
        if (fd < 0) return false;
        if (IoUtil::WriteAt(fd, bytes, length, offset)) return true;
        error = IoUtil::ErrnoText("cannot recover", bases_[table]);
        return false;
    }
    bool Cut(std::uint32_t table, std::uint64_t size, std::uint64_t memoEnd, std::string& error) override {
        int data = Get(table, false, error);
        if (data < 0) return false;
        if (!CutFile(data, size)) {
            error = IoUtil::ErrnoText("cannot recover", bases_[table]);
            return false;
        }
        if (memoEnd == 0) return true;
        int memo = Get(table, true, error);
        if (memo < 0) return false;
        if (CutFile(memo, memoEnd)) return true;
        error = IoUtil::ErrnoText("cannot recover", bases_[table]);
        return false;
    }
    bool SyncAll(std::string& error) {
        for (auto& [key, fd] : fds_) {
            if (fd >= 0 && ::fdatasync(fd) != 0) {
                error = IoUtil::ErrnoText("cannot sync", bases_[key.first]);
                return false;
            }
        }
        return true;
    }

private:
    // Cuts `fd` to `size` when it is longer.
    static bool CutFile(int fd, std::uint64_t size) {
        struct stat st;
        if (::fstat(fd, &st) != 0) return false;
        if (static_cast<std::uint64_t>(st.st_size) <= size) return true;
        return ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    }
    // The record file (memo: the memo file) of table `table`; -1 with a message.
    int Get(std::uint32_t table, bool memo, std::string& error) {
        if (table >= bases_.size()) {
            error = "the log names a file missing from the analysis";
            return -1;
        }
        auto key = std::make_pair(table, memo);
        auto it = fds_.find(key);
        if (it != fds_.end()) return it->second;
        std::string path = bases_[table] + (memo ? ".qxm" : ".qxd");
        int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) error = IoUtil::ErrnoText("cannot recover", path);
        fds_[key] = fd;
        return fd;
    }

    const std::vector<std::string>& bases_;
    std::map<std::pair<std::uint32_t, bool>, int> fds_;
};

// Opens the log at `path` for reading (and writing when it can); -1 when it is missing
// (errno ENOENT) or cannot be opened.
int OpenLog(const std::string& path, bool& writable) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    writable = fd >= 0;
    if (fd < 0 && errno != ENOENT) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd;
}

// Gives `target` the committed frames' new bytes in order, then the unfinished
// transaction's old bytes, last change first, and its files' start sizes.  False with
// `error` from the target; `salt` from the log's header.
bool ReplayFrames(int fd, std::uint32_t salt, Journal::Target& target, Journal::Recovery& recovery,
                  std::string& error) {
    // First pass: where the whole frames end, and where the last commit ends.
    Frame frame;
    std::vector<unsigned char> payload;
    std::uint64_t at = Journal::kHeaderSize, committedEnd = Journal::kHeaderSize;
    auto next = [&] { return at + Journal::kFrameHeader + frame.beforeLength + frame.afterLength; };
    while (ReadFrame(fd, salt, at, frame, payload)) {
        at = next();
        if (frame.type == Journal::FrameType::kCommit) committedEnd = at;
    }
    const std::uint64_t end = at;
    recovery.needed = end > Journal::kHeaderSize;
    // Committed transactions: their new bytes again, in order.
    for (at = Journal::kHeaderSize; at < committedEnd; at = next()) {
        if (!ReadFrame(fd, salt, at, frame, payload)) break;
        if (frame.type != Journal::FrameType::kWrite) continue;
        if (!target.Write(frame.table, frame.offset, payload.data() + frame.beforeLength, frame.afterLength, error))
            return false;
        ++recovery.committedFrames;
    }
    // The unfinished one: old bytes back, last change first, then the files cut to their sizes.
    std::vector<Frame> pending;
    for (at = committedEnd; at < end; at = next()) {
        if (!ReadFrame(fd, salt, at, frame, payload)) break;
        if (frame.type == Journal::FrameType::kStart || frame.beforeLength > 0) pending.push_back(frame);
    }
    for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
        if (it->type != Journal::FrameType::kWrite) continue;
        if (!ReadFrame(fd, salt, it->at, frame, payload)) break;
        if (!target.Write(frame.table, frame.offset, payload.data(), frame.beforeLength, error)) return false;
        ++recovery.undoneFrames;
    }
    for (const Frame& start : pending) {
        if (start.type != Journal::FrameType::kStart) continue;
        if (!target.Cut(start.table, start.offset, start.memoEnd, error)) return false;
        ++recovery.undoneFrames;
    }
    return true;
}

// The salt of a whole header; false when the log has none (no frame was ever trusted to it).
bool ReadHeader(int fd, std::uint32_t& salt) {
    unsigned char header[Journal::kHeaderSize];
    if (IoUtil::ReadAt(fd, header, sizeof header, 0) != static_cast<long long>(sizeof header) ||
        std::memcmp(header, Journal::kMagic, 8) != 0 || GetU32(header + 8) != Journal::kVersion ||
        Crc32(header, 16) != GetU32(header + 16))
        return false;
    salt = GetU32(header + 12);
    return true;
}

}  // namespace

Journal::~Journal() { Close(); }

void Journal::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    buffer_.clear();
    fileEnd_ = 0;
}

bool Journal::Recover(const std::string& directory, const std::vector<std::string>& tableBases, Recovery& recovery,
                      std::string& error) {
    std::string path = directory + "/" + kFileName;
    bool writable = false;
    int fd = OpenLog(path, writable);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        error = IoUtil::ErrnoText("cannot open", path);
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    std::uint32_t salt = 0;
    if (!ReadHeader(fd, salt)) {
        if (writable && ::ftruncate(fd, 0) != 0) {
            error = IoUtil::ErrnoText("cannot empty", path);
            return false;
        }
        return true;
    }
    if (!writable) {
        // Frames no one can undo here: the files are left as they are.
        struct Nothing : Target {
            bool Write(std::uint32_t, std::uint64_t, const unsigned char*, std::uint32_t, std::string&) override {
                return true;
            }
            bool Cut(std::uint32_t, std::uint64_t, std::uint64_t, std::string&) override { return true; }
        } nothing;
        ReplayFrames(fd, salt, nothing, recovery, error);
        if (!recovery.needed) return true;
        error = "cannot recover '" + directory + "': its log cannot be written";
        return false;
    }
    FileTarget files(tableBases);
    if (!ReplayFrames(fd, salt, files, recovery, error) || !files.SyncAll(error)) return false;
    // Every change is now where it belongs: the log is spent.
    if (::ftruncate(fd, 0) != 0 || ::fdatasync(fd) != 0) {
        error = IoUtil::ErrnoText("cannot empty", path);
        return false;
    }
    return true;
}

bool Journal::Replay(const std::string& directory, Target& target, Recovery& recovery, std::string& error) {
    std::string path = directory + "/" + kFileName;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        error = IoUtil::ErrnoText("cannot open", path);
        return false;
    }
    std::uint32_t salt = 0;
    bool done = !ReadHeader(fd, salt) || ReplayFrames(fd, salt, target, recovery, error);
    ::close(fd);
    return done;
}

bool Journal::Open(const std::string& directory, std::string& error) {
    Close();
    path_ = directory + "/" + kFileName;
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error = IoUtil::ErrnoText("cannot open", path_);
        return false;
    }
    return true;
}

std::uint64_t Journal::FileSize() const {
    struct stat st;
    return fd_ >= 0 && ::fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

bool Journal::Attach(std::string& error) {
    buffer_.clear();
    unsigned char header[kHeaderSize];
    if (IoUtil::ReadAt(fd_, header, sizeof header, 0) == static_cast<long long>(sizeof header) &&
        std::memcmp(header, kMagic, 8) == 0 && GetU32(header + 8) == kVersion &&
        Crc32(header, 16) == GetU32(header + 16)) {
        salt_ = GetU32(header + 12);
        fileEnd_ = FileSize();
        return true;
    }
    salt_ = static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return Reset(error);
}

bool Journal::WriteHeader(std::string& error) {
    unsigned char header[kHeaderSize] = {};
    std::memcpy(header, kMagic, 8);
    PutU32(header + 8, kVersion);
    PutU32(header + 12, salt_);
    PutU32(header + 16, Crc32(header, 16));
    if (!IoUtil::WriteAt(fd_, header, sizeof header, 0)) {
        error = IoUtil::ErrnoText("cannot write", path_);
        return false;
    }
    return true;
}

bool Journal::Reset(std::string& error) {
    // A new salt first: frames of the old one no longer check, wherever they lie.
    ++salt_;
    buffer_.clear();
    if (!WriteHeader(error)) return false;
    if (::ftruncate(fd_, kHeaderSize) != 0) {
        error = IoUtil::ErrnoText("cannot empty", path_);
        return false;
    }
    fileEnd_ = kHeaderSize;
    return true;
}

bool Journal::Append(FrameType type, std::uint32_t table, std::uint64_t offset, const unsigned char* before,
                     std::uint32_t beforeLength, const unsigned char* after, std::uint32_t afterLength,
                     std::uint64_t memoEnd, bool flush, std::uint64_t* beforeAt, std::string& error) {
    if (fd_ < 0) {
        error = "the log of the database could not be opened: it is read only";
        return false;
    }
    std::size_t start = buffer_.size();
    if (beforeAt) *beforeAt = End() + kFrameHeader;
    buffer_.resize(start + kFrameHeader + beforeLength + afterLength);
    unsigned char* head = buffer_.data() + start;
    PutU32(head, static_cast<std::uint32_t>(type));
    PutU32(head + 4, table);
    PutU64(head + 8, offset);
    PutU32(head + 16, beforeLength);
    PutU32(head + 20, afterLength);
    PutU64(head + 24, memoEnd);
    PutU32(head + 36, kFrameMagic);
    unsigned char* payload = head + kFrameHeader;
    if (beforeLength > 0) std::memcpy(payload, before, beforeLength);
    if (afterLength > 0) std::memcpy(payload + beforeLength, after, afterLength);
    PutU32(head + 32, FrameCrc(salt_, head, payload, std::size_t(beforeLength) + afterLength));
    if (flush || buffer_.size() >= kBufferBytes) return Flush(error);
    return true;
}

bool Journal::Flush(std::string& error) {
    if (buffer_.empty()) return true;
    if (!IoUtil::WriteAt(fd_, buffer_.data(), buffer_.size(), fileEnd_)) {
        error = IoUtil::ErrnoText("cannot write", path_);
        // Whatever part reached the file is cut off by the caller's undo (CutTo).
        return false;
    }
    fileEnd_ += buffer_.size();
    buffer_.clear();
    return true;
}

bool Journal::Commit(std::string& error) {
    if (!Append(FrameType::kCommit, 0, 0, nullptr, 0, nullptr, 0, 0, true, nullptr, error)) return false;
    if (sync_ && ::fdatasync(fd_) != 0) {
        error = IoUtil::ErrnoText("cannot sync", path_);
        return false;
    }
    return true;
}

bool Journal::CutTo(std::uint64_t end, std::string& error) {
    if (end >= fileEnd_) {
        buffer_.resize(static_cast<std::size_t>(end - fileEnd_));
        return true;
    }
    buffer_.clear();
    if (::ftruncate(fd_, static_cast<off_t>(end)) != 0) {
        error = IoUtil::ErrnoText("cannot cut", path_);
        return false;
    }
    fileEnd_ = end;
    return true;
}

bool Journal::ReadBytes(std::uint64_t at, unsigned char* out, std::uint32_t length) const {
    if (at >= fileEnd_) {
        std::uint64_t from = at - fileEnd_;
        if (from + length > buffer_.size()) return false;
        std::memcpy(out, buffer_.data() + from, length);
        return true;
    }
    return IoUtil::ReadAt(fd_, out, length, at) == static_cast<long long>(length);
}

}  // namespace qxhost
