// SchemaSwitch: changing a table's layout or name, and the analysis with it,
// so that a process killed at any moment leaves either the old table or the
// new one, whole.
//
// A change first writes every new file beside the old ones under a
// temporary name and flushes it to the disk: the new records as
// <NAME>.qxn, the new analysis as
// analysis.qxn.  It then commits by writing the switch file schema.qxs
// (through a temporary file, a flush and a rename), which lists the renames
// that put the new files in place, one "from to" pair per line.  Only then
// are the renames made, and the switch file removed.
//
// Opening a database first looks for schema.qxs: when it is there the
// change was committed and its renames are made again (those already made
// find no source and are skipped); when it is not, the temporary files of a
// change that never committed (*.qxn, *.qmn, *.tmp, and *.qjn of earlier versions) are removed.
// A compaction commits the same way, every file of the database in one switch.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/FileDef.h"

namespace qxhost {

class RecordFile;
class Table;

class SchemaSwitch {
public:
    static constexpr const char* kSwitchName = "schema.qxs";
    static constexpr const char* kNewAnalysis = "analysis.qxn";
    static constexpr const char* kNewRecords = ".qxn";
    static constexpr const char* kNewJournal = ".qjn";
    static constexpr const char* kNewMemos = ".qmn";

    using Rename = std::pair<std::string, std::string>;  // names inside the database directory

    // Writes the records of `from` (laid out as `oldDef`) as a new record file in the layout
    // of `newDef` at <directory>/<newDef.name>.qxn, with its empty journal, flushed.
    // `source[i]` is the index in `oldDef` of new item i, or -1 for a new item (zero bytes).
    // Record numbers, deleted ones included, stay the same.
    static bool WriteRecords(const std::string& directory, const RecordFile& from, const FileDef& oldDef,
                             const FileDef& newDef, const std::vector<int>& source, std::string& error);
    // Writes the live records of `table` renumbered from 1 as <NAME>.qxn and their memos as
    // <NAME>.qmn (new references), both flushed.  False on the first memo that cannot be read.
    static bool WriteCompacted(const std::string& directory, const Table& table, std::string& error);
    // Writes `analysisText` as analysis.qxn (flushed), commits `renames` (the move of
    // analysis.qxn over the analysis comes first) and makes them.
    static bool Commit(const std::string& directory, const std::string& analysisText, std::vector<Rename> renames,
                       std::string& error);
    // At open: finishes a committed change or removes the leftovers of one that was not.
    static bool Recover(const std::string& directory, std::string& error);

private:
    // Writes `records` (laid out as `oldDef`) as a version 2 record file at `path` in the
    // layout of `newDef`, flushed; `memoReferences`, when not empty, replaces the memo items'
    // references in record and item order.
    static bool WriteSlots(const std::string& path, const std::vector<const unsigned char*>& records,
                           const FileDef& oldDef, const FileDef& newDef, const std::vector<int>& source,
                           const std::vector<std::uint32_t>& memoReferences, std::string& error);
    static bool Apply(const std::string& directory, const std::vector<Rename>& renames, std::string& error);
};

}  // namespace qxhost
