// RecordFile: mapped reads, journaled writes and recovery at open (see RecordFile.h).
#include "host/RecordFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/Bytes.h"
#include "host/Crc32.h"
#include "host/IoUtil.h"

namespace qxhost {
namespace {

constexpr std::uint64_t kMinMap = 1u << 20;

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
    damage_.clear();
    damaged_.clear();
}

std::uint32_t RecordFile::LayoutOf(const FileDef& def) {
    std::uint32_t crc = 0;
    for (const ItemDef& item : def.items) {
        const std::uint16_t fields[3] = {item.type, item.size, item.arrayCount};
        crc = Crc32(fields, sizeof fields, crc);
    }
    return crc;
}

std::string RecordFile::Header(const FileDef& def, std::uint32_t records) {
    std::string header(kHeaderSize, '\0');
    auto* h = reinterpret_cast<unsigned char*>(header.data());
    std::memcpy(h, kMagic, 8);
    PutU32(h + 8, kVersion);
    PutU32(h + 12, def.recordSize);
    PutU32(h + 16, kHeaderSize);
    PutU32(h + 20, LayoutOf(def));
    PutU32(h + 24, records);
    PutU32(h + 28, Crc32(h, 28));
    return header;
}

bool RecordFile::Create(const std::string& dataPath, const std::string& journalPath, const FileDef& def,
                        std::string& error) {
    // A stale entry must never be replayed onto the new file.
    if (::unlink(journalPath.c_str()) != 0 && errno != ENOENT) {
        error = IoUtil::ErrnoText("cannot remove", journalPath);
        return false;
    }
    return IoUtil::ReplaceFile(dataPath, Header(def, 0), true, error);
}

std::uint32_t RecordFile::VersionOf(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    unsigned char header[12];
    bool read = fd >= 0 && IoUtil::ReadAt(fd, header, sizeof header, 0) == static_cast<long long>(sizeof header);
    if (fd >= 0) ::close(fd);
    return read && std::memcmp(header, kMagic, 8) == 0 ? GetU32(header + 8) : 0;
}

bool RecordFile::IsDamaged(std::uint32_t n) const { return std::binary_search(damaged_.begin(), damaged_.end(), n); }

std::string RecordFile::Damaged(std::uint32_t n) const {
    return FileName() + " record " + std::to_string(n) + ": checksum mismatch";
}

void RecordFile::Seal(unsigned char* slot) const {
    if (!Checksummed()) return;
    PutU32(slot + recordSize_, Crc32(slot, recordSize_));
}

bool RecordFile::Checks(std::uint32_t n) const {
    if (!Checksummed()) return true;
    const unsigned char* slot = Record(n);
    return GetU32(slot + recordSize_) == Crc32(slot, recordSize_);
}

bool RecordFile::ReadHeader(const FileDef& def, std::uint64_t fileSize, std::string& error) {
    unsigned char header[32] = {};
    long long got = IoUtil::ReadAt(fd_, header, sizeof header, 0);
    if (got < 0) {
        error = IoUtil::ErrnoText("cannot read", path_);
        return false;
    }
    if (got < 20 || std::memcmp(header, kMagic, 8) != 0 || GetU32(header + 16) != kHeaderSize) {
        damage_ = "the header is not that of a QX record file";
        return true;
    }
    version_ = GetU32(header + 8);
    if (version_ > kVersion) {
        damage_ = "format version " + std::to_string(version_) + " is newer than this program reads (" +
                  std::to_string(kVersion) + ")";
        return true;
    }
    if (version_ == 2 && (got < 32 || GetU32(header + 28) != Crc32(header, 28))) {
        damage_ = "header checksum mismatch";
        return true;
    }
    if (version_ != 1 && version_ != 2) {
        damage_ = "unknown format version " + std::to_string(version_);
        return true;
    }
    stride_ = recordSize_ + (Checksummed() ? kChecksumBytes : 0);
    floor_ = Checksummed() ? GetU32(header + 24) : 0;
    bool sameSize = GetU32(header + 12) == recordSize_;
    bool sameLayout = !Checksummed() || GetU32(header + 20) == LayoutOf(def);
    if (sameSize && sameLayout) return true;
    if (fileSize > kHeaderSize || floor_ != 0) {
        damage_ = !sameSize ? "records have " + std::to_string(GetU32(header + 12)) +
                                  " bytes but the analysis describes " + std::to_string(recordSize_)
                            : "the analysis describes items of other types or sizes than the records hold";
        return true;
    }
    // An empty file follows the analysis.
    std::string fresh = Checksummed() ? Header(def, 0) : std::string();
    if (!Checksummed()) {
        fresh.assign(reinterpret_cast<const char*>(header), 20);
        PutU32(reinterpret_cast<unsigned char*>(fresh.data()) + 12, recordSize_);
    }
    if (!IoUtil::WriteAt(fd_, fresh.data(), fresh.size(), 0)) {
        error = IoUtil::ErrnoText("cannot write", path_);
        return false;
    }
    return true;
}

bool RecordFile::Open(const std::string& dataPath, const std::string& journalPath, const FileDef& def,
                      std::string& error, const std::vector<Patch>* patches) {
    Close();
    path_ = dataPath;
    recordSize_ = def.recordSize;
    stride_ = recordSize_ + kChecksumBytes;
    version_ = kVersion;
    floor_ = 0;
    fd_ = ::open(dataPath.c_str(), O_RDWR | O_CLOEXEC);
    writable_ = fd_ >= 0;
    if (fd_ < 0 && errno == EROFS) fd_ = ::open(dataPath.c_str(), O_RDONLY | O_CLOEXEC);  // reads only
    if (fd_ < 0) {
        error = IoUtil::ErrnoText("cannot open", dataPath);
        return false;
    }
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        error = IoUtil::ErrnoText("cannot examine", dataPath);
        Close();
        return false;
    }
    if (!ReadHeader(def, static_cast<std::uint64_t>(st.st_size), error)) {
        Close();
        return false;
    }
    if (!damage_.empty()) return true;
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
    if (body / stride_ > 0x7FFFFFFF) {
        error = "'" + dataPath + "' holds too many records";
        Close();
        return false;
    }
    count_ = static_cast<std::uint32_t>(body / stride_);
    // With `patches` (a dead writer's log replayed in memory) the log says where the file ends.
    if (body % stride_ != 0 && patches == nullptr) {
        // The log cuts what an unfinished transaction added: a part of a slot is damage.
        if (Checksummed() || !writable_) {
            if (Checksummed())
                damage_ = "truncated: the file ends " + std::to_string(body % stride_) + " bytes into record " +
                          std::to_string(count_ + 1);
        } else if (::ftruncate(fd_, static_cast<off_t>(kHeaderSize + std::uint64_t(count_) * stride_)) != 0) {
            error = IoUtil::ErrnoText("cannot cut the partial record of", dataPath);
            Close();
            return false;
        }
    }
    fileCount_ = count_;
    if (!Remap(error)) {
        Close();
        return false;
    }
    if (patches != nullptr) PatchInMemory(*patches);
    if (count_ < floor_)
        damage_ = "truncated: " + std::to_string(count_) + " records where " + std::to_string(floor_) +
                  " were written";
    CheckSlots();
    return true;
}

