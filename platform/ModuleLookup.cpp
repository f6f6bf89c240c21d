#include "platform/ModuleLookup.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <string>
#include <string_view>

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

// A library loaded in the process whose file is called `name`, or `name`
// and a version (libobhost32.so.1.0.0): found among the loaded objects
// themselves, whatever the search path of the caller.
void* FindByFileName(const std::string& name) {
    struct Search {
        const std::string& name;
        std::string path;
    } search{name, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            const char* path = info->dlpi_name;
            if (path == nullptr || *path == '\0') return 0;
            const char* slash = std::strrchr(path, '/');
            std::string_view file(slash != nullptr ? slash + 1 : path);
            bool same = file == s->name || (file.size() > s->name.size() && file.substr(0, s->name.size()) == s->name &&
                                             file[s->name.size()] == '.');
            if (!same) return 0;
            s->path = path;
            return 1;
        },
        &search);
    return search.path.empty() ? nullptr : dlopen(search.path.c_str(), RTLD_NOLOAD | RTLD_NOW);
}

}  // namespace

void* FindLoadedModule(const char* name) {
    if (name == nullptr || *name == '\0') return nullptr;
    std::string given(name);
    void* handle = dlopen(given.c_str(), RTLD_NOLOAD | RTLD_NOW);
    if (handle != nullptr) return handle;
    if (given.find('/') != std::string::npos) return nullptr;
    if (EndsWith(given, ".so")) return FindByFileName(given);
    std::string spelled = LinuxSpelling(given);
    handle = dlopen(spelled.c_str(), RTLD_NOLOAD | RTLD_NOW);
    return handle != nullptr ? handle : FindByFileName(spelled);
}

void* FindExport(void* module, const char* symbol) {
    if (module == nullptr || symbol == nullptr) return nullptr;
    return dlsym(module, symbol);
}

}  // namespace qx::platform
