#include "base/Messages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/MessageSink.h"
#include "platform/Utf8.h"

namespace qx {
namespace {

struct MessageEntry {
    int number;
    const char* text;
};

// French under n, English under n + 10000.  Texts are exactly as the product
// has always shown them, misspellings included.
constexpr MessageEntry kMessages[] = {
#include "base/MessageTable.inc"
};

const char* FindText(int number) {
    for (const MessageEntry& entry : kMessages)
        if (entry.number == number) return entry.text;
    return nullptr;
}

int g_englishMessages = 0;
int g_messageDisplay = 0;
char g_rawText[kRawMessageSize];
char g_displayText[kMessageBufferSize];
char g_messageText[kMessageBufferSize];

bool LoadInto(int number) {
    const char* text = FindText(number);
    if (text == nullptr) return false;
    platform::CopyUtf8Bounded(g_rawText, text, kRawMessageSize - 1);
    return true;
}

// vsnprintf, then cut back to a whole UTF-8 sequence if it was truncated.
void FormatBounded(char* out, std::size_t capacity, const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(out, capacity, format, copy);
    va_end(copy);
    if (n < 0) {
        out[0] = '\0';
        return;
    }
    if (static_cast<std::size_t>(n) >= capacity) out[platform::Utf8CompletePrefix(out, capacity - 1)] = '\0';
}

}  // namespace

void InitMessageService() {
    g_englishMessages = 0;
    g_messageDisplay = 1;
    g_rawText[0] = g_displayText[0] = g_messageText[0] = '\0';
}

int SetEnglishMessages(int english) {
    int previous = g_englishMessages;
    g_englishMessages = english;
    return previous;
}

int EnglishMessages() { return g_englishMessages; }

int LoadMessageText(int number) {
    g_rawText[0] = '\0';
    if (g_englishMessages != 0 && LoadInto(number + 10000)) return 1;
    return LoadInto(number) ? 1 : 0;
}


int FormatMessageText(int number, va_list args, char* out, std::size_t capacity) {
    if (out == nullptr || capacity == 0) return -1;
    out[0] = '\0';
    if (!LoadMessageText(number)) {
        std::snprintf(out, capacity, "Error %d", number);
        return -1;
    }
    int severity = g_rawText[0] - '0';
    FormatBounded(out, capacity, g_rawText + 1, args);
    return severity;
}

const char* MessageText(int number, ...) {
    va_list args;
    va_start(args, number);
    FormatMessageText(number, args, g_messageText, sizeof g_messageText);
    va_end(args);
    return g_messageText;
}

void ShowMessage(int number, va_list args) {
    int severity = FormatMessageText(number, args, g_displayText, sizeof g_displayText);
    if (g_messageDisplay == 0 && severity != 2) return;
    platform::ShowMessageBox(g_englishMessages != 0 ? "RUNTIME Error" : "RUNTIME Erreur", g_displayText);
    if (severity == 2) std::exit(2);
}

int ReportError(int number, ...) {
    va_list args;
    va_start(args, number);
    ShowMessage(number, args);
    va_end(args);
    return 0;
}

const char* MessageState(int number) {
    switch (number) {
        case kMsgOrderPosition: return "42000";  // a reference that names no column
        case kMsgNotGrouped: return "42803";     // a grouping error
        case kMsgOrderNotSelected: return "42000";
        case kMsgFunctionArguments: return "42000";
        case kMsgInterrupted: return "57014";     // query canceled
        case kMsgUnknownTargetItem: return "42S22";  // column not found
        case kMsgOutOfRange: return "22003";         // numeric value out of range
        case kMsgTextTooLong: return "22001";        // string data, right truncation
        case kMsgBadDate:
        case kMsgBadTime: return "22007";            // invalid datetime format
        case kMsgNotANumber: return "22018";         // invalid character value for cast
        case kMsgValueCount: return "21S01";         // insert value list does not match column list
        case kMsgDuplicateValue:
        case kMsgNotNull: return "23000";            // integrity constraint violation
        case kMsgConstraintUnsupported: return "0A000";  // feature not supported
        case kMsgIndexNotFound: return "42S12";
        case kMsgTableExists: return "42S01";
        case kMsgIndexExists: return "42S11";
        case kMsgItemExists: return "42S21";
        case kMsgSchemaRefused: return "HY000";
        case kMsgNoSuchItem: return "42S22";
        case kMsgNoViews: return "0A000";          // feature not supported
        case kMsgWrongObjectKind: return "42000";  // access rule violation: the statement does not apply to it
        case kMsgViewNotFound: return "42S02";     // base table or view not found
        case kMsgViewUnusable: return "42000";
        case kMsgNoTransactions: return "0A000";  // feature not supported
        case kMsgTransactionOpen: return "25001"; // active SQL transaction
        case kMsgNoTransaction: return "2D000";   // invalid transaction termination
        case kMsgChangesNotSettled: return "58030";  // I/O error
        case kMsgDatabaseBusy: return "55006";    // object in use
        case kMsgFileEngine: return "58030";      // I/O error: the files are damaged or refused
        case kMsgParameterMismatch: return "22005";   // error in assignment
        case kMsgParameterNumber: return "07009";     // invalid descriptor index
        case kMsgParameterUnbound: return "07002";    // wrong parameter values
        case kMsgParameterZeroByte: return "22021";   // character not in repertoire
        case kMsgParametersNeedPrepare: return "07002";
        case kMsgNotPrepared: return "HY010";         // function sequence error
        default: return nullptr;
    }
}

}  // namespace qx
