/*
 * obhost.h - the contract between the SQL engine and the host runtime.
 *
 * The engine never opens a data file.  The host runtime module exports the
 * six callbacks below; the engine finds them by name at start-up and passes
 * records, memos and dictionary questions through the exchange areas laid
 * out here.  Every layout is an interface format: offsets are fixed and
 * checked by static_assert.  Words that carry an address are pointer-sized;
 * every other field keeps its width and offset.  Fields are packed, so
 * read and write them by value (never take their address).
 */
#ifndef OBHOST_H
#define OBHOST_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Callback signatures (resolved by these exact names) ---------------- */

/* Dictionary questions: operation 0 describes a file, 1 one of its items
   (area: DictionaryExchange), 2 gives the definition of a view (area:
   ViewExchange, below). */
typedef int32_t (*OGETINFOSOBD_t)(uint32_t hostContext, int32_t operation, void* area);
/* Read a record: command "P", "S" or "L" is set in the record block. */
typedef int32_t (*OLIREENREG_t)(uint32_t hostContext, const char* fileName,
                                int32_t recordNumber, void* exchange);
/* Write a record: 0 adds, n > 0 rewrites record n, -1 deletes the last read. */
typedef int32_t (*OECRIREENREG_t)(uint32_t hostContext, const char* fileName,
                                  int32_t recordNumber, void* exchange);
/* Describe, create and change files: the OBHOST_DESCRIBE_* operations below. */
typedef int32_t (*OBECRITFICHIER_t)(uint32_t hostContext, int32_t operation, void* description);
/* Read a memo: kind 12 (text) gives a text address, kind 22 (binary) a handle. */
typedef int16_t (*OGETMEMO_t)(uint32_t hostContext, const char* fileName,
                              uint32_t memoReference, int32_t kind, uintptr_t* valueOut);
/* Write one memo of the record just written. */
typedef int32_t (*OECRIREMEMO_t)(uint32_t hostContext, uint32_t length, void* exchange);

/* Statement and transaction boundaries (optional: a host without it keeps
   every change as it is made, and the engine refuses BEGIN, COMMIT and
   ROLLBACK).  Operation: 0 a statement begins, 1 it ended well (its changes
   are kept, and committed when no transaction is open), 2 it failed (its
   changes are undone), 3 BEGIN, 4 COMMIT, 5 ROLLBACK, 6 a statement that
   changes records begins (0 is then one that only reads).  Returns 0, or a
   status: 4 the files refused (the commit or undo did not happen; a failed
   commit undoes the transaction), 9 busy (another connection held the
   database past the busy timeout), 10 BEGIN inside a transaction, 11 COMMIT
   or ROLLBACK without one.  Operation 7, asked inside a statement, returns
   a count (>= 0) that changes whenever the tables' definitions change: a
   prepared statement compiled at another count is compiled again (a host
   that answers a constant never has it compiled again). */
typedef int32_t (*OTRANSACTION_t)(uint32_t hostContext, int32_t operation);
enum {
    OBHOST_TX_BEGIN_STATEMENT = 0,
    OBHOST_TX_END_STATEMENT = 1,
    OBHOST_TX_UNDO_STATEMENT = 2,
    OBHOST_TX_BEGIN = 3,
    OBHOST_TX_COMMIT = 4,
    OBHOST_TX_ROLLBACK = 5,
    OBHOST_TX_BEGIN_WRITING_STATEMENT = 6,
    OBHOST_TX_SCHEMA_GENERATION = 7
};
/* OTRANSACTION's answers. */
enum {
    OBHOST_TX_OK = 0,
    OBHOST_TX_IO = 4,
    OBHOST_TX_BUSY = 9,
    OBHOST_TX_NESTED = 10,
    OBHOST_TX_NO_TRANSACTION = 11
};

/* The text of the host's last failure on `hostContext` (optional: without it the
   engine reports failures by status).  Copies at most `size` bytes, NUL included, into
   `text` and returns the length of the text, 0 when there is none. */
typedef int32_t (*OMESSAGEERREUR_t)(uint32_t hostContext, char* text, uint32_t size);

/* The host runtime module defines these six functions with C linkage. */
int32_t OGETINFOSOBD(uint32_t hostContext, int32_t operation, void* area);
int32_t OLIREENREG(uint32_t hostContext, const char* fileName, int32_t recordNumber, void* exchange);
int32_t OECRIREENREG(uint32_t hostContext, const char* fileName, int32_t recordNumber, void* exchange);
int32_t OBECRITFICHIER(uint32_t hostContext, int32_t operation, void* description);
int16_t OGETMEMO(uint32_t hostContext, const char* fileName, uint32_t memoReference, int32_t kind,
                 uintptr_t* valueOut);
