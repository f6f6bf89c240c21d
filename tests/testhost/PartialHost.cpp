// A host module that exports five of the six callbacks (OECRIREMEMO is missing).
#include "obhost.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int32_t OGETINFOSOBD(uint32_t, int32_t, void*) { return 0; }
EXPORT int32_t OLIREENREG(uint32_t, const char*, int32_t, void*) { return 0; }
EXPORT int32_t OECRIREENREG(uint32_t, const char*, int32_t, void*) { return 0; }
EXPORT int32_t OBECRITFICHIER(uint32_t, int32_t, void*) { return 0; }
EXPORT int16_t OGETMEMO(uint32_t, const char*, uint32_t, int32_t, uintptr_t*) { return 1; }
