// RecordFile: mapped reads, journaled writes and recovery at open (see RecordFile.h).
#include "host/RecordFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/Crc32.h"
#include "host/IoUtil.h"

namespace qxhost {
namespace {

constexpr std::uint64_t kMinMap = 1u << 20;

void PutU32(unsigned char* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
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

}  // namespace

RecordFile::~RecordFile() { Close(); }

void RecordFile::Close() {
    if (map_) ::munmap(map_, mapSize_);
    map_ = nullptr;
    mapSize_ = 0;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    count_ = fileCount_ = 0;
    pending_.clear();
}

bool RecordFile::Create(const std::string& dataPath, const std::string& journalPath, std::uint32_t recordSize,
                        std::string& error) {
    std::string header(kHeaderSize, '\0');
    auto* h = reinterpret_cast<unsigned char*>(header.data());
    std::memcpy(h, kMagic, 8);
    PutU32(h + 8, kVersion);
    PutU32(h + 12, recordSize);
    PutU32(h + 16, kHeaderSize);
    // A stale entry must never be replayed onto the new file.
    if (::unlink(journalPath.c_str()) != 0 && errno != ENOENT) {
        error = IoUtil::ErrnoText("cannot remove", journalPath);
        return false;
    }
    return IoUtil::ReplaceFile(dataPath, header, true, error);
}

bool RecordFile::Open(const std::string& dataPath, const std::string& journalPath, std::uint32_t recordSize,
                      std::string& error) {
    Close();
    path_ = dataPath;
    recordSize_ = recordSize;
    fd_ = ::open(dataPath.c_str(), O_RDWR | O_CLOEXEC);
    writable_ = fd_ >= 0;
    if (fd_ < 0 && errno == EROFS) fd_ = ::open(dataPath.c_str(), O_RDONLY | O_CLOEXEC);  // reads only
    if (fd_ < 0) {
        error = IoUtil::ErrnoText("cannot open", dataPath);
        return false;
    }
    unsigned char header[20];
    if (IoUtil::ReadAt(fd_, header, sizeof header, 0) != static_cast<long long>(sizeof header) ||
        std::memcmp(header, kMagic, 8) != 0 || GetU32(header + 8) != kVersion ||
        GetU32(header + 16) != kHeaderSize) {
        error = "'" + dataPath + "' is not a QX record file";
        Close();
        return false;
    }
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        error = IoUtil::ErrnoText("cannot examine", dataPath);
        Close();
        return false;
    }
    if (GetU32(header + 12) != recordSize) {
        if (static_cast<std::uint64_t>(st.st_size) > kHeaderSize) {
            error = "records of '" + dataPath + "' have " + std::to_string(GetU32(header + 12)) +
                    " bytes but the analysis describes " + std::to_string(recordSize);
            Close();
            return false;
        }
        PutU32(header + 12, recordSize);  // empty file: follow the analysis
        if (!IoUtil::WriteAt(fd_, header, sizeof header, 0)) {
            error = IoUtil::ErrnoText("cannot write", dataPath);
            Close();
            return false;
        }
    }
    if (!ReplayJournal(journalPath, error)) {
        Close();
        return false;
    }
    if (::fstat(fd_, &st) != 0) {
        error = IoUtil::ErrnoText("cannot examine", dataPath);
        Close();
        return false;
    }
    std::uint64_t body = static_cast<std::uint64_t>(st.st_size) - kHeaderSize;
    if (body / recordSize_ > 0x7FFFFFFF) {
        error = "'" + dataPath + "' holds too many records";
        Close();
        return false;
    }
    count_ = static_cast<std::uint32_t>(body / recordSize_);
    // A partial record is cut off (left, unread, in a file that cannot be written).
    if (body % recordSize_ != 0 && writable_ &&
        ::ftruncate(fd_, static_cast<off_t>(kHeaderSize + std::uint64_t(count_) * recordSize_)) != 0) {
        error = IoUtil::ErrnoText("cannot cut the partial record of", dataPath);
        Close();
        return false;
    }
    fileCount_ = count_;
    if (!Remap(error)) {
        Close();
        return false;
    }
    return true;
}

bool RecordFile::ReplayJournal(const std::string& journalPath, std::string& error) {
    int journal = ::open(journalPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (journal < 0) return true;  // none: written by this version
    bool replayed = ReplayEntry(journal, error);
    ::close(journal);
    // Once written again, the entry must never be: later changes do not go through it.
    if (replayed && ::unlink(journalPath.c_str()) != 0 && errno != ENOENT && errno != EROFS) {
        error = IoUtil::ErrnoText("cannot remove", journalPath);
        return false;
    }
    return replayed;
}

bool RecordFile::ReplayEntry(int journal, std::string& error) {
    unsigned char head[kJournalHeader];
    long long n = IoUtil::ReadAt(journal, head, sizeof head, 0);
    if (n < 0) {
        error = IoUtil::ErrnoText("cannot read the journal of", path_);
        return false;
    }
    if (n < static_cast<long long>(sizeof head) || GetU32(head) != kJournalMagic) return true;  // nothing whole
    std::uint32_t length = GetU32(head + 4);
    std::uint64_t offset = GetU64(head + 8);
    if (length == 0 || length > recordSize_ || offset < kHeaderSize) return true;
    std::uint64_t first = (offset - kHeaderSize) / recordSize_;
    std::uint64_t last = (offset + length - 1 - kHeaderSize) / recordSize_;
    if (first != last) return true;  // never written that way: not an entry of ours
    std::vector<unsigned char> data(length);
    if (IoUtil::ReadAt(journal, data.data(), length, kJournalHeader) != static_cast<long long>(length))
        return true;  // torn entry: the record file was not touched
    std::uint32_t crc = Crc32(head, 16);
    crc = Crc32(data.data(), length, crc);
    if (crc != GetU32(head + 16)) return true;
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        error = IoUtil::ErrnoText("cannot examine", path_);
        return false;
    }
    // The entry may only touch an existing record or the one being added after them.
    std::uint64_t records = (static_cast<std::uint64_t>(st.st_size) - kHeaderSize) / recordSize_;
    if (first > records) return true;
    if (!IoUtil::WriteAt(fd_, data.data(), length, offset)) {
        error = IoUtil::ErrnoText("cannot recover", path_);
        return false;
    }
    return true;
}

bool RecordFile::Remap(std::string& error) {
    std::uint64_t needed = kHeaderSize + std::uint64_t(fileCount_) * recordSize_;
    if (map_ && needed <= mapSize_) return true;
    std::uint64_t size = mapSize_ ? mapSize_ : kMinMap;
    while (size < needed) size *= 2;
    // Mapping past the end of the file is allowed; only pages that hold records are touched.
    void* p = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd_, 0);
    if (p == MAP_FAILED) {
        error = IoUtil::ErrnoText("cannot map", path_);
        return false;  // the old map stays
    }
    if (map_) ::munmap(map_, mapSize_);
    map_ = static_cast<unsigned char*>(p);
    mapSize_ = size;
    return true;
}

