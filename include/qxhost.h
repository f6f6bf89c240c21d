/*
 * qxhost.h - the QX file engine's own C interface (libobhost32.so).
 *
 * libobhost32.so is the host runtime the SQL engine talks to: it exports the
 * six callbacks of obhost.h over a real file database, and the calls below,
 * with which a program (the shell, a test) opens a database directory and
 * gets the host context number to pass to QXSQLExecReq.  Several databases
 * may be open at once, each under its own context number.  A database is
 * open for writing by one process at a time; a second opener is refused.
 *
 * Threads: like the engine, the library is called from one thread at a time.
 * The on-disk format and the analysis syntax are described in host/README.md.
 */
#ifndef QXHOST_H
#define QXHOST_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QXHOST_API __attribute__((visibility("default")))

/* Statuses the callbacks leave in HostRecordBlock.status (0: success).
   The engine treats 3 and above as failures. */
#define QXHOST_STATUS_OK 0
#define QXHOST_STATUS_UNKNOWN 3    /* unknown host context, file or key */
#define QXHOST_STATUS_IO 4         /* the file system refused a read or write */
#define QXHOST_STATUS_REQUEST 5    /* malformed request: command, length, record number */
#define QXHOST_STATUS_DUPLICATE 6  /* a unique key would hold a value twice (duplicate set) */
#define QXHOST_STATUS_NO_RECORD 7  /* rewrite or delete of a record that is not live */
#define QXHOST_STATUS_MEMO 8       /* memo write without a record just written, or bad memo */
#define QXHOST_STATUS_BUSY 9       /* another connection held the database past the busy timeout */
#define QXHOST_STATUS_NESTED 10    /* BEGIN while a transaction is open */
#define QXHOST_STATUS_NO_TRANSACTION 11 /* COMMIT or ROLLBACK without a transaction */

/* Opens (create != 0: creates when missing, with an empty analysis) the database in
   directory `path`.  Returns the host context number (1..65535) to pass to QXSQLExecReq,
   or 0 with a message in `error` (NUL-terminated, cut to errorSize). */
QXHOST_API uint16_t QXHostOpen(const char* path, int create, char* error, size_t errorSize);
/* Closes an open database: 0 ok, -1 unknown context. */
QXHOST_API int QXHostClose(uint16_t context);

/* Number of records added, rewritten or deleted successfully since the database was
   opened (0 for an unknown context).  A caller compares it before and after a statement
   to learn how many records the statement changed. */
QXHOST_API uint32_t QXHostChangeCount(uint16_t context);

/* Settings of an open database (0 ok, -1 unknown context or option):
   QXHOST_OPTION_SYNC        1 (default): a commit reaches the disk (fdatasync) before it is
                             acknowledged; 0: it reaches the kernel only, which survives the
                             process being killed but not a power failure.
   QXHOST_OPTION_BUSY_TIMEOUT milliseconds a statement waits for another connection's lock
                             before it fails with QXHOST_STATUS_BUSY (default 5000). */
#define QXHOST_OPTION_SYNC 1
#define QXHOST_OPTION_BUSY_TIMEOUT 2
QXHOST_API int QXHostSetOption(uint16_t context, int option, long value);

/* Analysis introspection.  QXHostTableCount: number of files, -1 unknown context.
   QXHostTableName: name of file `index` (from 0, analysis order); 0 ok, -1 unknown
   context or index, -2 `out` too small (it then holds what fits). */
QXHOST_API int QXHostTableCount(uint16_t context);
QXHOST_API int QXHostTableName(uint16_t context, int index, char* out, size_t outSize);
/* The analysis text of one table (NULL: the whole analysis), in the analysis file's own
   syntax.  0 ok, -1 unknown context or table, -2 `out` too small (it then holds the
   text cut at a line end, NUL-terminated). */
QXHOST_API int QXHostDescribe(uint16_t context, const char* table, char* out, size_t outSize);

/* Integrity check: walks the whole database (each file against the analysis, every record's
   checksum, memo references and memo blocks, unique keys, files no table names) and calls
   `report` (when not NULL) with one line per problem.  Returns the number of problems
   (0: the database is sound), -1 for an unknown context. */
typedef void (*QXHostReport)(void* user, const char* line);
QXHOST_API int QXHostCheck(uint16_t context, QXHostReport report, void* user);

/* Compaction: rewrites every file of the database to its live records and memos (records
   are numbered again from 1), so that the files take their live size.  Crash-safe: a
   process killed at any moment leaves the old files or the new ones.  It takes the
   database for itself (other connections wait, or it fails as busy) and is refused inside
   a transaction and on a damaged file.  0 done, 1 refused or failed (a message in `error`,
   NUL-terminated, cut to errorSize), -1 unknown context. */
QXHOST_API int QXHostVacuum(uint16_t context, char* error, size_t errorSize);

#ifdef __cplusplus
}
#endif

#endif /* QXHOST_H */
