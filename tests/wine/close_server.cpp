// Asks the running server to close by sending WM_CLOSE to its main window, as closing the
// window by hand does. Exit code 0 when a window was found, 2 when none.
#include <windows.h>

#include <cstdio>

int wmain() {
  HWND window = FindWindowW(L"TForm1", L"MolvexECR");
  if (window == nullptr) {
    std::printf("no server window\n");
    return 2;
  }
  PostMessageW(window, WM_CLOSE, 0, 0);
  return 0;
}