int32_t OECRIREMEMO(uint32_t hostContext, uint32_t length, void* exchange);
/* and, when it keeps transactions, this one; and, when it explains its failures, the last. */
int32_t OTRANSACTION(uint32_t hostContext, int32_t operation);
int32_t OMESSAGEERREUR(uint32_t hostContext, char* text, uint32_t size);

#pragma pack(push, 1)

/* ---- HostRecordBlock: records and memos pass through it (4352 bytes) --- */
typedef struct HostRecordBlock {
    unsigned char hostPrivate[3688]; /* belongs to the host */
    int16_t  recordLength;           /* 3688: bytes of the record */
    uint64_t recordAddress;          /* 3690: address of the record's bytes */
    unsigned char gap1[8];
    uint16_t outOfFile;              /* 3706: no record at or after the place asked for */
    unsigned char gap2[4];
    uint32_t recordNumber;           /* 3712: number of the record read (P, S) */
    int16_t  status;                 /* 3716: 3 or more is a failure */
    unsigned char gap3[4];
    uint16_t duplicate;              /* 3722: write refused, unique key */
    unsigned char gap4[4];
    uint16_t found;                  /* 3728: command L found the record */
    char     keyName[11];            /* 3730: key item ordering P and S */
    unsigned char gap5[36];
    char     command;                /* 3777: 'P', 'S' or 'L' */
    unsigned char gap6[4];
    uint64_t memoAddress;            /* 3782: data of the memo to write */
    unsigned char gap7[531];
    uint16_t memoNumber;             /* 4321: memo item number in the file, from 1 */
    unsigned char gap8[29];
} HostRecordBlock;

/* ---- DictionaryExchange: answers of OGETINFOSOBD (75 bytes) ------------- */
typedef struct DictionaryExchange {
    char     fileName[9];            /* 0: file asked about */
    uint16_t itemIndex;              /* 9: item asked about, from 0 */
    int16_t  itemCount;              /* 11: items of the file; <= 0: unknown file */
    unsigned char gap1[2];
    uint16_t fileInfo;               /* 15: record size in bytes */
    uint16_t itemSize;               /* 17: item size in bytes */
    unsigned char gap2[2];
    uint16_t itemType;               /* 21: field type code */
    unsigned char gap3[2];
    int16_t  itemCountInArray;       /* 25: array elements */
    unsigned char gap4[2];
    uint8_t  keyKind;                /* 29: key property */
    unsigned char gap5[1];
    uint16_t compositeKey;           /* 31: not 0: the item is a composite key */
    char     itemName[42];           /* 33: item name; empty ends the items */
} DictionaryExchange;

/* ---- ViewExchange: OGETINFOSOBD operation 2 (75 bytes) ------------------
 * The engine names the view and lends two buffers; the host copies the
 * view's column list (names joined by ",", empty when CREATE VIEW gave
 * none) and its SELECT into them, at most `capacity` bytes each, and sets
 * the full lengths (no NUL is written) and `answer`.  The engine sets
 * `answer` to OBHOST_VIEW_UNANSWERED first: a host that keeps no views
 * leaves it so (and returns -1, as for any operation it does not know).
 * The area has the size of a DictionaryExchange. */
enum {
    OBHOST_INFO_FILE = 0,
    OBHOST_INFO_ITEM = 1,
    OBHOST_INFO_VIEW = 2
};
enum {
    OBHOST_VIEW_NONE = 0,          /* no view of that name (a table may have it) */
    OBHOST_VIEW_FOUND = 1,         /* the view: lengths and buffers filled */
    OBHOST_VIEW_UNANSWERED = 255   /* set by the engine; kept by a host without views */
};
typedef struct ViewExchange {
    char     viewName[9];            /* 0: view asked about */
    uint8_t  answer;                 /* 9: OBHOST_VIEW_* */
    unsigned char gap1[2];
    uint32_t columnsCapacity;        /* 12: bytes the columns buffer holds */
    uint32_t columnsLength;          /* 16: bytes of the column list */
    uint32_t textCapacity;           /* 20: bytes the text buffer holds */
    uint32_t textLength;             /* 24: bytes of the SELECT */
    uint64_t columns;                /* 28: address of the engine's columns buffer */
    uint64_t text;                   /* 36: address of the engine's text buffer */
    unsigned char gap2[31];
} ViewExchange;