bool RecordFile::Write(std::uint32_t n, std::uint32_t offsetInRecord, const unsigned char* data,
                       std::uint32_t length, std::string& error) {
    if (n < 1 || n > count_ + 1 || length == 0 || offsetInRecord + length > recordSize_ ||
        (n == count_ + 1 && (offsetInRecord != 0 || length != recordSize_))) {
        error = "bad record write";
        return false;
    }
    if (n == count_ + 1) {
        pending_.insert(pending_.end(), data, data + length);
        ++count_;
        return pending_.size() < kPendingBytes || Flush(error);
    }
    if (n > fileCount_) {
        std::memcpy(pending_.data() + static_cast<std::size_t>(n - fileCount_ - 1) * recordSize_ + offsetInRecord, data,
                    length);
        return true;
    }
    if (!IoUtil::WriteAt(fd_, data, length, Offset(n, recordSize_, offsetInRecord))) {
        error = IoUtil::ErrnoText("cannot write", path_);
        return false;
    }
    return true;
}

void RecordFile::PatchInMemory(const std::vector<Patch>& patches) {
    if (patches.empty() || map_ == nullptr) return;
    // Copy on write: the pages patched become this process's own.
    void* p = ::mmap(map_, mapSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED, fd_, 0);
    if (p == MAP_FAILED) return;
    for (const Patch& patch : patches) {
        if (patch.offset < kHeaderSize) continue;
        std::uint64_t records = (patch.offset - kHeaderSize) / recordSize_;
        if (patch.cut) {
            if (records >= count_) continue;
            count_ = static_cast<std::uint32_t>(records);
            fileCount_ = std::min(fileCount_, count_);
            pending_.resize(std::size_t(count_ - fileCount_) * recordSize_);
            continue;
        }
        const std::uint64_t fileBytes = kHeaderSize + std::uint64_t(fileCount_) * recordSize_;
        for (std::size_t i = 0; i < patch.bytes.size(); ++i) {
            std::uint64_t at = patch.offset + i;
            if (at < fileBytes) {
                map_[at] = patch.bytes[i];
                continue;
            }
            std::uint64_t past = at - fileBytes;
            if (past / recordSize_ > 0x7FFFFFFF - fileCount_) break;
            if (past >= pending_.size()) {
                pending_.resize((past / recordSize_ + 1) * recordSize_, 0);
                count_ = fileCount_ + static_cast<std::uint32_t>(pending_.size() / recordSize_);
            }
            pending_[past] = patch.bytes[i];
        }
    }
}

bool RecordFile::Flush(std::string& error) {
    if (pending_.empty()) return true;
    if (!IoUtil::WriteAt(fd_, pending_.data(), pending_.size(), Offset(fileCount_ + 1, recordSize_, 0))) {
        // They stay waiting; what reached the file is cut off by the caller's undo (Truncate).
        error = IoUtil::ErrnoText("cannot write", path_);
        return false;
    }
    std::uint32_t before = fileCount_;
    fileCount_ = count_;
    if (!Remap(error)) {
        fileCount_ = before;  // written, but out of reach of the map: they stay waiting
        return false;
    }
    pending_.clear();
    return true;
}

bool RecordFile::Truncate(std::uint32_t count, std::string& error) {
    if (count > count_) count = count_;
    if (count >= fileCount_) {
        pending_.resize(static_cast<std::size_t>(count - fileCount_) * recordSize_);
        count_ = count;
        count = fileCount_;  // and the file loses any part of a failed flush
    } else {
        pending_.clear();
        count_ = fileCount_ = count;
    }
    if (::ftruncate(fd_, static_cast<off_t>(kHeaderSize + std::uint64_t(count) * recordSize_)) != 0) {
        error = IoUtil::ErrnoText("cannot cut", path_);
        return false;
    }
    return true;
}

bool RecordFile::Sync(std::string& error) {
    if (!Flush(error)) return false;
    if (fd_ >= 0 && ::fdatasync(fd_) != 0) {
        error = IoUtil::ErrnoText("cannot sync", path_);
        return false;
    }
    return true;
}

}  // namespace qxhost
