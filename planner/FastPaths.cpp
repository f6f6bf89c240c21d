#include "planner/FastPaths.h"

namespace qx {
namespace {

bool g_fastPaths = true;  // the hashed shortcuts are taken

}  // namespace

bool FastPathsEnabled() { return g_fastPaths; }
void SetFastPathsEnabled(bool enabled) { g_fastPaths = enabled; }

}  // namespace qx
