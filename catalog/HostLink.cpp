#include "catalog/HostLink.h"

#include <array>
#include <cstring>

#include "base/MemoryBlock.h"
#include "base/MemoryBudget.h"
#include "base/Messages.h"
#include "platform/BlockHeap.h"
#include "platform/ModuleLookup.h"
#include "platform/Profile.h"

namespace qx {
namespace {

const char* const kDefaultModuleNames[] = {
    "OBHOST32.DLL",  // 0: host runtime, exports the callbacks
    "OBQXENG.DLL",   // 1: file engine
    "OBDBASE.DLL",   // 2: database
    "OBSQLENG.DLL",  // 3: this engine
    "OBCOMPIL.DLL",  // 4: compiler
    "OBIMAGE.DLL",   // 5: image
    "OBFILES.DLL",   // 6: files
    "OBHOST32.DLL",  // 7: host runtime again
    "OBOLEAUT.DLL",  // 8: OLE
};
constexpr int kDefaultCount = sizeof kDefaultModuleNames / sizeof kDefaultModuleNames[0];

constexpr int kFileSlots = 32;

const ModuleNameTable* g_moduleTable = nullptr;
HostCallbacks g_host;
HostRecordBlock g_recordBlock;
void* g_messageModule = nullptr;  // the engine itself: source of message texts
void* g_fileSlots = nullptr;      // reserved by the first instance
int g_instances = 0;

// The strict-values mode of each host context (a 16-bit number).
enum class StrictMode : std::uint8_t { kProfile, kLenient, kStrict };
std::array<StrictMode, 65536> g_strictModes{};
bool g_strictDefault = false;  // the profile's SQL_STRICT, read at start-up

// A statement's working memory is bounded by 1 GiB, or a quarter of the
// machine's memory when that is less: far above what ordinary statements
// need (a million result rows of 200 bytes take 200 MB), low enough that a
// runaway join ends with an error long before the machine is exhausted,
// and small machines keep three quarters for the host and the system.
std::uint64_t DefaultStatementMemoryLimit() {
    constexpr std::uint64_t kGiB = 1ULL << 30;
    std::uint64_t quarter = platform::PhysicalMemoryBytes() / 4;
    return quarter != 0 && quarter < kGiB ? quarter : kGiB;
}

// "1073741824", "512K", "64M", "2G" (any letter case, a final B allowed);
// "0" is no bound.  False for anything else.
bool ParseByteSize(const char* text, std::uint64_t& bytes) {
    const char* c = text;
    if (*c < '0' || *c > '9') return false;
    std::uint64_t value = 0;
    for (; *c >= '0' && *c <= '9'; ++c) {
        if (value > (UINT64_MAX - 9) / 10) return false;
        value = value * 10 + static_cast<std::uint64_t>(*c - '0');
    }
    int shift = 0;
    switch (*c) {
        case 'k': case 'K': shift = 10; ++c; break;
        case 'm': case 'M': shift = 20; ++c; break;
        case 'g': case 'G': shift = 30; ++c; break;
        default: break;
    }
    if (shift != 0 && (*c == 'b' || *c == 'B')) ++c;
    if (*c != '\0' || value > (UINT64_MAX >> shift)) return false;
    bytes = value << shift;
    return true;
}

}  // namespace

const char* ModuleName(int index) {
    if (g_moduleTable != nullptr && g_moduleTable->entries != nullptr && index >= 0 &&
        index <= g_moduleTable->lastIndex)
        return g_moduleTable->entries[index];
    if (index >= 0 && index < kDefaultCount) return kDefaultModuleNames[index];
    return "";
}

const HostCallbacks& Host() { return g_host; }

bool HostReady() {
    return g_host.getInfo && g_host.readRecord && g_host.writeRecord && g_host.describeFile &&
           g_host.getMemo && g_host.writeMemo;
}

HostRecordBlock* RecordBlock() { return &g_recordBlock; }

namespace {
std::string g_hostFailure;  // noted by NoteHostFailure, until taken
std::string g_hostMessage;  // the host's text in it, until taken
}  // namespace

void NoteHostFailure(std::uint32_t hostContext, const char* file, int status) {
    char text[512] = "";
    if (g_host.message != nullptr && g_host.message(hostContext, text, sizeof text) > 0) {
        text[sizeof text - 1] = '\0';
        g_hostMessage = text;
        g_hostFailure = MessageText(kMsgFileEngine, text);
    } else {
        g_hostFailure = MessageText(kMsgReadWriteError, file != nullptr ? file : "", status);
    }
}

void ForgetHostFailure() {
    g_hostFailure.clear();
    g_hostMessage.clear();
}

bool TakeHostFailure(std::string& text) {
    if (g_hostFailure.empty()) return false;
    text = std::move(g_hostFailure);
    g_hostFailure.clear();
    return true;
}

std::string TakeHostMessage() {
    std::string text = std::move(g_hostMessage);
    g_hostMessage.clear();
    return text;
}

std::string HostFailureText(const char* file, int status) {
    std::string text;
    return TakeHostFailure(text) ? text : std::string(MessageText(kMsgReadWriteError, file, status));
}

std::int16_t InitInstance(const void* moduleTable) {
    g_moduleTable = static_cast<const ModuleNameTable*>(moduleTable);

    void* host = platform::FindLoadedModule(ModuleName(0));
    if (host == nullptr) return 0;
    struct {
        const char* name;
        void** slot;
    } const wanted[] = {
        {"OGETINFOSOBD", reinterpret_cast<void**>(&g_host.getInfo)},
        {"OLIREENREG", reinterpret_cast<void**>(&g_host.readRecord)},
        {"OECRIREENREG", reinterpret_cast<void**>(&g_host.writeRecord)},
        {"OBECRITFICHIER", reinterpret_cast<void**>(&g_host.describeFile)},
        {"OGETMEMO", reinterpret_cast<void**>(&g_host.getMemo)},
        {"OECRIREMEMO", reinterpret_cast<void**>(&g_host.writeMemo)},
    };
    for (const auto& callback : wanted) {
        void* address = platform::FindExport(host, callback.name);
        if (address == nullptr) return 0;
        *callback.slot = address;
    }
    // A host without boundaries keeps each change as it is made.
    *reinterpret_cast<void**>(&g_host.transaction) = platform::FindExport(host, "OTRANSACTION");
    *reinterpret_cast<void**>(&g_host.message) = platform::FindExport(host, "OMESSAGEERREUR");

    // Message texts are compiled in; the lookup keeps the module's own name in use.
    g_messageModule = platform::FindLoadedModule(ModuleName(3));
    InitMessageService();

    char language[128];
    platform::GetProfileString("OMBREL", "LANGUAGE", "FRENCH", language, sizeof language);
    for (char* c = language; *c != '\0'; ++c)
        if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 32);
    SetEnglishMessages(std::strcmp(language, "USA") == 0 ? 1 : 0);

