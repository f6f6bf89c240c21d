// Profile: the user's settings file, standing in for the Windows profile.
//
// The file is an INI file: the path in the environment variable OMBREL_INI,
// else $HOME/.ombrel.ini.  Sections are "[NAME]", entries "KEY=VALUE";
// section and key names match without regard to ASCII case; blanks around
// names and values are dropped; lines starting with ";" or "#" are comments.
#pragma once

#include <cstddef>

namespace qx::platform {

// Copies the value of `key` in `section` into `out` (at most capacity - 1
// bytes, never cut inside a UTF-8 sequence), or `fallback` when the file,
// the section or the key is missing.  Returns the number of bytes written.
std::size_t GetProfileString(const char* section, const char* key, const char* fallback, char* out,
                             std::size_t capacity);

}  // namespace qx::platform
