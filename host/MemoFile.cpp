// MemoFile: append-only memo blocks (see MemoFile.h).
#include "host/MemoFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/Crc32.h"
#include "host/IoUtil.h"

namespace qxhost {

namespace {

std::uint64_t Padded(std::uint64_t length) {
    return (MemoFile::kBlockHeader + length + MemoFile::kAlign - 1) / MemoFile::kAlign * MemoFile::kAlign;
}

}  // namespace

MemoFile::~MemoFile() { Close(); }

void MemoFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    end_ = floor_ = 0;
    damage_.clear();
    free_.clear();
    released_.clear();
}

bool MemoFile::Open(const std::string& path, bool truncate, std::string& error) {
    Close();
    path_ = path;
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : 0), 0644);
    if (fd_ < 0 && errno == EROFS && !truncate) fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);  // reads only
    if (fd_ < 0) {
        error = IoUtil::ErrnoText("cannot open", path);
        return false;
    }
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        error = IoUtil::ErrnoText("cannot examine", path);
        Close();
        return false;
    }
    unsigned char header[kHeaderSize] = {};
    version_ = kVersion;
    if (st.st_size == 0) {
        end_ = kHeaderSize;
        if (!WriteFloor(error)) {
            Close();
            return false;
        }
        return true;
    }
    end_ = (static_cast<std::uint64_t>(st.st_size) + kAlign - 1) / kAlign * kAlign;
    if (IoUtil::ReadAt(fd_, header, sizeof header, 0) != kHeaderSize || std::memcmp(header, kMagic, 8) != 0) {
        damage_ = "the header is not that of a QX memo file";
        return true;
    }
    std::memcpy(&version_, header + 8, 4);
    std::uint32_t crc;
    std::memcpy(&floor_, header + 16, 8);
    std::memcpy(&crc, header + 24, 4);
    if (version_ == 0) {
        floor_ = 0;  // version 1: no floor
    } else if (version_ > kVersion) {
        damage_ = "format version " + std::to_string(version_) + " is newer than this program reads (" +
                  std::to_string(kVersion) + ")";
    } else if (version_ != kVersion || crc != Crc32(header, 24)) {
        damage_ = "header checksum mismatch";
    } else if (static_cast<std::uint64_t>(st.st_size) < floor_) {
        damage_ = "truncated: " + std::to_string(st.st_size) + " bytes where " + std::to_string(floor_) +
                  " were written";
    }
    return true;
}

bool MemoFile::WriteFloor(std::string& error) {
    if (!damage_.empty() || fd_ < 0 || (version_ == kVersion && floor_ == end_)) return true;
    unsigned char header[kHeaderSize] = {};
    std::memcpy(header, kMagic, 8);
    std::memcpy(header + 8, &kVersion, 4);
    std::memcpy(header + 16, &end_, 8);
    std::uint32_t crc = Crc32(header, 24);
    std::memcpy(header + 24, &crc, 4);
    if (!IoUtil::WriteAt(fd_, header, sizeof header, 0)) {
        error = IoUtil::ErrnoText("cannot write", path_);
        return false;
    }
    version_ = kVersion;
    floor_ = end_;
    return true;
}

bool MemoFile::Append(std::uint16_t kind, const unsigned char* data, std::uint32_t length, std::uint32_t& reference,
                      std::string& error) {
    std::uint64_t padded = Padded(length);
    // The smallest free block that holds it; the rest of that block stays its slack.
    auto spot = free_.lower_bound(padded);
    bool reuse = spot != free_.end() && (spot->first - padded) / kAlign <= 0xFFFF;
    std::uint64_t at = reuse ? std::uint64_t(spot->second) * kAlign : end_;
    std::uint16_t slack = reuse ? static_cast<std::uint16_t>((spot->first - padded) / kAlign) : 0;
    if (!reuse && end_ / kAlign > 0xFFFFFFFFu) {
        error = "memo file '" + path_ + "' is full";
        return false;
    }
    std::vector<unsigned char> block(padded, 0);
    std::uint32_t magic = kBlockMagic;
    std::uint32_t crc = Crc32(data, length);
    std::memcpy(block.data(), &magic, 4);
    std::memcpy(block.data() + 4, &kind, 2);
    std::memcpy(block.data() + 6, &slack, 2);
    std::memcpy(block.data() + 8, &length, 4);
    std::memcpy(block.data() + 12, &crc, 4);
    if (length > 0) std::memcpy(block.data() + kBlockHeader, data, length);
    if (!IoUtil::WriteAt(fd_, block.data(), block.size(), at)) {
        error = IoUtil::ErrnoText("cannot write", path_);
        return false;
    }
    reference = static_cast<std::uint32_t>(at / kAlign);
    if (reuse) free_.erase(spot);
    else end_ += padded;
    return true;
}