    char limitText[64];
    std::uint64_t limit = DefaultStatementMemoryLimit();  // kept for a missing or unreadable value
    platform::GetProfileString("OMBREL", "SQL_MEMORY_LIMIT", "", limitText, sizeof limitText);
    ParseByteSize(limitText, limit);
    SetStatementMemoryLimit(limit);

    char strictText[16];
    platform::GetProfileString("OMBREL", "SQL_STRICT", "0", strictText, sizeof strictText);
    g_strictDefault = strictText[0] == '1' || strictText[0] == 'Y' || strictText[0] == 'y';

    if (g_instances == 0) {
        g_fileSlots = AllocBlock(kFileSlots * sizeof(void*));
        if (g_fileSlots == nullptr) return 0;
    }
    ++g_instances;
    return 1;
}

void EndInstance() {
    if (g_instances > 0) --g_instances;
    if (g_instances == 0 && g_fileSlots != nullptr) {
        FreeBlock(g_fileSlots);
        g_fileSlots = nullptr;
    }
}

int InstanceCount() { return g_instances; }

bool StrictValues(std::uint16_t hostContext) {
    StrictMode mode = g_strictModes[hostContext];
    return mode == StrictMode::kProfile ? g_strictDefault : mode == StrictMode::kStrict;
}

int SetStrictValues(std::uint16_t hostContext, int mode) {
    if (mode < -1 || mode > 1) return -1;
    int previous = StrictValues(hostContext) ? 1 : 0;
    g_strictModes[hostContext] = mode == -1 ? StrictMode::kProfile : mode == 1 ? StrictMode::kStrict : StrictMode::kLenient;
    return previous;
}

}  // namespace qx
