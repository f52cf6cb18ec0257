// Reading one value of an INI file, with the semantics of the Windows profile functions: a
// missing file, section or key gives the default (nullptr counts as empty), a key with an empty
// value gives empty text, section and key names compare without regard to case, the first
// occurrence of a key wins, a value enclosed in matching quotes loses them, and a value longer
// than the buffer is cut to `size` - 1 characters. The buffer always ends with a zero when
// `size` is at least 1. Returns the number of characters copied, the zero not counted.
#pragma once

#include <cstdint>

namespace molvex {

std::uint32_t ReadIniString(const char* section, const char* key, const char* default_value,
                            char* buffer, std::uint32_t size, const char* path);

}  // namespace molvex
