#include "base/Error.h"

#include <cstdarg>
#include <cstring>

#include "base/Messages.h"
#include "platform/Utf8.h"

namespace qx {

Error Error::Message(int number, ...) {
    char text[kMessageBufferSize];
    va_list args;
    va_start(args, number);
    FormatMessageText(number, args, text, sizeof text);
    va_end(args);
    return Numbered(number, text, MessageState(number));
}

Error Error::Numbered(int number, const char* text, const char* sqlState) {
    Error error = Text(text, sqlState);
    error.number_ = number;
    return error;
}

Error Error::Text(const char* text, const char* sqlState) {
    Error error;
    if (text == nullptr) text = "";
    std::size_t length = platform::Utf8CutLength(text, std::strlen(text), kTextCapacity - 1);
    std::memcpy(error.text_, text, length);
    error.text_[length] = '\0';
    if (sqlState != nullptr && sqlState[0] != '\0') {
        std::size_t n = strnlen(sqlState, 5);
        std::memcpy(error.sqlState_, sqlState, n);
        error.sqlState_[n] = '\0';
    }
    return error;
}

}  // namespace qx
