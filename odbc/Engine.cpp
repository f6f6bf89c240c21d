#include "odbc/Engine.h"

#include "obsqleng.h"

namespace qxodbc {
namespace {

int g_connections = 0;  // guarded by Engine::Lock()

}  // namespace

std::mutex& Engine::Lock() {
    static std::mutex lock;
    return lock;
}

bool Engine::Acquire(std::string& error) {
    if (g_connections == 0 && !OB4InitInstance(0, nullptr)) {
        error = "the SQL engine did not start";
        return false;
    }
    ++g_connections;
    return true;
}

void Engine::Release() {
    if (g_connections > 0 && --g_connections == 0) OBSQLFinInstance(0);
}

}  // namespace qxodbc
