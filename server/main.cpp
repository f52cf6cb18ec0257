// Entry point of MolvexECR.exe, the out-of-process automation server.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "link/link.h"
#include "server/MolvexECR_ATL.h"
#include "server/Unit1.h"
#include "server/call_filter.h"
#include "trace/protocol_trace.h"

namespace {

std::vector<std::wstring> Arguments() {
  std::vector<std::wstring> args;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return args;
  for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
  LocalFree(argv);
  return args;
}

// The link posts its result message this way when a transaction runs without a callback.
void PostResult(PrnWindow window, std::uint32_t message, std::uintptr_t wparam,
                std::intptr_t lparam) {
  PostMessageA(reinterpret_cast<HWND>(window), message, static_cast<WPARAM>(wparam),
               static_cast<LPARAM>(lparam));
}

int Run(HINSTANCE instance) {
  // The support trace of every entry served, when MOLVEXECR_TRACE names a file.
  molvex::TraceStartFromEnvironment();
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  LinkSetMessagePoster(PostResult);

  molvex::InitModule(Arguments());
  molvex::ServerModule& module = molvex::Module();
  if (!module.running) {
    CoUninitialize();
    return module.exitCode;
  }

  int exitCode = 0;
  molvex::TForm1 form;
  // The filter first: from its registration on, the class object can be asked for.
  molvex::InstallCallFilter();
  if (FAILED(molvex::RegisterClassObject())) {
    exitCode = 1;
  } else {
    form.Create(instance);  // without a window the message loop still serves the objects
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  molvex::ReleaseClassObject();
  molvex::RemoveCallFilter();
  CoUninitialize();
  return exitCode;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPWSTR /*cmdLine*/, int /*show*/) {
  try {
    return Run(instance);
  } catch (const std::exception& e) {
    // An exception that escapes start-up or the message loop is shown, then the process ends.
    MessageBoxA(nullptr, e.what(), "MolvexECR", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    return 1;
  }
}
