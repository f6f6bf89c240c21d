#include "platform/ModuleLookup.h"

#include <dlfcn.h>

#include <cstring>
#include <string>

namespace qx::platform {
namespace {

bool EndsWith(const std::string& s, const char* suffix) {
    std::size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

std::string LinuxSpelling(const std::string& name) {
    std::string stem = name;
    std::size_t dot = stem.rfind('.');
    if (dot != std::string::npos) stem.erase(dot);
    for (char& c : stem)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return "lib" + stem + ".so";
}

}  // namespace

void* FindLoadedModule(const char* name) {
    if (name == nullptr || *name == '\0') return nullptr;
    std::string given(name);
    void* handle = dlopen(given.c_str(), RTLD_NOLOAD | RTLD_NOW);
    if (handle != nullptr) return handle;
    if (given.find('/') != std::string::npos || EndsWith(given, ".so")) return nullptr;
    // An installed library is known by its versioned name too (libobhost32.so.1).
    std::string spelled = LinuxSpelling(given);
    handle = dlopen(spelled.c_str(), RTLD_NOLOAD | RTLD_NOW);
    return handle != nullptr ? handle : dlopen((spelled + ".1").c_str(), RTLD_NOLOAD | RTLD_NOW);
}

void* FindExport(void* module, const char* symbol) {
    if (module == nullptr || symbol == nullptr) return nullptr;
    return dlsym(module, symbol);
}

}  // namespace qx::platform
