#include "platform/settings_dir.h"

namespace molvex {

std::string SettingsDirectory() {
  return "C:\\ECR";
}

char PathSeparator() {
  return '\\';
}

}  // namespace molvex
