// Where the driver's settings and archive files live. Windows: the fixed directory C:\ECR.
// Elsewhere: the directory named by the environment variable MOLVEXECR_DIR, or
// /var/lib/molvexecr when it is unset or empty; final separators are dropped.
#pragma once

#include <string>

namespace molvex {

// The settings directory, without a final separator.
std::string SettingsDirectory();

// The path separator of the platform ('\\' on Windows, '/' elsewhere).
char PathSeparator();

}  // namespace molvex
