// Messages: the numbered message table in French and English, and the three
// ways a message is used: formatted into a request's error text (every
// statement error), shown in a message box (memory block failures), or both.
//
// Each text starts with one digit, its severity, then a printf format whose
// conversions (%s %i %d %c) each take one argument.  French texts are stored
// under their number n, English ones under n + 10000; English mode falls
// back to French for a number that has no English text, and a number
// without any text formats as "Error %d".  The buffers are process-wide:
// MessageText returns the same buffer every time, so copy its text before
// formatting the next message.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace qx {

// Sizes of the process-wide buffers (bytes, NUL included).
constexpr std::size_t kRawMessageSize = 253;    // a text holds at most 251 bytes
constexpr std::size_t kMessageBufferSize = 453;  // display and message text buffers

// Message numbers used across the engine.
enum MessageNumber : int {
    kMsgInternalError = 4241,
    kMsgOutOfMemory = 4242,
    kMsgUnknownTable = 4243,
    kMsgReadWriteError = 4244,
    kMsgPrematureEnd = 4245,
    kMsgUndefinedError = 4246,
    kMsgUnterminatedString = 4247,
    kMsgMissingSeparator = 4248,
    kMsgSyntaxWrapper = 4249,
    kMsgRightParenthesis = 4250,
    kMsgLeftParenthesis = 4251,
    kMsgTypeMismatch = 4252,
    kMsgCommaExpected = 4253,
    kMsgNumberExpected = 4254,
    kMsgIncorrectList = 4256,
    kMsgIdentifierExpected = 4257,
    kMsgEqualExpected = 4258,
    kMsgSyntaxError = 4259,
    kMsgAndExpected = 4260,
    kMsgStringExpected = 4261,
    kMsgSemicolonExpected = 4262,
    kMsgNullExpected = 4264,
    kMsgDefaultExpected = 4265,
    kMsgSelectExpected = 4266,
    kMsgFromExpected = 4267,
    kMsgSimpleItemExpected = 4268,
    kMsgTimeArgumentExpected = 4269,
    kMsgIncorrectItemList = 4270,
    kMsgItemDefaultNullExpected = 4271,
    kMsgIncorrectSelectedItem = 4272,
    kMsgRightValueExpected = 4273,
    kMsgGroupExpected = 4275,
    kMsgExpressionExpected = 4276,
    kMsgIncorrectType = 4277,
    kMsgLogicInArithmetic = 4279,
    kMsgItemNotFound = 4281,
    kMsgItemExpected = 4282,
    kMsgCompositeKey = 4285,
    kMsgDisjointTables = 4287,
    kMsgDuplicateKey = 4288,
    kMsgOnExpected = 4296,
    kMsgIndexExpected = 4297,
    kMsgNotSupported = 4298,
    kMsgCorrelatedSubSelect = 4299,
    kMsgStatementMemory = 4300,  // the statement's working memory passed its bound (%s: the bound)
    kMsgOrderPosition = 4301,    // ORDER BY position %d not in the select list (1 to %d)
    kMsgNotGrouped = 4302,       // item %s read outside an aggregate is not a GROUP BY key
    kMsgOrderNotSelected = 4303,  // ORDER BY %s: SELECT DISTINCT sorts only by its columns
    kMsgFunctionArguments = 4304,  // function %s given too many or too few arguments
    kMsgInterrupted = 4305,       // the caller asked the running statement to stop
    // Strict values: what the lenient rules would skip, cut or wrap is refused.
    kMsgUnknownTargetItem = 4320,  // table %s has no item %s (INSERT column list, UPDATE SET)
    kMsgOutOfRange = 4321,         // value %s out of range for %s.%s (%s: the range)
    kMsgTextTooLong = 4322,        // text %s too long for %s.%s (%i: bytes it holds)
    kMsgBadDate = 4323,            // date %s malformed or non-existent for %s.%s
    kMsgBadTime = 4324,            // time %s malformed or non-existent for %s.%s
    kMsgNotANumber = 4325,         // %s is not a number for %s.%s
    kMsgValueCount = 4326,         // INSERT INTO %s: %i values for %i items
    kMsgDuplicateValue = 4327,     // duplicate value for unique key %s of table %s: %s
    kMsgNotNull = 4328,            // %s.%s is NOT NULL and left empty
    kMsgConstraintUnsupported = 4329,  // constraint %s on %s.%s cannot be enforced: %s (why)
    kMsgIndexNotFound = 4340,     // DROP INDEX of a key no table has (%s: the key)
    kMsgTableExists = 4341,       // CREATE TABLE or RENAME TO a name in use (%s)
    kMsgIndexExists = 4342,       // CREATE INDEX of a key the table has (%s)
    kMsgItemExists = 4343,        // ALTER TABLE ADD of an item the table has (%s)
    kMsgSchemaRefused = 4344,     // the host refused a schema change (%s: the statement, %s: why)
    kMsgNoSuchItem = 4345,        // ALTER TABLE DROP of an item the table lacks (%s item, %s table)
    kMsgNoViews = 4346,           // CREATE or DROP VIEW on a host that keeps no views
    kMsgWrongObjectKind = 4347,   // '%s' is a %s, not a %s (a view changed as a table, a table dropped as a view)
    kMsgViewNotFound = 4348,      // DROP VIEW of a view the analysis lacks (%s)
    kMsgViewUnusable = 4349,      // view %s: %s (why it cannot be made or read)
    kMsgNoTransactions = 4310,    // BEGIN, COMMIT or ROLLBACK with a host that keeps no transactions
    kMsgTransactionOpen = 4311,   // BEGIN inside a transaction
    kMsgNoTransaction = 4312,     // COMMIT or ROLLBACK without a transaction
    kMsgChangesNotSettled = 4313, // the host could not commit (%d: its status): the changes are undone
    kMsgDatabaseBusy = 4314,      // another connection held the database past the busy timeout
    kMsgParameterMismatch = 4360,   // parameter %d: a %s value does not fit its use (%s)
    kMsgParameterNumber = 4361,     // no parameter %d: the statement has %d
    kMsgParameterUnbound = 4362,    // parameter %d has no value
    kMsgParameterZeroByte = 4363,   // parameter %d: a value with a zero byte cannot be stored
    kMsgParametersNeedPrepare = 4364,  // the statement has %d "?" parameter(s): it must be prepared
    kMsgNotPrepared = 4365,         // the handle is not a prepared statement
    kMsgFileEngine = 4370,          // the file engine's own text of a failure (damage found)
};

// SQLSTATE of a statement that ran out of working memory.
constexpr const char* kSqlStateOutOfMemory = "53200";

// Process-wide message state, set up by instance start-up.
void InitMessageService();
// Sets the language flag (1: English) and returns the previous value.
int SetEnglishMessages(int english);
int EnglishMessages();

// Loads the text of `number` (English first in English mode) into the raw
// buffer, cut to 251 bytes.  1 when found, 0 when not.
int LoadMessageText(int number);

// The SQLSTATE of message `number` when it has one of its own, else null.
const char* MessageState(int number);

// Formats message `number` into `out` (capacity bytes).  Returns the
// severity, or -1 when the number has no text ("Error %d" is written).
int FormatMessageText(int number, va_list args, char* out, std::size_t capacity = kMessageBufferSize);
// Formats into the shared message text buffer and returns it; shows nothing.
const char* MessageText(int number, ...);
// Formats into the display buffer and shows it in a message box.
void ShowMessage(int number, va_list args);
// ShowMessage, then 0 (for returns where 0 or null is the failure).
int ReportError(int number, ...);

}  // namespace qx
