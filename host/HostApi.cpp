// HostApi: the C interface of qxhost.h: opening and closing databases and
// reading their analysis.  Errors are returned as values and texts; no
// exception leaves these functions.
#include <string>
#include <vector>

#include "host/Database.h"
#include "host/DatabaseRegistry.h"
#include "host/TextCopy.h"
#include "qxhost.h"

using qxhost::Database;
using qxhost::DatabaseRegistry;

extern "C" {

uint16_t QXHostOpen(const char* path, int create, char* error, size_t errorSize) {
    std::string message;
    try {
        std::unique_ptr<Database> db = Database::Open(path ? path : "", create != 0, message);
        if (db) {
            std::uint16_t context = DatabaseRegistry::Add(std::move(db));
            if (context != 0) {
                qxhost::CopyText(error, errorSize, "");
                return context;
            }
            message = "too many open databases";
        }
    } catch (...) {
        message = "out of memory";
    }
    qxhost::CopyText(error, errorSize, message);
    return 0;
}

int QXHostClose(uint16_t context) { return DatabaseRegistry::Remove(context) ? 0 : -1; }

uint32_t QXHostChangeCount(uint16_t context) {
    Database* db = DatabaseRegistry::Find(context);
    return db != nullptr ? db->changeCount : 0;
}

int QXHostSetOption(uint16_t context, int option, long value) {
    Database* db = DatabaseRegistry::Find(context);
    if (db == nullptr) return -1;
    switch (option) {
        case QXHOST_OPTION_SYNC: db->Changes().SetSync(value != 0); return 0;
        case QXHOST_OPTION_BUSY_TIMEOUT: db->busyTimeoutMs = value < 0 ? 0 : value; return 0;
        default: return -1;
    }
}

int QXHostTableCount(uint16_t context) {
    Database* db = DatabaseRegistry::Find(context);
    return db ? static_cast<int>(db->GetAnalysis().Files().size()) : -1;
}

int QXHostTableName(uint16_t context, int index, char* out, size_t outSize) {
    Database* db = DatabaseRegistry::Find(context);
    if (!db || index < 0 || static_cast<std::size_t>(index) >= db->GetAnalysis().Files().size()) return -1;
    return qxhost::CopyText(out, outSize, db->GetAnalysis().Files()[static_cast<std::size_t>(index)].name) ? 0 : -2;
}

int QXHostDescribe(uint16_t context, const char* table, char* out, size_t outSize) {
    Database* db = DatabaseRegistry::Find(context);
    if (!db) return -1;
    std::string text;
    try {
        if (!table) {
            text = db->GetAnalysis().Format();
        } else {
            int index = db->GetAnalysis().FindFile(table);
            if (index < 0) return -1;
            text = qxhost::Analysis::FormatFile(db->GetAnalysis().Files()[static_cast<std::size_t>(index)]);
        }
    } catch (...) {
        return -1;
    }
    if (qxhost::CopyText(out, outSize, text)) return 0;
    // Too small: keep whole lines only.
    if (out && outSize > 0) {
        char* end = std::strrchr(out, '\n');
        if (end) end[1] = '\0';
        else out[0] = '\0';
    }
    return -2;
}

int QXHostCheck(uint16_t context, QXHostReport report, void* user) {
    Database* db = DatabaseRegistry::Find(context);
    if (!db) return -1;
    std::vector<std::string> problems;
    std::string error;
    try {
        if (db->Check(problems, error) != QXHOST_STATUS_OK) problems.assign(1, error);
    } catch (...) {
        problems.assign(1, "out of memory");
    }
    if (report)
        for (const std::string& line : problems) report(user, line.c_str());
    return static_cast<int>(problems.size());
}

int QXHostVacuum(uint16_t context, char* error, size_t errorSize) {
    Database* db = DatabaseRegistry::Find(context);
    if (!db) return -1;
    std::string message;
    bool done = false;
    try {
        done = db->Vacuum(message);
    } catch (...) {
        message = "out of memory";
    }
    qxhost::CopyText(error, errorSize, done ? "" : message);
    return done ? 0 : 1;
}

}  // extern "C"