/* ---- FileDescription: OBECRITFICHIER's area (797 bytes) ----------------- */
typedef struct FileDescription {
    char     fileName[9];            /* 0 */
    char     fileSuffix[3];          /* 9: "__" for operation 0 */
    char     itemName[11];           /* 12: item or key name */
    union {
        char keyItems[257];          /* 23: key item names joined by "," (operation 2) */
        struct {
            unsigned char gap1[254];
            uint8_t  itemKind;       /* 277: host type letter (operation 1) */
            uint16_t itemSize;       /* 278: item size (operation 1) */
        } item;
        struct {
            uint64_t columns;        /* 23: column names joined by ",", NUL-terminated; empty: none */
            uint64_t text;           /* 31: the SELECT, NUL-terminated (CREATE_VIEW) */
        } view;
    } u;
    uint16_t keyMode;                /* 280: 1 unique, 2 with duplicates */
    int16_t  result;                 /* 282: > 0: the operation failed */
    char     message[513];           /* 284: why it failed */
} FileDescription;

/* OBECRITFICHIER operations.  0..3 describe then create a file or key; the
 * others act at once.  DROP_KEY with an empty fileName looks for the key in
 * every file.  ADD_ITEM takes the item as operation 1 does; RENAME_FILE takes
 * the new name in itemName.  A key item may be followed by " DESC".
 * CREATE_VIEW keeps the view named in fileName (u.view: its columns and
 * SELECT) in the analysis; DROP_VIEW removes it.  A view's name is unique
 * among files and views: EXISTS when either has it. */
enum ObhostDescribeOperation {
    OBHOST_DESCRIBE_BEGIN = 0,
    OBHOST_DESCRIBE_ITEM = 1,
    OBHOST_DESCRIBE_KEY = 2,
    OBHOST_DESCRIBE_CREATE = 3,
    OBHOST_DESCRIBE_DROP_FILE = 4,
    OBHOST_DESCRIBE_DROP_KEY = 5,
    OBHOST_DESCRIBE_ADD_ITEM = 6,
    OBHOST_DESCRIBE_DROP_ITEM = 7,
    OBHOST_DESCRIBE_RENAME_FILE = 8,
    OBHOST_DESCRIBE_CREATE_VIEW = 9,
    OBHOST_DESCRIBE_DROP_VIEW = 10
};

/* FileDescription.result: 0 done; above 0 refused, with a message. */
enum ObhostDescribeResult {
    OBHOST_RESULT_OK = 0,
    OBHOST_RESULT_REFUSED = 1,   /* any other refusal (an unknown operation too) */
    OBHOST_RESULT_IO = 2,        /* the files could not be written */
    OBHOST_RESULT_NOT_FOUND = 3, /* the file, key or item named does not exist */
    OBHOST_RESULT_EXISTS = 4     /* a file or key of that name exists already */
};

/* ---- Module name table handed to OB4InitInstance ------------------------ */
typedef char ModuleNameEntry[22];
typedef struct ModuleNameTable {
    const ModuleNameEntry* entries;  /* 0: array of NUL-terminated names */
    int16_t lastIndex;               /* 8: index of the last entry */
} ModuleNameTable;

/* ---- Memo parameters (caller's table and value blocks) ------------------ */
typedef struct MemoParameterTable {
    uint16_t reserved;               /* 0: not read by the engine */
    uint64_t entries[1];             /* 2: entry n (from 1) at 2 + 8 * (n - 1) */
} MemoParameterTable;

typedef struct MemoValueBlock {
    unsigned char callerPrivate1[3];
    uint16_t dataOffset;             /* 3: 74 + headerExtra, written by the engine */
    unsigned char callerPrivate2[49];
    uint32_t dataLength;             /* 54: data bytes */
    uint8_t  headerExtra;            /* 58: bytes of header after the fixed 74 */
    unsigned char callerPrivate3[15];
    /* 74 + headerExtra: the data */
} MemoValueBlock;

#pragma pack(pop)

#define OBHOST_MEMO_HEADER_SIZE 74

#ifdef __cplusplus
#define OBHOST_ASSERT static_assert
#else
#define OBHOST_ASSERT _Static_assert
#endif
OBHOST_ASSERT(sizeof(HostRecordBlock) == 4352, "HostRecordBlock size");
OBHOST_ASSERT(offsetof(HostRecordBlock, recordLength) == 3688, "recordLength");
OBHOST_ASSERT(offsetof(HostRecordBlock, recordAddress) == 3690, "recordAddress");
OBHOST_ASSERT(offsetof(HostRecordBlock, outOfFile) == 3706, "outOfFile");
OBHOST_ASSERT(offsetof(HostRecordBlock, recordNumber) == 3712, "recordNumber");
OBHOST_ASSERT(offsetof(HostRecordBlock, status) == 3716, "status");
OBHOST_ASSERT(offsetof(HostRecordBlock, duplicate) == 3722, "duplicate");
OBHOST_ASSERT(offsetof(HostRecordBlock, found) == 3728, "found");
OBHOST_ASSERT(offsetof(HostRecordBlock, keyName) == 3730, "keyName");
OBHOST_ASSERT(offsetof(HostRecordBlock, command) == 3777, "command");
OBHOST_ASSERT(offsetof(HostRecordBlock, memoAddress) == 3782, "memoAddress");
OBHOST_ASSERT(offsetof(HostRecordBlock, memoNumber) == 4321, "memoNumber");

