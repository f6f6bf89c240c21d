// ResultColumns: what the exported calls read from a result table - the
// column description text of QXSQLExecReq, the row count, the fetch of one
// row into the table's record, the row as one line of text (QXSQLValLine)
// and the memo handle of a column (QXSQLGetLongData).
//
// The columns are the descriptors of the result TableRef's `items`, in
// order.  Values are read with ReadCell from the table's current record;
// building, sorting and owning the result table belong to the result set
// of execution and to the request's dictionary.
#include "exec/ResultColumns.h"

#include <cstdio>
#include <cstring>

#include "base/Messages.h"
#include "catalog/Cell.h"
#include "catalog/HostLink.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "values/FieldType.h"
#include "values/Transfor.h"

namespace qx {
namespace {

ItemDescriptor* Column(const TableRef* result, std::int16_t index) {
    if (result == nullptr || index < 0) return nullptr;
    return result->ItemAt(static_cast<std::size_t>(index));
}

// Appends `text` at `end` and returns the new end (the text stays terminated).
char* Append(char* end, const char* text) {
    std::size_t length = std::strlen(text);
    std::memcpy(end, text, length + 1);
    return end + length;
}

}  // namespace

std::uint16_t WriteColumnDescription(TableRef* result, char* text) {
    if (text == nullptr) return 0;
    char* end = text;
    *end = '\0';
    std::uint16_t count = 0;
    for (std::int16_t i = 0;; ++i) {
        const ItemDescriptor* item = Column(result, i);
        if (item == nullptr) break;
        if (end != text) end = Append(end, "\r\n");
        end = Append(end, item->name.Get() != nullptr ? item->name.Get() : "");
        char fields[32];
        std::snprintf(fields, sizeof fields, "\t%c\t%u\t%u", TypeLetter(item->type),
                      static_cast<unsigned>(HostTypeNumber(item->type)),
                      static_cast<unsigned>(DisplaySizeOf(item->type, item->size)));
        end = Append(end, fields);
        ++count;
    }
    return count;
}

std::uint32_t ResultRowCount(TableRef* result) {
    return result != nullptr && result->rowCount > 0 ? static_cast<std::uint32_t>(result->rowCount) : 0;
}

std::int32_t FetchResultRow(TableRef* result, std::uint32_t row) {
    // The memory table's cursor: row `row` into `record`, 0 past the end
    // (the current row then stays).
    return result != nullptr ? result->ReadFrom(row) : 0;
}

void WriteResultLine(TableRef* result, const char* separator, char* out) {
    if (out == nullptr) return;
    if (separator == nullptr) separator = "\t";
    char* end = out;
    *end = '\0';
    for (std::int16_t i = 0;; ++i) {
        ItemDescriptor* item = Column(result, i);
        if (item == nullptr) break;
        if (i > 0) end = Append(end, separator);
        if (item->keyKind == ItemDescriptor::kCompositeKey) {
            end = Append(end, EnglishMessages() ? "<composite key>" : "<clé composée>");
            continue;
        }
        std::int16_t valueClass = ValueClassOf(item->type);
        if (valueClass == kClassUnknown) {
            end = Append(end, EnglishMessages() ? "<unknown type>" : "<type inconnu>");
            continue;
        }
        const void* value = ReadCell(item, nullptr);
        if (value == nullptr) continue;  // no buffer for the value: the column stays empty
        if (valueClass == kClassNumeric) {
            double number;
            std::memcpy(&number, value, sizeof number);
            end += WriteNumber(end, number, item->type == kFieldFloat ? 7 : 9);
        } else {
            end = Append(end, static_cast<const char*>(value));
        }
    }
}

std::int16_t ResultMemoHandle(TableRef* result, std::uint16_t column, std::uintptr_t* value) {
    std::uintptr_t handle = 0;
    std::int16_t answer = -1;
    ItemDescriptor* item = column >= 1 && column <= 0x7FFF ? Column(result, static_cast<std::int16_t>(column - 1))
                                                          : nullptr;
    if (item != nullptr && (item->type == kFieldTextMemo || item->type == kFieldBinaryMemo)) {
        std::uint32_t reference = 0;
        if (result->record != nullptr && static_cast<std::uint32_t>(item->offset) + 4 <= result->recordSize)
            std::memcpy(&reference, result->record + item->offset, sizeof reference);
        if (reference != 0 && result->dictionary != nullptr && Host().getMemo != nullptr) {
            std::uintptr_t out = 0;
            std::int16_t status =
                Host().getMemo(result->dictionary->hostContext, item->tableName, reference, kFieldBinaryMemo, &out);
            if (status == 0) handle = out;
            else NoteHostFailure(result->dictionary->hostContext, item->tableName, status);
        }
        answer = handle != 0 ? 0 : 100;
    }
    if (value != nullptr) *value = handle;
    return answer;
}

}  // namespace qx
