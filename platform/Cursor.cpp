#include "platform/Cursor.h"

namespace qx::platform {

CursorHandle LoadWaitCursor() { return nullptr; }

CursorHandle SetCurrentCursor(CursorHandle) { return nullptr; }

}  // namespace qx::platform
