// SchemaEditor: the file and key descriptions that OBECRITFICHIER builds
// operation by operation, and their creation.
//
// Operation 0 begins a new file, 1 adds one of its items, 2 describes a key
// on an existing file, 3 creates what was described: the file's record (and
// memo) files, or the key's index, and then the analysis file, replaced as
// a whole.  A refusal gives a result above 0 and a message; a refused
// description is dropped.  The item kind letters of operation 1 map to
// field types as follows (size: the item's size in the area):
//
//   A date 98 (size 9, YYYYMMDD)   L 32-bit integer 5    H time 99
//   E 16-bit integer 3             S 4-byte real 7       D 8-byte real 9
//   C 8-bit integer 1              T text 15 of size+1 (holds `size` characters; size 0: 1)
//   X and any other letter: refused
//
// A key whose only item has the key's own name makes that item a key; any
// other key is a composite key (KEY line of the analysis).  A key item
// written "NAME DESC" orders from its largest value.
//
// The other operations act at once: 4 drops a file (its files go), 5 a key
// (a key of an item leaves the item, no longer a key), 6 adds an item at
// the end of an existing file's records, 7 drops an item, 8 renames a file.
// 6 and 7 rewrite the record file and 8 renames it, through SchemaSwitch.
// 9 keeps a view (its column names and SELECT) in the analysis, 10 drops
// one; a view's name is unique among files and views.  Views hold no
// records: the SQL engine computes their rows from the SELECT.
// A name that does not exist gives OBHOST_RESULT_NOT_FOUND, a new name that
// does OBHOST_RESULT_EXISTS (also for operations 0 and 2).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/FileDef.h"
#include "obhost.h"

namespace qxhost {

class Database;

class SchemaEditor {
public:
    // Carries out operation `operation`; returns 0, or a result above 0 with `message` set.
    std::int16_t Apply(Database& db, std::int32_t operation, const FileDescription& area, std::string& message);

private:
    enum class Mode { None, File, Key };

    std::int16_t BeginFile(Database& db, const FileDescription& area, std::string& message);
    std::int16_t AddItem(const FileDescription& area, std::string& message);
    std::int16_t DescribeKey(Database& db, const FileDescription& area, std::string& message);
    std::int16_t Create(Database& db, std::string& message);
    std::int16_t DropFile(Database& db, const FileDescription& area, std::string& message);
    std::int16_t DropKey(Database& db, const FileDescription& area, std::string& message);
    std::int16_t AddItemToFile(Database& db, const FileDescription& area, std::string& message);
    std::int16_t DropItem(Database& db, const FileDescription& area, std::string& message);
    std::int16_t RenameFile(Database& db, const FileDescription& area, std::string& message);
    std::int16_t CreateView(Database& db, const FileDescription& area, std::string& message);
    std::int16_t DropView(Database& db, const FileDescription& area, std::string& message);
    // The existing file named in `area`, or -1 with `message` set.
    static int FindFile(Database& db, const FileDescription& area, std::string& message);

    Mode mode_ = Mode::None;
    FileDef file_;                      // Mode::File: the file being described
    std::size_t keyFile_ = 0;           // Mode::Key: index of the file in the analysis
    std::string keyName_;
    KeyMode keyMode_ = KeyMode::Unique;
    std::vector<std::size_t> keyItems_;
    std::vector<bool> keyDescending_;
};

}  // namespace qxhost
