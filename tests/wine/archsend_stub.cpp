// Stand-in for the uploader: started without arguments, it leaves a mark in its current
// directory (the one it inherited from whoever started it), and a line naming that directory
// in ArchSend.log beside itself (where a caller that does not know that directory finds it).
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
  std::FILE* mark = std::fopen("ArchSend.flag", "w");
  if (mark == nullptr) return 1;
  std::fputs("started\n", mark);
  if (std::fclose(mark) != 0) return 1;

  char self[MAX_PATH] = {};
  char current[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || GetCurrentDirectoryA(MAX_PATH, current) == 0) return 1;
  std::string log = self;
  log.erase(log.find_last_of('\\') + 1);
  log += "ArchSend.log";
  std::FILE* beside = std::fopen(log.c_str(), "a");
  if (beside == nullptr) return 1;
  std::fprintf(beside, "started in %s\n", current);
  return std::fclose(beside) == 0 ? 0 : 1;
}
