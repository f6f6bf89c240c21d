// HostLink: instance start-up and the engine's link to the host runtime.
//
// OB4InitInstance finds the host module by name (ModuleName(0)), resolves
// its six callbacks in a fixed order (and OTRANSACTION when it has it), sets up the message service and the
// language, and counts instances.  Every stage that touches data calls the
// host through Host() and passes records through the one process-wide
// HostRecordBlock.  Calls are made from one thread, one at a time.
#pragma once

#include <cstdint>
#include <string>

#include "obhost.h"

namespace qx {

// The six callbacks, in the order start-up resolves them.
struct HostCallbacks {
    OGETINFOSOBD_t getInfo = nullptr;       // dictionary questions
    OLIREENREG_t readRecord = nullptr;      // record reads (P, S, L)
    OECRIREENREG_t writeRecord = nullptr;   // record add / rewrite / delete
    OBECRITFICHIER_t describeFile = nullptr;// file and key creation
    OGETMEMO_t getMemo = nullptr;           // memo reads
    OECRIREMEMO_t writeMemo = nullptr;      // memo writes
    OTRANSACTION_t transaction = nullptr;   // statement and transaction boundaries (optional)
    OMESSAGEERREUR_t message = nullptr;     // the text of the host's last failure (optional)
};

// A host call on `file` failed with `status` (3 or more): keeps the host's text of it (or
// the engine's read/write error) until the statement or the fetch reports it.
void NoteHostFailure(std::uint32_t hostContext, const char* file, int status);
// The failure noted since the last call (and forgets it); false when there is none.
bool TakeHostFailure(std::string& text);
// The host's own text of the last failure it explained (and forgets it); empty when none.
std::string TakeHostMessage();
// Drops a failure noted and never taken (a statement that ended for another reason):
// each statement starts without one.
void ForgetHostFailure();
// The text for a read of `file` that failed with `status`: the noted failure, else the
// engine's read/write error.
std::string HostFailureText(const char* file, int status);

// Module name of role `index`: the host's table entry when a table was given
// and the index is within it, else the default name ("" for unknown roles).
const char* ModuleName(int index);

const HostCallbacks& Host();
// True when all six callbacks were resolved.
bool HostReady();
// The process-wide record exchange block.
HostRecordBlock* RecordBlock();

// Start-up and shut-down (the exported calls forward here).
std::int16_t InitInstance(const void* moduleTable);
void EndInstance();
int InstanceCount();

// Strict values, chosen per host context (connection): under strict an
// INSERT or UPDATE refuses what the lenient rules would skip, cut, wrap or
// let through.  A context never set follows the profile's SQL_STRICT
// (off when missing).
bool StrictValues(std::uint16_t hostContext);
// Sets the mode of `hostContext`: 1 strict, 0 lenient, -1 back to the
// profile's choice.  The mode in force before, or -1 for another `mode`.
int SetStrictValues(std::uint16_t hostContext, int mode);

}  // namespace qx
