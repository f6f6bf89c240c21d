/*
 * obsqleng.h - the calls exported by the SQL engine (libobsqleng.so).
 *
 * A host program starts the engine once with OB4InitInstance, then for each
 * statement: QXSQLExecReq compiles and runs it and gives a handle; when the
 * ExecInfo reports columns, QXSQLFetchNext walks the rows and QXSQLValLine /
 * QXSQLGetLongData read the current one; QXSQLErreur reads the error text and
 * SQLSTATE; QXSQLFinRequete releases the handle (also after a failure).
 * OBSQLFinInstance ends the instance.  Calls come from one thread, one at a
 * time.  The QXSQL_OBMS_ calls list and replace memo references
 * ({OBMemoBinaire('name')}) in a statement text.
 */
#ifndef OBSQLENG_H
#define OBSQLENG_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Filled by QXSQLExecReq.  The caller sizes the block: columnText runs on
 * past the declared member as far as the column description needs. */
typedef struct ExecInfo {
    uint16_t compiled;     /* 0: 1 once parsed, analysed and planned */
    uint16_t columnCount;  /* 2: result columns, 0 without a result */
    uint32_t rowCount;     /* 4: result rows */
    char     columnText[1];/* 8: "name\tletter\thosttype\tsize" lines joined by CR LF */
} ExecInfo;

#ifdef __cplusplus
static_assert(offsetof(ExecInfo, compiled) == 0, "compiled");
static_assert(offsetof(ExecInfo, columnCount) == 2, "columnCount");
static_assert(offsetof(ExecInfo, rowCount) == 4, "rowCount");
static_assert(offsetof(ExecInfo, columnText) == 8, "columnText");
#else
_Static_assert(offsetof(ExecInfo, columnText) == 8, "columnText");
#endif

/* Longest statement accepted, in bytes (the engine appends ";" and a NUL). */
#define QXSQL_MAX_STATEMENT 16382

int16_t QXSQLExecReq(uintptr_t* handleOut, const char* statement, ExecInfo* info,
                     uint16_t hostContext, uintptr_t memoValues);
int16_t QXSQLFetchNext(uintptr_t handle);
int16_t QXSQLValLine(uintptr_t handle, const char* separator, char* out);
int16_t QXSQLGetLongData(uintptr_t handle, uint16_t column, uintptr_t* valueOut);
int16_t QXSQLErreur(uintptr_t handle, char* textOut /* 255 bytes */, char* stateOut /* 6 bytes */);
int32_t QXSQLFinRequete(uintptr_t handle);

/* Asks the statement running in the process to stop; it then fails with
 * SQLSTATE 57014 and keeps no result.  Unlike the other calls it may come
 * from another thread or a signal handler.  A request made while no
 * statement runs is forgotten when the next one starts. */
void QXSQLInterrupt(void);

/* Strict values for the statements run with `hostContext`: mode 1 makes an
 * INSERT or UPDATE fail, storing nothing, on an unknown item, a number out
 * of the item's range, a text longer than the item, a malformed or
 * non-existent date or time, a text that is not a number for a numeric
 * item, a value count that does not match the items, a duplicate key or an
 * empty NOT NULL item; mode 0 keeps the lenient rules (unknown items
 * skipped, values fitted to the item); mode -1 returns to the profile's
 * SQL_STRICT ([OMBREL] section, lenient when missing).  Returns the mode in
 * force before (0 or 1), -1 for another mode. */
int16_t QXSQLSetStrict(uint16_t hostContext, int16_t mode);

/* Where the engine's message boxes (title, text) go: by default one
 * "title: text" line on standard error.  NULL restores that default.  The
 * sink is called on the thread of the engine call that shows the message. */
typedef void (*QXSQLMessageSink)(const char* title, const char* text, void* context);
void QXSQLSetMessageSink(QXSQLMessageSink sink, void* context);

