// ecr-sim: the virtual fiscal printer on a pseudo-terminal or a serial device (POSIX), or on a
// COM port (Windows).
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/utf8_names.h"
#include "sim/host/host.h"

namespace {
int Run(int argc, char** argv) {
  molvex::sim::HostOptions options;
  std::string clock = "system";
  CLI::App app{"The virtual fiscal printer: serves the printer protocol on a port."};
  auto* link = app.add_option("--link", options.link,
                              "create a pseudo-terminal and make PATH a symlink to it");
  auto* device = app.add_option("--device", options.device,
                                "serve on an existing serial device (Windows: COM1, COM2, ...)");
  link->excludes(device);
  app.add_option("--baud", options.baud, "model the wire at N baud, 8N1, both ways")
      ->check(CLI::Range(0, 4000000));
  app.add_option("--busy-scale", options.busy_scale, "multiply every busy time (0: answer at once)")
      ->check(CLI::Range(0.0, 100.0));
  app.add_option("--state", options.state, "keep the fiscal memory in FILE across restarts");
  app.add_option("--paper", options.paper, "append every printed document to FILE (UTF-8)");
  app.add_flag("--show", options.show, "print every document on standard output too");
  app.add_option("--control", options.control, "follow FILE for control commands");
  app.add_option("--clock", clock, "system, or fixed:YYYY-MM-DDTHH:MM");
  app.add_option("--article", options.articles,
                 "program an article at start, NUMBER,TAX,GROUP,PRICE,NAME (repeatable)");
  CLI11_PARSE(app, argc, argv);
  if (options.link.empty() && options.device.empty()) {
    std::fprintf(stderr, "ecr-sim: give --link PATH or --device PATH\n");
    return 2;
  }
  if (!molvex::sim::ParseClockOption(clock, options.fixed_clock)) {
    std::fprintf(stderr, "ecr-sim: --clock takes system or fixed:YYYY-MM-DDTHH:MM\n");
    return 2;
  }
  return molvex::sim::RunHost(options);
}

int Guarded(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ecr-sim: %s\n", e.what());
    return 1;
  }
}
}  // namespace

#ifdef _WIN32
// Windows: the arguments arrive as UTF-16 and become UTF-8, the text of the printer model (article
// names, file names), whatever the ANSI code page; the console shows UTF-8.
int wmain(int argc, wchar_t** wargv) {
  SetConsoleOutputCP(CP_UTF8);
  molvex::Utf8Argv args(argc, wargv);
  return Guarded(argc, args.argv());
}
#else
int main(int argc, char** argv) {
  return Guarded(argc, argv);
}
#endif