void RecordFile::CheckSlots() {
    if (!Checksummed()) return;
    for (std::uint32_t n = 1; n <= fileCount_; ++n)
        if (!Checks(n)) damaged_.push_back(n);
}

bool RecordFile::WriteFloor(std::string& error) {
    if (!Checksummed() || !damage_.empty() || fd_ < 0 || floor_ == count_) return true;
    if (!Flush(error)) return false;
    unsigned char fields[8];
    unsigned char header[28];
    if (IoUtil::ReadAt(fd_, header, sizeof header, 0) != static_cast<long long>(sizeof header)) {
        error = IoUtil::ErrnoText("cannot read", path_);
        return false;
    }
    PutU32(header + 24, count_);
    PutU32(fields, count_);
    PutU32(fields + 4, Crc32(header, 28));
    if (!IoUtil::WriteAt(fd_, fields, sizeof fields, 24)) {
        error = IoUtil::ErrnoText("cannot write", path_);
        return false;
    }
    floor_ = count_;
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
    if (length == 0 || length > stride_ || offset < kHeaderSize) return true;
    std::uint64_t first = (offset - kHeaderSize) / stride_;
    std::uint64_t last = (offset + length - 1 - kHeaderSize) / stride_;
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
    std::uint64_t records = (static_cast<std::uint64_t>(st.st_size) - kHeaderSize) / stride_;
    if (first > records) return true;
    if (!IoUtil::WriteAt(fd_, data.data(), length, offset)) {
        error = IoUtil::ErrnoText("cannot recover", path_);
        return false;
    }
    return true;
}

bool RecordFile::Remap(std::string& error) {
    std::uint64_t needed = kHeaderSize + std::uint64_t(fileCount_) * stride_;
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
    if (n < 1 || n > count_ + 1 || length == 0 || offsetInRecord + length > stride_ ||
        (n == count_ + 1 && (offsetInRecord != 0 || length != stride_))) {
        error = "bad record write";
        return false;
    }
    if (n == count_ + 1) {
        pending_.insert(pending_.end(), data, data + length);
        ++count_;
        return pending_.size() < kPendingBytes || Flush(error);
    }
    if (n > fileCount_) {
        std::memcpy(pending_.data() + static_cast<std::size_t>(n - fileCount_ - 1) * stride_ + offsetInRecord, data,
                    length);
        return true;
    }
    if (!IoUtil::WriteAt(fd_, data, length, Offset(n, offsetInRecord))) {
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
        std::uint64_t records = (patch.offset - kHeaderSize) / stride_;
        if (patch.cut) {
            if (records >= count_) continue;
            count_ = static_cast<std::uint32_t>(records);
            fileCount_ = std::min(fileCount_, count_);
            pending_.resize(std::size_t(count_ - fileCount_) * stride_);
            continue;
        }
        const std::uint64_t fileBytes = kHeaderSize + std::uint64_t(fileCount_) * stride_;
        for (std::size_t i = 0; i < patch.bytes.size(); ++i) {
            std::uint64_t at = patch.offset + i;
            if (at < fileBytes) {
                map_[at] = patch.bytes[i];
                continue;
            }
            std::uint64_t past = at - fileBytes;
            if (past / stride_ > 0x7FFFFFFF - fileCount_) break;
            if (past >= pending_.size()) {
                pending_.resize((past / stride_ + 1) * stride_, 0);
                count_ = fileCount_ + static_cast<std::uint32_t>(pending_.size() / stride_);
            }
            pending_[past] = patch.bytes[i];
        }
    }
}

bool RecordFile::Flush(std::string& error) {
    if (pending_.empty()) return true;
    if (!IoUtil::WriteAt(fd_, pending_.data(), pending_.size(), Offset(fileCount_ + 1, 0))) {
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
        pending_.resize(static_cast<std::size_t>(count - fileCount_) * stride_);
        count_ = count;
        count = fileCount_;  // and the file loses any part of a failed flush
    } else {
        pending_.clear();
        count_ = fileCount_ = count;
    }
    if (::ftruncate(fd_, static_cast<off_t>(kHeaderSize + std::uint64_t(count) * stride_)) != 0) {
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
