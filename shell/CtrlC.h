// CtrlC: what Ctrl-C does in the shell.  Install sets a SIGINT handler for
// the whole run, without SA_RESTART so that a read waiting for input
// returns.  The handler asks the engine to stop the running statement
// (QXSQLInterrupt) and remembers the press; the session stops printing
// rows and the script runner stops its source or, at the prompt, drops the
// unfinished statement, or quits when the prompt was empty.
#pragma once

namespace qxsql::ctrlc {

void Install();
// True after a Ctrl-C, until Clear.
bool Pressed();
void Clear();

}  // namespace qxsql::ctrlc
