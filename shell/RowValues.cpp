// RowValues: typed values into texts.
#include "shell/RowValues.h"

#include <charconv>

#include "shell/Language.h"
#include "shell/NumberText.h"

namespace qxsql {
namespace {

constexpr std::uint32_t kSingleBytes = 4;  // display size of a single-precision item

}  // namespace

RowValues::RowValues(const std::vector<ResultColumn>& columns, ValueSource source)
    : columns_(columns), source_(std::move(source)), owned_(columns.size()), values_(columns.size()) {}

std::string RowValues::Text(const ResultColumn& column, const QXSQLValue& value) {
    switch (value.type) {
        case QXSQL_TYPE_NONE:
            return Say("<unknown type>", "<type inconnu>");
        case QXSQL_TYPE_INTEGER: {
            char digits[24];
            return std::string(digits, std::to_chars(digits, digits + sizeof digits, value.integer).ptr);
        }
        case QXSQL_TYPE_REAL:
            return NumberText(value.real, column.size == kSingleBytes);
        default:
            return std::string(value.text, value.size);
    }
}

const std::vector<std::string_view>& RowValues::Read() {
    refused_ = false;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        // A value's text lasts until the next call on the handle: each is copied.
        QXSQLValue value{};
        if (source_(static_cast<std::uint16_t>(i + 1), &value) != 0) {
            refused_ = true;
            owned_[i].clear();
        } else if (value.type == QXSQL_TYPE_NONE || value.type == QXSQL_TYPE_INTEGER ||
                   value.type == QXSQL_TYPE_REAL) {
            owned_[i] = Text(columns_[i], value);
        } else {
            owned_[i].assign(value.text, value.size);
        }
        values_[i] = owned_[i];
    }
    return values_;
}

}  // namespace qxsql
