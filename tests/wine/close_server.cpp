// Finds the running server by its main window. Without arguments it asks the server to close
// (WM_CLOSE, as closing the window by hand does); with "/query" it only tells whether one runs.
// Exit code 0 when a server window was found, 2 when none.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  const bool queryOnly = argc > 1 && std::wcscmp(argv[1], L"/query") == 0;
  HWND window = FindWindowW(L"TForm1", L"MolvexECR");
  if (window == nullptr) {
    std::printf("no server window\n");
    return 2;
  }
  if (!queryOnly) PostMessageW(window, WM_CLOSE, 0, 0);
  return 0;
}
