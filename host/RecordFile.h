// RecordFile: the fixed-length records of one file (table), numbered from 1,
// read in place through a shared memory map and written through a journal.
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
// Journal <NAME>.qxj: before any byte of the record file changes, the bytes
// to write and their place are written to the journal, at offset 0,
// replacing the previous entry:
//
//   0  u32 "QXJ1" (0x314A5851)   magic
//   4  u32 length                bytes to write (1..recordSize, inside one record)
//   8  u64 offset                where they go in the record file
//   16 u32 crc                   CRC-32 of bytes 0..15 and the data
//   20 data
//
// Only then are the bytes written to the record file.  Each write is a
// write() to the kernel, so a process killed at any moment leaves either a
// torn journal entry (its CRC fails, and the record file was not touched
// yet) or a whole one, which opening the file writes again: the journal
// always holds the latest change, so writing it twice is harmless.  Every
// record is therefore whole, in its old or its new version, whatever the
// record size and wherever the record falls in the pages.  A trailing
// partial record, which this protocol cannot leave, is cut off at open
// anyway.  Durability against power loss (fsync) is not attempted.
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

    RecordFile() = default;
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Makes an empty record file at `dataPath` (replacing any file there) and an empty
    // journal at `journalPath`.
    static bool Create(const std::string& dataPath, const std::string& journalPath, std::uint32_t recordSize,
                       std::string& error);
    // Opens an existing record file, replays its journal and maps it.
    bool Open(const std::string& dataPath, const std::string& journalPath, std::uint32_t recordSize,
              std::string& error);
    void Close();

    std::uint32_t Count() const { return count_; }
    std::uint32_t RecordSize() const { return recordSize_; }
    // Record n (1..Count()); the address stays valid until the next write that adds a record.
    const unsigned char* Record(std::uint32_t n) const {
        return map_ + kHeaderSize + static_cast<std::uint64_t>(n - 1) * recordSize_;
    }
    bool IsLive(std::uint32_t n) const { return n >= 1 && n <= count_ && Record(n)[0] == kLive; }

    // Writes `length` bytes at `offsetInRecord` of record n (1..Count()), or a whole new
    // record when n is Count() + 1; journaled as described above.
    bool Write(std::uint32_t n, std::uint32_t offsetInRecord, const unsigned char* data, std::uint32_t length,
               std::string& error);

private:
    bool Remap(std::string& error);
    bool ReplayJournal(std::string& error);

    int fd_ = -1;                        // record file, owned
    int journalFd_ = -1;                 // journal, owned
    unsigned char* map_ = nullptr;       // shared read-only map of the record file
    std::uint64_t mapSize_ = 0;          // bytes mapped (may reach past the end of the file)
    std::uint32_t count_ = 0;            // records in the file
    std::uint32_t recordSize_ = 0;
    std::string path_;                   // for messages
    std::vector<unsigned char> entry_;   // journal entry being written
};

}  // namespace qxhost
