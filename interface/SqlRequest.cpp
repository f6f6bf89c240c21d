#include "interface/SqlRequest.h"

#include <cstring>

#include "platform/Utf8.h"

namespace qx {

char* SetRequestError(SqlRequest* request, const char* text, const char* state) {
    if (request == nullptr || text == nullptr) return nullptr;
    request->errorNumber = 0;
    std::size_t length = platform::Utf8CutLength(text, std::strlen(text), sizeof request->errorText - 1);
    std::memmove(request->errorText, text, length);
    request->errorText[length] = '\0';
    if (state != nullptr) {
        std::size_t n = strnlen(state, 5);
        std::memcpy(request->sqlState, state, n);
        request->sqlState[n] = '\0';
    } else {
        std::memcpy(request->sqlState, length != 0 ? "00123" : "00000", 6);
    }
    return request->errorText[0] != '\0' ? request->errorText : nullptr;
}

void RecordError(SqlRequest* request, const Status& status) {
    if (status.ok()) return;
    SetRequestError(request, status.error().text(), status.error().sqlState());
    request->errorNumber = status.error().number();
}

}  // namespace qx