OBHOST_ASSERT(sizeof(DictionaryExchange) == 75, "DictionaryExchange size");
OBHOST_ASSERT(offsetof(DictionaryExchange, fileName) == 0, "fileName");
OBHOST_ASSERT(offsetof(DictionaryExchange, itemIndex) == 9, "itemIndex");
OBHOST_ASSERT(offsetof(DictionaryExchange, itemCount) == 11, "itemCount");
OBHOST_ASSERT(offsetof(DictionaryExchange, fileInfo) == 15, "fileInfo");
OBHOST_ASSERT(offsetof(DictionaryExchange, itemSize) == 17, "itemSize");
OBHOST_ASSERT(offsetof(DictionaryExchange, itemType) == 21, "itemType");
OBHOST_ASSERT(offsetof(DictionaryExchange, itemCountInArray) == 25, "itemCountInArray");
OBHOST_ASSERT(offsetof(DictionaryExchange, keyKind) == 29, "keyKind");
OBHOST_ASSERT(offsetof(DictionaryExchange, compositeKey) == 31, "compositeKey");
OBHOST_ASSERT(offsetof(DictionaryExchange, itemName) == 33, "itemName");

OBHOST_ASSERT(sizeof(ViewExchange) == 75, "ViewExchange size");
OBHOST_ASSERT(offsetof(ViewExchange, answer) == 9, "view answer");
OBHOST_ASSERT(offsetof(ViewExchange, columnsCapacity) == 12, "view columnsCapacity");
OBHOST_ASSERT(offsetof(ViewExchange, textLength) == 24, "view textLength");
OBHOST_ASSERT(offsetof(ViewExchange, columns) == 28, "view columns");
OBHOST_ASSERT(offsetof(ViewExchange, text) == 36, "view text");

OBHOST_ASSERT(sizeof(FileDescription) == 797, "FileDescription size");
OBHOST_ASSERT(offsetof(FileDescription, u.view.columns) == 23, "view columns address");
OBHOST_ASSERT(offsetof(FileDescription, u.view.text) == 31, "view text address");
OBHOST_ASSERT(offsetof(FileDescription, fileName) == 0, "fileName");
OBHOST_ASSERT(offsetof(FileDescription, fileSuffix) == 9, "fileSuffix");
OBHOST_ASSERT(offsetof(FileDescription, itemName) == 12, "itemName");
OBHOST_ASSERT(offsetof(FileDescription, u.keyItems) == 23, "keyItems");
OBHOST_ASSERT(offsetof(FileDescription, u.item.itemKind) == 277, "itemKind");
OBHOST_ASSERT(offsetof(FileDescription, u.item.itemSize) == 278, "itemSize");
OBHOST_ASSERT(offsetof(FileDescription, keyMode) == 280, "keyMode");
OBHOST_ASSERT(offsetof(FileDescription, result) == 282, "result");
OBHOST_ASSERT(offsetof(FileDescription, message) == 284, "message");

OBHOST_ASSERT(offsetof(ModuleNameTable, entries) == 0, "module entries");
OBHOST_ASSERT(offsetof(ModuleNameTable, lastIndex) == 8, "module lastIndex");
OBHOST_ASSERT(sizeof(ModuleNameEntry) == 22, "module entry size");

OBHOST_ASSERT(offsetof(MemoParameterTable, entries) == 2, "memo parameter entries");
OBHOST_ASSERT(offsetof(MemoValueBlock, dataOffset) == 3, "memo dataOffset");
OBHOST_ASSERT(offsetof(MemoValueBlock, dataLength) == 54, "memo dataLength");
OBHOST_ASSERT(offsetof(MemoValueBlock, headerExtra) == 58, "memo headerExtra");
OBHOST_ASSERT(sizeof(MemoValueBlock) == OBHOST_MEMO_HEADER_SIZE, "memo header size");

#ifdef __cplusplus
}
#endif

#endif /* OBHOST_H */
