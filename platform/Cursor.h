// Cursor: the wait cursor shown while a statement runs.  There is no
// pointer to change on this platform, so the pair does nothing; the calls
// stay at their places so the save/restore discipline is kept.
#pragma once

namespace qx::platform {

using CursorHandle = void*;

// The system's wait cursor, or null when none can be loaded (always null here).
CursorHandle LoadWaitCursor();
// Makes `cursor` current and returns the previous one.
CursorHandle SetCurrentCursor(CursorHandle cursor);

}  // namespace qx::platform
