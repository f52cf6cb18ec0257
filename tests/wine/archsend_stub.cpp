// Stand-in for the uploader: started without arguments, it leaves a mark in its current
// directory (the one it inherited from whoever started it).
#include <cstdio>

int main() {
  std::FILE* mark = std::fopen("ArchSend.flag", "w");
  if (mark == nullptr) return 1;
  std::fputs("started\n", mark);
  return std::fclose(mark) == 0 ? 0 : 1;
}
