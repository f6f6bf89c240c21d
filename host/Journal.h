// Journal: the database's log of changes, qx.log, which makes every
// statement and every transaction whole or absent.
//
// Changes are made in place in the record and memo files (so reads, which
// go straight to the record file's map, see them at once) and logged first:
//
//   offset 0   header, kHeaderSize bytes:
//                0  char[8] "QXLOG01\n"   magic
//                8  u32     1              format version
//                12 u32     salt           changes at every reset; seeds every frame's CRC
//                16 u32     CRC-32 of bytes 0..15
//                rest zero
//   then frames, each kFrameHeader bytes and a payload:
//                0  u32 type               FrameType
//                4  u32 table              the file's index in the analysis
//                8  u64 offset             kStart: the record file's size at the start of
//                                          the transaction; kWrite: where the bytes go
//                16 u32 beforeLength       kWrite: bytes of the old version (0 for a new record)
//                20 u32 afterLength        kWrite: bytes of the new version
//                24 u64 memoEnd            kStart: the memo file's size (0: no memo file)
//                32 u32 crc                CRC-32 of the salt, bytes 0..31 and the payload
//                36 u32 "QXLF"             frame magic
//                40 payload: the old bytes, then the new bytes
//
// A transaction is: one kStart frame per file it changes, written before the
// first change to that file; one kWrite frame per change, written before the
// change when it overwrites existing bytes (the old bytes are needed to undo
// it) and at the latest before the commit when it adds a record (undone by
// cutting the file back to its kStart size); one kCommit frame.  The commit
// point is the kCommit frame reaching the disk: one fdatasync of the log.
// Memo blocks are not logged: a memo goes to the end of its file or to a block
// no committed record refers to, so its kStart size undoes
// a transaction's memos, and it is synced before the commit frame.
//
// Recovery (at open) reads the frames while their CRCs hold: the frames up
// to the last kCommit are written again (their new bytes: a committed
// transaction whose pages had not reached the disk), the frames after it are
// undone (old bytes in reverse order, then each file cut to its kStart size).
// Both are idempotent, and the log is bounded by the checkpoint: once it
// passes kCheckpointBytes after a commit (or when a connection closes), the
// changed files are synced and the log emptied.  The log is shared by the
// connections to the database and written only under the exclusive lock
// (DatabaseLock, which also tells a log left by a dead writer).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qxhost {

class Journal {
public:
    static constexpr const char* kFileName = "qx.log";
    static constexpr char kMagic[9] = "QXLOG01\n";
    static constexpr std::uint32_t kVersion = 1;
    static constexpr std::uint32_t kHeaderSize = 32;
    static constexpr std::uint32_t kFrameHeader = 40;
    static constexpr std::uint32_t kFrameMagic = 0x464C5851;  // "QXLF"
    static constexpr std::uint64_t kCheckpointBytes = 16u << 20;
    static constexpr std::size_t kBufferBytes = 1u << 20;

    enum class FrameType : std::uint32_t { kStart = 1, kWrite = 2, kCommit = 3 };

    // What recovery found and did.
    struct Recovery {
        std::uint64_t committedFrames = 0;  // frames written again
        std::uint64_t undoneFrames = 0;     // frames of an unfinished transaction undone
        bool needed = false;                // the log held frames
    };

    Journal() = default;
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Where recovery puts the bytes it finds in the log: the files, or a read-only
    // connection's memory.
    class Target {
    public:
        virtual ~Target() = default;
        // Puts `length` bytes at `offset` of the record file of table `table`.
        virtual bool Write(std::uint32_t table, std::uint64_t offset, const unsigned char* bytes,
                           std::uint32_t length, std::string& error) = 0;
        // Cuts that record file to `size` bytes and its memo file to `memoEnd` (0: none).
        virtual bool Cut(std::uint32_t table, std::uint64_t size, std::uint64_t memoEnd, std::string& error) = 0;
    };

    // Brings the files named by `tableBases` (directory/NAME, in analysis order) to the
    // state of the last committed transaction from the log in `directory`, syncs them and
    // empties the log.  A missing log is an empty one.
    static bool Recover(const std::string& directory, const std::vector<std::string>& tableBases,
                        Recovery& recovery, std::string& error);
    // The same changes, given to `target`, with nothing written: for a connection that
    // cannot write, which then reads the last committed state.
    static bool Replay(const std::string& directory, Target& target, Recovery& recovery, std::string& error);

    // Opens (creating) the log of `directory`.
    bool Open(const std::string& directory, std::string& error);
    // Takes the log as it is on the disk (other connections write it too): called with the
    // exclusive lock held, once recovery has been done.  A log without a header is reset.
    bool Attach(std::string& error);
    // Bytes of the log on the disk.
    std::uint64_t FileSize() const;
    bool IsOpen() const { return fd_ >= 0; }
    void Close();
    void SetSync(bool sync) { sync_ = sync; }

    // Where the next frame goes (frames not yet written included).
    std::uint64_t End() const { return fileEnd_ + buffer_.size(); }
    // Queues a frame; `flush` writes it and every queued frame to the file at once.
    // `beforeAt` receives where the old bytes sit in the log.
    bool Append(FrameType type, std::uint32_t table, std::uint64_t offset, const unsigned char* before,
                std::uint32_t beforeLength, const unsigned char* after, std::uint32_t afterLength,
                std::uint64_t memoEnd, bool flush, std::uint64_t* beforeAt, std::string& error);
    bool Flush(std::string& error);
    // Writes a kCommit frame and every frame before it, then syncs the log.
    bool Commit(std::string& error);
    // Forgets every frame from `end` on (the changes they logged have been undone).
    bool CutTo(std::uint64_t end, std::string& error);
    // Empties the log: every change it holds is on the disk.
    bool Reset(std::string& error);
    // Reads `length` logged bytes at `at` (written to the file).
    bool ReadBytes(std::uint64_t at, unsigned char* out, std::uint32_t length) const;

private:
    bool WriteHeader(std::string& error);

    int fd_ = -1;                         // qx.log, owned
    std::string path_;
    std::uint32_t salt_ = 0;
    std::uint64_t fileEnd_ = 0;           // bytes of the log in the file
    std::vector<unsigned char> buffer_;   // frames queued after fileEnd_
    bool sync_ = true;
};

}  // namespace qxhost
