#include "platform/MessageSink.h"

#include <cstdio>

namespace qx::platform {
namespace {

MessageSinkFn g_sink = nullptr;
void* g_context = nullptr;

}  // namespace

void ShowMessageBox(const char* title, const char* text) {
    if (title == nullptr) title = "";
    if (text == nullptr) text = "";
    if (g_sink != nullptr) {
        g_sink(title, text, g_context);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", title, text);
}

void SetMessageSink(MessageSinkFn sink, void* context) {
    g_sink = sink;
    g_context = context;
}

}  // namespace qx::platform
