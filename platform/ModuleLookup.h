// ModuleLookup: finding an already loaded module by its Windows-style name
// and resolving its exports, standing in for GetModuleHandleA/GetProcAddress.
//
// "OBHOST32.DLL" is tried as given, then as "libobhost32.so" (stem lower-cased,
// "lib" before it, ".so" after it).  A name that contains "/" or ends in ".so"
// is tried as given only.  Only modules already in the process are found.
#pragma once

namespace qx::platform {

// Handle of the loaded module, or null when it is not loaded.
void* FindLoadedModule(const char* name);
// Address of the export `symbol` of `module`, or null.
void* FindExport(void* module, const char* symbol);

}  // namespace qx::platform
