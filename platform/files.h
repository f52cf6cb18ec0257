// File tests.
#pragma once

namespace molvex {

// True when `path` names an existing file.
bool FileExists(const char* path);

}  // namespace molvex