/* Prepared statements.  QXSQLPrepare compiles a statement whose values may
 * be "?" parameters (numbered from 1 in the order written) once, and gives a
 * handle that the calls above accept too (QXSQLFetchNext, QXSQLValLine,
 * QXSQLGetLongData, QXSQLErreur; QXSQLFinRequete releases it).  Bind a value
 * to every parameter, then QXSQLExecute runs the statement with them (info as
 * for QXSQLExecReq, or NULL); values stay bound for the next run until
 * replaced or cleared by QXSQLReset.  A bound value is never put into SQL
 * text.  A value that does not fit the parameter's use (a text where an
 * item is numeric, a date where it is a time...) is refused by the bind call
 * (4360).  Texts and binary data may not hold a zero byte (4363).  Every call
 * gives 0, or -1 with the error readable by QXSQLErreur. */
int16_t QXSQLPrepare(uintptr_t* handleOut, const char* statement, uint16_t hostContext, uint16_t* parameterCount);
int16_t QXSQLBindInteger(uintptr_t handle, uint16_t parameter, int64_t value);
int16_t QXSQLBindReal(uintptr_t handle, uint16_t parameter, double value);
/* length: bytes of text, or -1 for a NUL-terminated text. */
int16_t QXSQLBindText(uintptr_t handle, uint16_t parameter, const char* text, int32_t length);
int16_t QXSQLBindDate(uintptr_t handle, uint16_t parameter, int32_t year, int32_t month, int32_t day);
int16_t QXSQLBindTime(uintptr_t handle, uint16_t parameter, int32_t hour, int32_t minute, int32_t second);
int16_t QXSQLBindBinary(uintptr_t handle, uint16_t parameter, const void* bytes, uint32_t size);
/* NULL: the item's empty value (0 or an empty text), as NULL in VALUES. */
int16_t QXSQLBindNull(uintptr_t handle, uint16_t parameter);
int16_t QXSQLExecute(uintptr_t handle, ExecInfo* info);
/* Drops the result of the last run and every bound value. */
int16_t QXSQLReset(uintptr_t handle);

/* A column of the current row (columns from 1), typed.  Works on every
 * handle with a result.  `text` is valid until the next call on the handle. */
enum {
    QXSQL_TYPE_NONE = 0,     /* no readable value (composite key, unknown type) */
    QXSQL_TYPE_INTEGER = 1,  /* integer */
    QXSQL_TYPE_REAL = 2,     /* real */
    QXSQL_TYPE_FIXED = 3,    /* real, and text: the exact decimal digits */
    QXSQL_TYPE_TEXT = 4,     /* text */
    QXSQL_TYPE_DATE = 5,     /* integer YYYYMMDD (0: no date), text as stored */
    QXSQL_TYPE_TIME = 6,     /* integer HHMMSS, text as stored */
    QXSQL_TYPE_MEMO = 7,     /* text (at most 4096 bytes) */
    QXSQL_TYPE_BINARY = 8    /* text: the first bytes in hexadecimal */
};
typedef struct QXSQLValue {
    int32_t type;      /* QXSQL_TYPE_* */
    uint32_t size;     /* bytes at text, without its NUL */
    int64_t integer;
    double real;       /* every number, integers too */
    const char* text;  /* never NULL: "" when the value has no text */
} QXSQLValue;
int16_t QXSQLColumnValue(uintptr_t handle, uint16_t column, QXSQLValue* out);
/* The message number of the handle's last error (0: none, or an error
 * that comes with its text only, such as a host's). */
int32_t QXSQLErrorNumber(uintptr_t handle);

/* moduleTable: a ModuleNameTable of obhost.h, or NULL for the default names. */
int16_t OB4InitInstance(uint32_t unused, const void* moduleTable);
void OBSQLFinInstance(uint32_t unused);

void*   QXSQL_OBMS_Alloc(void);
void    QXSQL_OBMS_Free(void* context);
int32_t QXSQL_OBMS_Scan(void* context, const char* statement);
int32_t QXSQL_OBMS_GetMemoInfo(void* context, int32_t index, char* name, uint32_t capacity,
                               int32_t* kind);
int32_t QXSQL_OBMS_ReplaceMemo(void* context, char* statement, int32_t index,
                               const char* replacement, uint32_t capacity);

#ifdef __cplusplus
}
#endif

#endif /* OBSQLENG_H */
