// Private to server/.
// The main form TForm1: a hidden, minimised window that keeps the message loop alive while
// clients hold objects. It has no controls.
#pragma once

#include <windows.h>

namespace molvex {

class TForm1 {
 public:
  // Creates the window (not shown). Returns false when the window cannot be created.
  bool Create(HINSTANCE instance);
  HWND Handle() const { return handle_; }

  static constexpr wchar_t kClassName[] = L"TForm1";
  static constexpr wchar_t kCaption[] = L"MolvexECR";

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  HWND handle_ = nullptr;
};

// Asked to close while objects live: the task-modal warning; true when the user says Yes.
bool ConfirmCloseWithLiveObjects();

}  // namespace molvex
