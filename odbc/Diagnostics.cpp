#include "odbc/Diagnostics.h"

#include <cstring>

namespace qxodbc {

SQLRETURN Diagnostics::Fail(const char* state, const std::string& message, std::int32_t native) {
    records_.push_back({state, native, message});
    return SQL_ERROR;
}

SQLRETURN Diagnostics::Warn(const char* state, const std::string& message) {
    records_.push_back({state, 0, message});
    return SQL_SUCCESS_WITH_INFO;
}

SQLRETURN CopyText(const std::string& text, SQLCHAR* out, SQLLEN capacity, SQLLEN* length) {
    if (length != nullptr) *length = static_cast<SQLLEN>(text.size());
    if (out == nullptr || capacity <= 0) return text.empty() ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
    std::size_t fits = std::min(text.size(), static_cast<std::size_t>(capacity - 1));
    std::memcpy(out, text.data(), fits);
    out[fits] = '\0';
    return fits < text.size() ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

}  // namespace qxodbc
