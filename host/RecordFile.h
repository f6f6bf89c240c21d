// RecordFile: the fixed-length records of one file (table), numbered from 1,
// read in place through a shared memory map.
//
// Record file <NAME>.qxd:
//
//   offset 0     header, kHeaderSize bytes, written once when the file is made:
//                  0  char[8] "QXREC01\n"    magic
//                  8  u32     1               format version
//                  12 u32     recordSize      bytes of one record, byte 0 included
//                  16 u32     kHeaderSize     where record 1 starts
//                  rest zero
//   kHeaderSize  record 1, then record 2, ... each recordSize bytes, no padding.
//
// Byte 0 of a record (which the engine never reads as an item) is the slot
// state: kLive for a live record, anything else (kDeleted) for a number
// that stays unused.  Items follow from offset 1.  The number of records is
// (file size - kHeaderSize) / recordSize; a record is added by writing it
// at the end.
//
// Changes are logged in the database's Journal (qx.log) before they are
// made here; this class only writes.  <NAME>.qxj, the one-entry journal of
// earlier versions (magic "QXJ1", u32 length, u64 offset, u32 CRC-32, then
// the bytes), is written again at open when whole and then removed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qxhost {

class RecordFile {
public:
    static constexpr std::uint32_t kHeaderSize = 4096;
    static constexpr std::uint32_t kVersion = 1;
    static constexpr char kMagic[9] = "QXREC01\n";
    static constexpr std::uint32_t kJournalMagic = 0x314A5851;  // "QXJ1"
    static constexpr std::uint32_t kJournalHeader = 20;
    static constexpr unsigned char kLive = 1;
    static constexpr unsigned char kDeleted = 2;
    static constexpr std::size_t kPendingBytes = 1u << 20;

    RecordFile() = default;
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Makes an empty record file at `dataPath` (replacing any file there); removes any
    // journal of an earlier version at `journalPath`.
    static bool Create(const std::string& dataPath, const std::string& journalPath, std::uint32_t recordSize,
                       std::string& error);
    // Opens an existing record file, replays an earlier version's journal and maps it.
    bool Open(const std::string& dataPath, const std::string& journalPath, std::uint32_t recordSize,
              std::string& error);
    void Close();

    std::uint32_t Count() const { return count_; }
    std::uint32_t RecordSize() const { return recordSize_; }
    // Record n (1..Count()); the address stays valid until the next write.
    const unsigned char* Record(std::uint32_t n) const {
        if (n > fileCount_) return pending_.data() + static_cast<std::size_t>(n - fileCount_ - 1) * recordSize_;
        return map_ + kHeaderSize + static_cast<std::uint64_t>(n - 1) * recordSize_;
    }
    bool IsLive(std::uint32_t n) const { return n >= 1 && n <= count_ && Record(n)[0] == kLive; }

    // Where byte `offsetInRecord` of record n is in the file.
    static std::uint64_t Offset(std::uint32_t n, std::uint32_t recordSize, std::uint32_t offsetInRecord) {
        return kHeaderSize + std::uint64_t(n - 1) * recordSize + offsetInRecord;
    }
    // Writes `length` bytes at `offsetInRecord` of record n (1..Count()), or a whole new
    // record when n is Count() + 1.  New records wait in memory (up to kPendingBytes) and
    // reach the file together: at Flush, or when they fill the buffer.
    bool Write(std::uint32_t n, std::uint32_t offsetInRecord, const unsigned char* data, std::uint32_t length,
               std::string& error);
    // Keeps the first `count` records (and nothing after them: a partly written record goes).
    bool Truncate(std::uint32_t count, std::string& error);
    // Writes the new records waiting in memory to the file.
    bool Flush(std::string& error);

    // A change recovery would make to the file: bytes at an offset, or a cut to a size.
    struct Patch {
        std::uint64_t offset = 0;  // where the bytes go; for a cut, the size kept
        std::vector<unsigned char> bytes;
        bool cut = false;
    };
    // For a connection that cannot write: makes `patches` in a private copy of the map
    // (past the file's end, in the records kept in memory), never in the file, so that
    // reads see the last committed state.
    void PatchInMemory(const std::vector<Patch>& patches);
    // Flushes the file to the disk.
    bool Sync(std::string& error);

private:
    bool Remap(std::string& error);
    bool ReplayJournal(const std::string& journalPath, std::string& error);
    bool ReplayEntry(int journalFd, std::string& error);

    int fd_ = -1;                        // record file, owned
    bool writable_ = false;              // fd_ opened for writing
    unsigned char* map_ = nullptr;       // shared read-only map of the record file
    std::uint64_t mapSize_ = 0;          // bytes mapped (may reach past the end of the file)
    std::uint32_t count_ = 0;            // records, those waiting in memory included
    std::uint32_t fileCount_ = 0;        // records in the file
    std::vector<unsigned char> pending_; // records fileCount_ + 1 .. count_
    std::uint32_t recordSize_ = 0;
    std::string path_;                   // for messages
};

}  // namespace qxhost
