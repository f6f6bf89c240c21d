// CtrlC: the SIGINT handler.
#include "shell/CtrlC.h"

#include <csignal>

#include "obsqleng.h"

namespace qxsql::ctrlc {
namespace {

volatile std::sig_atomic_t g_pressed = 0;

extern "C" void OnInterrupt(int) {
    g_pressed = 1;
    QXSQLInterrupt();  // one lock-free store
}

}  // namespace

void Install() {
    struct sigaction action = {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
}

bool Pressed() { return g_pressed != 0; }
void Clear() { g_pressed = 0; }

}  // namespace qxsql::ctrlc
