// ProfileOverride: the engine's settings for one run (--lang,
// --memory-limit).  The engine reads them once, at OB4InitInstance, from
// the profile file named by OMBREL_INI (else ~/.ombrel.ini), section
// [OMBREL]: LANGUAGE (USA: English, anything else: French) and
// SQL_MEMORY_LIMIT.  Apply writes a temporary profile that starts with the
// given keys and goes on with the user's profile (the first value of a key
// wins, so the user's other settings still count), and points OMBREL_INI
// at it; Restore, called once the engine has started, removes the file and
// puts OMBREL_INI back as it was.
#pragma once

#include <optional>
#include <string>

namespace qxsql {

class ProfileOverride {
public:
    ProfileOverride() = default;
    ProfileOverride(const ProfileOverride&) = delete;
    ProfileOverride& operator=(const ProfileOverride&) = delete;
    ~ProfileOverride() { Restore(); }

    // `language`: "en", "fr" or empty (unchanged); `memoryLimit`: a size
    // or empty (unchanged).  False with `error` set when the file cannot be written.
    // The language of the engine's messages when --lang is not given: the
    // profile's (""), else "fr" when LC_ALL, LC_MESSAGES or LANG starts with
    // "fr", else "en".
    static std::string DefaultLanguage();
    // The LANGUAGE value of the profile's [OMBREL] section; empty when none.
    static std::string ProfileLanguage();
    bool Apply(const std::string& language, const std::string& memoryLimit, std::string& error);
    void Restore();

private:
    std::string path_;                     // the temporary profile; empty when none
    std::optional<std::string> previous_;  // OMBREL_INI before Apply (unset: nullopt)
    bool applied_ = false;
};

}  // namespace qxsql
