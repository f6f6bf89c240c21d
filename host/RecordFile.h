// RecordFile: the fixed-length records of one file (table), numbered from 1,
// read in place through a shared memory map.
//
// Record file <NAME>.qxd, format version 2:
//
//   offset 0     header, kHeaderSize bytes:
//                  0  char[8] "QXREC01\n"    magic
//                  8  u32     2               format version
//                  12 u32     recordSize      bytes of one record, byte 0 included
//                  16 u32     kHeaderSize     where record 1 starts
//                  20 u32     layout          LayoutOf() the file's items when written
//                  24 u32     records         records at the last checkpoint (a floor:
//                                             the file never holds fewer)
//                  28 u32     CRC-32 of bytes 0..27
//                  rest zero
//   kHeaderSize  slot 1, then slot 2, ... each recordSize + 4 bytes, no padding:
//                the record, then the CRC-32 of its recordSize bytes.
//
// Byte 0 of a record (which the engine never reads as an item) is the slot
// state: kLive for a live record, anything else (kDeleted) for a free slot,
// which a later record may take.  Items follow from offset 1.  The number of
// slots is (file size - kHeaderSize) / stride.  Every write covers a whole
// slot, so that the checksum always goes with its record.
//
// Version 1 (earlier releases) has no layout, floor or header CRC, and slots
// of recordSize bytes without a checksum.  It is read and written as it is;
// Database::Open upgrades it (RewriteCurrent) when no other connection is
// at work.  A file of a newer version is refused.
//
// Damage (a header that does not check, a file shorter than its floor or
// not a whole number of slots, a record size or layout other than the
// analysis's, a slot whose checksum fails) does not stop the open: it is
// kept in Damage() and DamagedRecords(), and the table refuses what it
// cannot answer truly.
//
// Changes are logged in the database's Journal (qx.log) before they are
// made here; this class only writes.  <NAME>.qxj, the one-entry journal of
// earlier versions (magic "QXJ1", u32 length, u64 offset, u32 CRC-32, then
// the bytes), is written again at open when whole and then removed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/FileDef.h"

namespace qxhost {

class RecordFile {
public:
    static constexpr std::uint32_t kHeaderSize = 4096;
    static constexpr std::uint32_t kVersion = 2;
    static constexpr std::uint32_t kChecksumBytes = 4;
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

    // The fingerprint of a file's item layout (types, sizes, array counts, in order).
    static std::uint32_t LayoutOf(const FileDef& def);
    // The header of an empty version 2 file of `def`'s records holding `records` records.
    static std::string Header(const FileDef& def, std::uint32_t records);
    // The format version written in the header of the record file at `path` (0: unreadable).
    static std::uint32_t VersionOf(const std::string& path);
    // Makes an empty record file at `dataPath` (replacing any file there); removes any
    // journal of an earlier version at `journalPath`.
    static bool Create(const std::string& dataPath, const std::string& journalPath, const FileDef& def,
                       std::string& error);
    // Opens an existing record file, replays an earlier version's journal, maps it and
    // checks every slot.  False only when the file cannot be used at all (an I/O error);
    // damage is kept in Damage().
    // A change recovery would make to the file: bytes at an offset, or a cut to a size.
    struct Patch {
        std::uint64_t offset = 0;  // where the bytes go; for a cut, the size kept
        std::vector<unsigned char> bytes;
        bool cut = false;
    };
    // `patches` (a connection that cannot write, after a dead writer): what recovery would
    // write, made in a private copy of the map before the file is checked.
    bool Open(const std::string& dataPath, const std::string& journalPath, const FileDef& def, std::string& error,
              const std::vector<Patch>* patches = nullptr);
    void Close();

    std::uint32_t Count() const { return count_; }
    std::uint32_t RecordSize() const { return recordSize_; }
    std::uint32_t Stride() const { return stride_; }
    std::uint32_t Version() const { return version_; }
    bool Checksummed() const { return version_ >= 2; }
    // Why the file as a whole cannot be read (empty: it can).
    const std::string& Damage() const { return damage_; }
    // Slots whose checksum failed at open, in increasing order.
    const std::vector<std::uint32_t>& DamagedRecords() const { return damaged_; }
    bool IsDamaged(std::uint32_t n) const;
    // "NAME.qxd record n: checksum mismatch"
    std::string Damaged(std::uint32_t n) const;
    // The file's name, for messages.
    std::string FileName() const { return path_.substr(path_.rfind('/') + 1); }
    // Record n (1..Count()); the address stays valid until the next write.
    const unsigned char* Record(std::uint32_t n) const {
        if (n > fileCount_) return pending_.data() + static_cast<std::size_t>(n - fileCount_ - 1) * stride_;
        return map_ + kHeaderSize + static_cast<std::uint64_t>(n - 1) * stride_;
    }
    // A live record whose slot checks.
    bool IsLive(std::uint32_t n) const {
        return n >= 1 && n <= count_ && Record(n)[0] == kLive && (damaged_.empty() || !IsDamaged(n));
    }
    // Fills the checksum of the slot image `slot` (Stride() bytes, the record first).
    void Seal(unsigned char* slot) const;
    // Whether slot n's checksum holds (always, for version 1).
    bool Checks(std::uint32_t n) const;

    // Where byte `offsetInSlot` of slot n is in the file.
    std::uint64_t Offset(std::uint32_t n, std::uint32_t offsetInSlot) const {
        return kHeaderSize + std::uint64_t(n - 1) * stride_ + offsetInSlot;
    }
    // Writes `length` bytes at `offsetInRecord` of slot n (1..Count()), or a whole new
    // slot when n is Count() + 1.  New records wait in memory (up to kPendingBytes) and
    // reach the file together: at Flush, or when they fill the buffer.
    bool Write(std::uint32_t n, std::uint32_t offsetInRecord, const unsigned char* data, std::uint32_t length,
               std::string& error);
    // Keeps the first `count` records (and nothing after them: a partly written record goes).
    bool Truncate(std::uint32_t count, std::string& error);
    // Writes the new records waiting in memory to the file.
    bool Flush(std::string& error);

    // For a connection that cannot write: makes `patches` in a private copy of the map
    // (past the file's end, in the records kept in memory), never in the file, so that
    // reads see the last committed state.
    void PatchInMemory(const std::vector<Patch>& patches);
    // Flushes the file to the disk.
    bool Sync(std::string& error);
    // Notes the number of records in the header (a checkpoint: every record is on the disk).
    bool WriteFloor(std::string& error);

private:
    bool Remap(std::string& error);
    bool ReadHeader(const FileDef& def, std::uint64_t fileSize, std::string& error);
    void CheckSlots();
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
    std::uint32_t stride_ = 0;           // bytes of one slot: the record and (version 2) its CRC
    std::uint32_t version_ = kVersion;
    std::uint32_t floor_ = 0;            // records noted in the header
    std::string damage_;
    std::vector<std::uint32_t> damaged_;
    std::string path_;                   // for messages
};

}  // namespace qxhost
