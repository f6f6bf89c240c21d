// MessageSink: where message boxes go.  By default one line on standard
// error, "TITLE: text"; tests install their own sink to capture what the
// engine would have shown.
#pragma once

namespace qx::platform {

using MessageSinkFn = void (*)(const char* title, const char* text, void* context);

// Shows `text` under `title` and returns when it has been shown.
void ShowMessageBox(const char* title, const char* text);
// Replaces the sink; null restores the standard-error sink.
void SetMessageSink(MessageSinkFn sink, void* context);

}  // namespace qx::platform
