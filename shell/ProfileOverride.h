// ProfileOverride: chooses the engine's message language for one run
// (--lang).  The engine reads the language once, at OB4InitInstance, from
// the profile file named by OMBREL_INI (else ~/.ombrel.ini), section
// [OMBREL], key LANGUAGE (USA: English, anything else: French).  Apply
// writes a temporary profile with that one key and points OMBREL_INI at
// it; Restore, called once the engine has started, removes the file and
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

    // `language`: "en" or "fr".  False with `error` set when the file cannot be written.
    bool Apply(const std::string& language, std::string& error);
    void Restore();

private:
    std::string path_;                     // the temporary profile; empty when none
    std::optional<std::string> previous_;  // OMBREL_INI before Apply (unset: nullopt)
    bool applied_ = false;
};

}  // namespace qxsql