bool MemoFile::ReadHead(std::uint32_t reference, unsigned char* head) const {
    std::uint64_t offset = std::uint64_t(reference) * kAlign;
    return fd_ >= 0 && offset >= kHeaderSize && offset + kBlockHeader <= end_ &&
           IoUtil::ReadAt(fd_, head, kBlockHeader, offset) == kBlockHeader;
}

std::uint64_t MemoFile::BlockBytes(std::uint32_t reference) const {
    unsigned char head[kBlockHeader];
    std::uint32_t magic, length;
    std::uint16_t slack;
    if (!ReadHead(reference, head)) return 0;
    std::memcpy(&magic, head, 4);
    std::memcpy(&slack, head + 6, 2);
    std::memcpy(&length, head + 8, 4);
    std::uint64_t bytes = Padded(length) + std::uint64_t(slack) * kAlign;
    if (magic != kBlockMagic || std::uint64_t(reference) * kAlign + bytes > end_) return 0;
    return bytes;
}

void MemoFile::Release(std::uint32_t reference) {
    if (reference != 0) released_.push_back(reference);
}

void MemoFile::Commit() {
    for (std::uint32_t reference : released_)
        if (std::uint64_t bytes = BlockBytes(reference); bytes != 0) free_.emplace(bytes, reference);
    released_.clear();
}

bool MemoFile::Truncate(std::uint64_t end, std::string& error) {
    if (end >= end_) return true;
    if (::ftruncate(fd_, static_cast<off_t>(end)) != 0) {
        error = IoUtil::ErrnoText("cannot cut", path_);
        return false;
    }
    end_ = end;
    for (auto it = free_.begin(); it != free_.end();)
        it = std::uint64_t(it->second) * kAlign >= end ? free_.erase(it) : std::next(it);
    return true;
}

bool MemoFile::Sync(std::string& error) {
    if (fd_ >= 0 && ::fdatasync(fd_) != 0) {
        error = IoUtil::ErrnoText("cannot sync", path_);
        return false;
    }
    return true;
}

bool MemoFile::Read(std::uint32_t reference, std::uint16_t& kind, std::vector<unsigned char>& data,
                    std::string& error) const {
    std::string place = FileName() + " memo " + std::to_string(reference) + ": ";
    unsigned char head[kBlockHeader];
    if (!ReadHead(reference, head)) {
        error = place + "past the end of the file";
        return false;
    }
    std::uint64_t offset = std::uint64_t(reference) * kAlign;
    std::uint32_t magic, length, crc;
    std::memcpy(&magic, head, 4);
    std::memcpy(&kind, head + 4, 2);
    std::memcpy(&length, head + 8, 4);
    std::memcpy(&crc, head + 12, 4);
    if (magic != kBlockMagic || offset + kBlockHeader + length > end_) {
        error = place + (magic != kBlockMagic ? "no memo block there" : "its data runs past the end of the file");
        return false;
    }
    data.resize(length);
    if (length > 0 && IoUtil::ReadAt(fd_, data.data(), length, offset + kBlockHeader) != length) {
        error = place + "cannot be read";
        return false;
    }
    if (Crc32(data.data(), length) != crc) {
        error = place + "checksum mismatch";
        return false;
    }
    return true;
}

}  // namespace qxhost
