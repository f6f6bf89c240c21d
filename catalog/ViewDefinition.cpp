#include "catalog/ViewDefinition.h"

#include <cstring>

#include "base/Messages.h"
#include "catalog/HostLink.h"
#include "platform/Utf8.h"

namespace qx {
namespace {

// Longest SELECT and column list asked for: a view's SELECT was once part
// of a statement, which holds at most 16382 bytes.
constexpr std::uint32_t kTextCapacity = 16384;

}  // namespace

ViewLookup LookUpView(std::uint16_t hostContext, const char* name, ViewDefinition* out) {
    const HostCallbacks& host = Host();
    if (host.getInfo == nullptr) return ViewLookup::kUnsupported;
    if (name == nullptr || std::strlen(name) >= sizeof ViewExchange::viewName) return ViewLookup::kNotAView;
    std::string columns(kTextCapacity, '\0'), text(kTextCapacity, '\0');
    ViewExchange area;
    std::memset(&area, 0, sizeof area);
    platform::CopyUtf8Bounded(area.viewName, name, sizeof area.viewName);
    area.answer = OBHOST_VIEW_UNANSWERED;
    area.columnsCapacity = kTextCapacity;
    area.textCapacity = kTextCapacity;
    area.columns = reinterpret_cast<std::uintptr_t>(columns.data());
    area.text = reinterpret_cast<std::uintptr_t>(text.data());
    std::int32_t answered = host.getInfo(hostContext, OBHOST_INFO_VIEW, &area);
    if (answered != 0 || area.answer == OBHOST_VIEW_UNANSWERED) return ViewLookup::kUnsupported;
    if (area.answer != OBHOST_VIEW_FOUND) return ViewLookup::kNotAView;
    if (out == nullptr) return ViewLookup::kView;
    // A SELECT longer than any statement is read as none (and fails to
    // parse) rather than cut into another SELECT.
    columns.resize(area.columnsLength <= kTextCapacity ? area.columnsLength : 0);
    text.resize(area.textLength <= kTextCapacity ? area.textLength : 0);
    out->text = text;
    out->columns.clear();
    for (std::size_t start = 0; start < columns.size();) {
        std::size_t comma = columns.find(',', start);
        if (comma == std::string::npos) comma = columns.size();
        if (comma > start) out->columns.push_back(columns.substr(start, comma - start));
        start = comma + 1;
    }
    return ViewLookup::kView;
}

Error WrongObjectKind(const char* name, bool isView) {
    const char* view = EnglishMessages() ? "view" : "vue";
    const char* table = "table";
    return Error::Message(kMsgWrongObjectKind, name, isView ? view : table, isView ? table : view);
}

}  // namespace qx
