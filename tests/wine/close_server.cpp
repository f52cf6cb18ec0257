// Finds the running server by its main window and acts as a user would:
//   close_server               close the window (WM_CLOSE)
//   close_server /query        only tell whether a server runs
//   close_server /inspect      print what the main window is made of, one line
//   close_server /answer yes|no
//                              close the window while objects live, expect the warning box,
//                              check its text and answer it
// Exit code 0 when done, 2 when no server window, 3 when no (or a wrong) warning box.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

HWND FindWarningBox() {
  for (int i = 0; i < 100; ++i) {
    HWND box = FindWindowW(L"#32770", L"COM Server Warning");
    if (box != nullptr) return box;
    Sleep(50);
  }
  return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  HWND window = FindWindowW(L"TForm1", L"MolvexECR");
  if (window == nullptr) {
    std::printf("no server window\n");
    return 2;
  }
  if (argc > 1 && std::wcscmp(argv[1], L"/query") == 0) return 0;
  if (argc > 1 && std::wcscmp(argv[1], L"/inspect") == 0) {
    // The restored frame, turned back into the client area it was made for.
    WINDOWPLACEMENT place{};
    place.length = sizeof place;
    GetWindowPlacement(window, &place);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    RECT border{0, 0, 0, 0};
    AdjustWindowRectEx(&border, style & ~WS_MINIMIZE, FALSE, 0);
    const RECT& frame = place.rcNormalPosition;
    std::printf(
        "minimised=%d visible=%d controls=%d sysmenu=%d sizing=%d minbox=%d maxbox=%d "
        "client=%ldx%ld at=%ld,%ld\n",
        IsIconic(window) ? 1 : 0, IsWindowVisible(window) ? 1 : 0,
        FindWindowExW(window, nullptr, nullptr, nullptr) != nullptr ? 1 : 0,
        (style & WS_SYSMENU) != 0 ? 1 : 0, (style & WS_THICKFRAME) != 0 ? 1 : 0,
        (style & WS_MINIMIZEBOX) != 0 ? 1 : 0, (style & WS_MAXIMIZEBOX) != 0 ? 1 : 0,
        (frame.right - frame.left) - (border.right - border.left),
        (frame.bottom - frame.top) - (border.bottom - border.top), frame.left, frame.top);
    return 0;
  }
  PostMessageW(window, WM_CLOSE, 0, 0);
  if (argc < 3 || std::wcscmp(argv[1], L"/answer") != 0) return 0;

  HWND box = FindWarningBox();
  if (box == nullptr) {
    std::printf("no warning box\n");
    return 3;
  }
  char text[512] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message text of a message box
  std::printf("%s\n", text);
  const bool expected =
      std::strstr(text, "There are still active COM objects in this application.") != nullptr;
  const bool yes = std::wcscmp(argv[2], L"yes") == 0;
  PostMessageW(box, WM_COMMAND, yes ? IDYES : IDNO, 0);
  return expected ? 0 : 3;
}
