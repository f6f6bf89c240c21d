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

MemoFile::~MemoFile() { Close(); }

void MemoFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    end_ = 0;
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
    if (static_cast<std::uint64_t>(st.st_size) < kHeaderSize) {
        std::memcpy(header, kMagic, 8);
        if (!IoUtil::WriteAt(fd_, header, sizeof header, 0)) {
            error = IoUtil::ErrnoText("cannot write", path);
            Close();
            return false;
        }
        end_ = kHeaderSize;
        return true;
    }
    if (IoUtil::ReadAt(fd_, header, sizeof header, 0) != kHeaderSize || std::memcmp(header, kMagic, 8) != 0) {
        error = "'" + path + "' is not a QX memo file";
        Close();
        return false;
    }
    end_ = (static_cast<std::uint64_t>(st.st_size) + kAlign - 1) / kAlign * kAlign;
    return true;
}

bool MemoFile::Append(std::uint16_t kind, const unsigned char* data, std::uint32_t length, std::uint32_t& reference,
                      std::string& error) {
    if (end_ / kAlign > 0xFFFFFFFFu) {
        error = "memo file '" + path_ + "' is full";
        return false;
    }
    std::uint64_t padded = (std::uint64_t(kBlockHeader) + length + kAlign - 1) / kAlign * kAlign;
    std::vector<unsigned char> block(padded, 0);
    std::uint32_t magic = kBlockMagic;
    std::uint32_t crc = Crc32(data, length);
    std::memcpy(block.data(), &magic, 4);
    std::memcpy(block.data() + 4, &kind, 2);
    std::memcpy(block.data() + 8, &length, 4);
    std::memcpy(block.data() + 12, &crc, 4);
    if (length > 0) std::memcpy(block.data() + kBlockHeader, data, length);
    if (!IoUtil::WriteAt(fd_, block.data(), block.size(), end_)) {
        error = IoUtil::ErrnoText("cannot write", path_);
        return false;
    }
    reference = static_cast<std::uint32_t>(end_ / kAlign);
    end_ += padded;
    return true;
}

bool MemoFile::Truncate(std::uint64_t end, std::string& error) {
    if (end >= end_) return true;
    if (::ftruncate(fd_, static_cast<off_t>(end)) != 0) {
        error = IoUtil::ErrnoText("cannot cut", path_);
        return false;
    }
    end_ = end;
    return true;
}

bool MemoFile::Sync(std::string& error) {
    if (fd_ >= 0 && ::fdatasync(fd_) != 0) {
        error = IoUtil::ErrnoText("cannot sync", path_);
        return false;
    }
    return true;
}

bool MemoFile::Read(std::uint32_t reference, std::uint16_t& kind, std::vector<unsigned char>& data) const {
    std::uint64_t offset = std::uint64_t(reference) * kAlign;
    if (fd_ < 0 || offset < kHeaderSize || offset + kBlockHeader > end_) return false;
    unsigned char head[kBlockHeader];
    if (IoUtil::ReadAt(fd_, head, sizeof head, offset) != kBlockHeader) return false;
    std::uint32_t magic, length, crc;
    std::memcpy(&magic, head, 4);
    std::memcpy(&kind, head + 4, 2);
    std::memcpy(&length, head + 8, 4);
    std::memcpy(&crc, head + 12, 4);
    if (magic != kBlockMagic || offset + kBlockHeader + length > end_) return false;
    data.resize(length);
    if (length > 0 && IoUtil::ReadAt(fd_, data.data(), length, offset + kBlockHeader) != length) return false;
    return Crc32(data.data(), length) == crc;
}

}  // namespace qxhost
