// Error and Status: how a stage of the engine says that a statement failed.
//
// An Error is the message as the user will read it - its text, formatted
// in the language in force when it was made (at most kTextCapacity - 1
// bytes, never cut inside a UTF-8 sequence), and its SQLSTATE.  It holds
// both in place: making or copying one never allocates, so running out of
// memory can always be reported.  Each stage
// returns a Status (success, or the Error that stopped it); the exported
// call that drives the stages records the first failure on the request,
// once, and stops there.
#pragma once

#include <cstddef>

namespace qx {

class Error {
public:
    // SQLSTATE of a message that names none.
    static constexpr const char* kDefaultState = "00123";
    static constexpr std::size_t kTextCapacity = 255;

    // Message `number` of the message table with its arguments (the
    // printf conversions of its text).
    static Error Message(int number, ...);
    // A text made elsewhere (a host's message, a text built in pieces);
    // `sqlState` null or empty gives kDefaultState.
    static Error Text(const char* text, const char* sqlState = nullptr);
    // A text already made from message `number` (its number kept for the caller).
    static Error Numbered(int number, const char* text, const char* sqlState);

    const char* text() const { return text_; }
    bool empty() const { return text_[0] == '\0'; }
    // The SQLSTATE given, else kDefaultState ("00000" for an empty text).
    const char* sqlState() const { return sqlState_[0] != '\0' ? sqlState_ : empty() ? "00000" : kDefaultState; }
    // The message table's number of an error made by Message, else 0.
    int number() const { return number_; }

private:
    Error() = default;
    char text_[kTextCapacity] = {};
    char sqlState_[6] = {};  // empty: none given
    int number_ = 0;         // Message's number; 0 for a text made elsewhere
};

class [[nodiscard]] Status {
public:
    Status() = default;  // success
    Status(const Error& error) : failed_(true), error_(error) {}  // NOLINT: an Error is a failed Status

    bool ok() const { return !failed_; }
    // The failure; only meaningful when !ok().
    const Error& error() const { return error_; }

private:
    bool failed_ = false;
    Error error_ = Error::Text("");
};

}  // namespace qx
