// Journal: frames, commit, cut, reset and recovery of qx.log (see Journal.h).
#include "host/Journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>

#include "host/Crc32.h"
#include "host/IoUtil.h"

namespace qxhost {
namespace {

void PutU32(unsigned char* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
void PutU64(unsigned char* p, std::uint64_t v) { std::memcpy(p, &v, 8); }
std::uint32_t GetU32(const unsigned char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
std::uint64_t GetU64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

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

// The files recovery touches, opened once each.
class RecoveryFiles {
public:
    explicit RecoveryFiles(const std::vector<std::string>& bases) : bases_(bases) {}
    ~RecoveryFiles() {
        for (auto& [key, fd] : fds_)
            if (fd >= 0) ::close(fd);
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
    const std::vector<std::string>& bases_;
    std::map<std::pair<std::uint32_t, bool>, int> fds_;
};

// Cuts `fd` to `size` when it is longer.
bool CutFile(int fd, std::uint64_t size) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    if (static_cast<std::uint64_t>(st.st_size) <= size) return true;
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0;
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
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    bool writable = fd >= 0;
    if (fd < 0 && errno != ENOENT) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        error = IoUtil::ErrnoText("cannot open", path);
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    unsigned char header[kHeaderSize];
    if (IoUtil::ReadAt(fd, header, sizeof header, 0) != static_cast<long long>(sizeof header) ||
        std::memcmp(header, kMagic, 8) != 0 || GetU32(header + 8) != kVersion ||
        Crc32(header, 16) != GetU32(header + 16)) {
        // No whole header: no frame was ever trusted to it.
        if (writable && ::ftruncate(fd, 0) != 0) {
            error = IoUtil::ErrnoText("cannot empty", path);
            return false;
        }
        return true;
    }
    std::uint32_t salt = GetU32(header + 12);

    // First pass: where the whole frames end, and where the last commit ends.
    Frame frame;
    std::vector<unsigned char> payload;
    std::uint64_t at = kHeaderSize, committedEnd = kHeaderSize;
    while (ReadFrame(fd, salt, at, frame, payload)) {
        at += kFrameHeader + frame.beforeLength + frame.afterLength;
        if (frame.type == FrameType::kCommit) committedEnd = at;
    }
    const std::uint64_t end = at;
    recovery.needed = end > kHeaderSize;
    if (!writable) {
        if (!recovery.needed) return true;
        error = "cannot recover '" + directory + "': its log cannot be written";
        return false;
    }

    RecoveryFiles files(tableBases);
    // Committed transactions: their new bytes again, in order.
    for (at = kHeaderSize; at < committedEnd; at += kFrameHeader + frame.beforeLength + frame.afterLength) {
        if (!ReadFrame(fd, salt, at, frame, payload)) break;
        if (frame.type != FrameType::kWrite) continue;
        int data = files.Get(frame.table, false, error);
        if (data < 0) return false;
        if (!IoUtil::WriteAt(data, payload.data() + frame.beforeLength, frame.afterLength, frame.offset)) {
            error = IoUtil::ErrnoText("cannot recover", tableBases[frame.table]);
            return false;
        }
        ++recovery.committedFrames;
    }
    // The unfinished one: old bytes back, last change first, then the files cut to their sizes.
    std::vector<Frame> pending;
    for (at = committedEnd; at < end; at += kFrameHeader + frame.beforeLength + frame.afterLength) {
        if (!ReadFrame(fd, salt, at, frame, payload)) break;
        if (frame.type == FrameType::kStart || frame.beforeLength > 0) pending.push_back(frame);
    }
    for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
        if (it->type != FrameType::kWrite) continue;
        if (!ReadFrame(fd, salt, it->at, frame, payload)) break;
        int data = files.Get(frame.table, false, error);
        if (data < 0) return false;
        if (!IoUtil::WriteAt(data, payload.data(), frame.beforeLength, frame.offset)) {
            error = IoUtil::ErrnoText("cannot recover", tableBases[frame.table]);
            return false;
        }
        ++recovery.undoneFrames;
    }
    for (const Frame& start : pending) {
        if (start.type != FrameType::kStart) continue;
        int data = files.Get(start.table, false, error);
        if (data < 0 || !CutFile(data, start.offset)) {
            if (data >= 0) error = IoUtil::ErrnoText("cannot recover", tableBases[start.table]);
            return false;
        }
        if (start.memoEnd != 0) {
            int memo = files.Get(start.table, true, error);
            if (memo < 0 || !CutFile(memo, start.memoEnd)) {
                if (memo >= 0) error = IoUtil::ErrnoText("cannot recover", tableBases[start.table]);
                return false;
            }
        }
        ++recovery.undoneFrames;
    }
    if (!files.SyncAll(error)) return false;
    // Every change is now where it belongs: the log is spent.
    if (::ftruncate(fd, 0) != 0 || ::fdatasync(fd) != 0) {
        error = IoUtil::ErrnoText("cannot empty", path);
        return false;
    }
    return true;
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
