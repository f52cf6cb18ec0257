#include "server/Unit1.h"

#include "server/MolvexECR_ATL.h"

namespace molvex {
namespace {

constexpr int kLeft = 492;
constexpr int kTop = 403;
constexpr int kClientWidth = 167;
constexpr int kClientHeight = 53;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZE;

}  // namespace

bool ConfirmCloseWithLiveObjects() {
  const int answer = MessageBoxA(
      nullptr,
      "There are still active COM objects in this application.  One or more clients may have "
      "references to these objects, so manually closing "
      "this application may cause those client application(s) to fail.\r\n\r\n"
      "Are you sure you want to close this application?",
      "COM Server Warning", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2 | MB_TASKMODAL);
  return answer == IDYES;
}

bool TForm1::Create(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  RECT frame = {kLeft, kTop, kLeft + kClientWidth, kTop + kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  // Made in its restored place first: a window made minimised keeps no restored place of its
  // own. Then minimised, still hidden.
  handle_ = CreateWindowExW(0, kClassName, kCaption, kStyle & ~WS_MINIMIZE, kLeft, kTop,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                            instance, nullptr);
  if (handle_ == nullptr) return false;
  SetWindowLongPtrW(handle_, GWL_STYLE, static_cast<LONG_PTR>(kStyle));
  return true;
}

LRESULT CALLBACK TForm1::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE:
      if (Module().lockCount > 0 && !ConfirmCloseWithLiveObjects()) return 0;
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace molvex
