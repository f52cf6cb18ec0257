// ecrfisc: holds one automation object and calls its entries by name, from the arguments, a
// script file or standard input; or looks for the printer on the machine's serial ports.
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "object/TECRFiscImpl.h"
#include "object/line_speeds.h"
#include "object/local_object.h"
#include "platform/text_codec.h"
#include "platform/utf8_names.h"
#include "tools/ecrfisc/find.h"
#include "tools/ecrfisc/port_error.h"
#include "tools/ecrfisc/session.h"
#include "tools/ecrfisc/z_pending.h"
#include "trace/protocol_trace.h"

namespace {

bool InputIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdin)) != 0;
#else
  return isatty(STDIN_FILENO) == 1;
#endif
}

int Main(int argc, char** argv) {
  CLI::App app{
      "ecrfisc: call the entries of the fiscal printer object by name.\n"
      "One call a line: Name arg ... (texts quoted when they hold blanks, \"\" for empty),\n"
      "a property read by its name alone, written with Name = value.\n"
      "A line may end with => and what it should give, in the words of its result line:\n"
      "  SellArtCash true 1 2 0 0 => Result = true\n"
      "Exit status: 0; 1 when a call did not give what its line says; 2 when a line could not "
      "be run; 3 when a port did not open (--port or a SetComPort line that gave -1; after a "
      "--port that did not open nothing more is run); with --probe 0 only when the printer "
      "answers."};

  app.footer(
#ifdef _WIN32
      "Port n is COMn. The settings file ZRepRec.ini is read from C:\\ECR.\n"
#else
      "Port n is /dev/ttyS<n-1>; MOLVEXECR_COM<n>=DEVICE names another device for port n.\n"
      "The settings file ZRepRec.ini is read from $MOLVEXECR_DIR (default /var/lib/molvexecr).\n"
#endif
      "When SetComPort gives -1, a second line (JSON: the \"error\" member) says which device was\n"
      "tried, why the system refused it and how to name another one.\n"
      "--find exits with 0 only when a printer was found.\n"
      "Z data that a Z report could not archive waits in the spool beside the settings file\n"
      "(*.zsp) until SetComPort or ZReport can write it; --z-pending and --z-write-pending exit\n"
      "with 0 only when nothing waits.");
  molvex::ecrfisc::SessionOptions options;
  std::vector<std::string> calls;
  std::string script;
  bool list = false;
  bool probe = false;
  bool find = false;
  bool z_pending = false;
  bool z_write_pending = false;
  int port = 0;
  int speed = 115200;
  std::string trace;
  app.add_option("calls", calls, "calls to run, one per argument (else the script or stdin)");
  app.add_option("--script", script, "read calls from this file (\"-\": standard input)");
  app.add_flag("--json", options.json, "one JSON object a line");
  app.add_flag("--state", options.state, "print StatusBytes, GetError and the status bytes too");
  app.add_flag("--echo", options.echo, "print every line read (comments too) before its result");
  app.add_flag("--list", list, "print the interface table and exit");
  auto* portOption = app.add_option("--port", port, "open this COM port first (SetComPort)")
                         ->check(CLI::PositiveNumber);
  auto* speedOption =
      app.add_option("--speed", speed, "line speed for --port, or the one speed for --find")
          ->capture_default_str();
  app.add_flag("--probe", probe, "open the port, check the printer, print identity and status")
      ->needs(portOption);
  app.add_flag("--find", find,
               "look for the printer on every serial port of this machine (one status read a "
               "port and speed, at most a second each) and exit")
      ->excludes(portOption);
  app.add_flag("--z-pending", z_pending,
               "list the Z data that waits for its archive (the spool) and exit");
  app.add_flag("--z-write-pending", z_write_pending,
               "write the archives of the Z data that waits, as SetComPort would, and exit");
  app.add_option("--trace", trace,
                 "append a protocol trace (calls, bytes on the line, replies) to this file");
  CLI11_PARSE(app, argc, argv);
  // MOLVEXECR_TRACE, then --trace, which wins over it.
  molvex::TraceStartFromEnvironment();
  if (!trace.empty()) {
#ifdef _WIN32
    // The trace opens its file by an 8-bit name, as the settings file and the environment give
    // it there: the ANSI code page's.
    const auto wide = molvex::Utf8ToWide(trace);
    trace = molvex::WideToSystemAnsi(wide.data(), wide.size());
#endif
    molvex::TraceStart(trace, 0, molvex::TraceOrigin::Explicit);
  }

  if (list) {
    molvex::ecrfisc::PrintTable(std::cout, options.json);
    return 0;
  }

  if (z_pending) return molvex::ecrfisc::ListPendingZData(std::cout) == 0 ? 0 : 1;
  if (z_write_pending) return molvex::ecrfisc::WritePendingZData(std::cout) == 0 ? 0 : 1;

  if (find) {
    molvex::ecrfisc::FindOptions search;
    search.json = options.json;
    if (speedOption->count() > 0) {
      if (!molvex::SpeedAccepted(speed)) {
        std::cerr << "ecrfisc: --speed takes "
                  << molvex::ecrfisc::SpeedList(molvex::ecrfisc::AcceptedSpeeds(), " or ") << "\n";
        return 2;
      }
      search.speeds = {speed};
    } else {
      // Every speed SetComPort accepts, the fastest first.
      const auto& all = molvex::ecrfisc::AcceptedSpeeds();
      search.speeds.assign(all.rbegin(), all.rend());
    }
    if (const char* dir = std::getenv("MOLVEXECR_DEVICE_DIR"); dir != nullptr && dir[0] != '\0') {
      search.device_dir = dir;
    }
    const auto results = molvex::ecrfisc::RunFind(std::cout, search);
    for (const auto& r : results) {
      if (r.outcome == molvex::ecrfisc::FindResult::Outcome::Printer) return 0;
    }
    return 1;
  }

  molvex::LocalObject object;
  if (probe) return molvex::ecrfisc::RunProbe(object, std::cout, options, port, speed);

  // A prompt only when a person types the calls.
  options.prompt = calls.empty() && (script.empty() || script == "-") && InputIsTerminal();
  molvex::ecrfisc::Session session(object, std::cout, options);
  if (port != 0) {
    const molvex::ecrfisc::CallResult opened =
        session.RunLine("SetComPort " + std::to_string(port) + " " + std::to_string(speed));
    // Without the port every printer call would only be refused: nothing more is run.
    if (session.ports_not_opened() != 0 || !opened.ran || opened.hresult != 0) {
      return molvex::ecrfisc::ExitStatus(session);
    }
  }
  if (!calls.empty()) {
    for (const std::string& call : calls) session.RunLine(call);
  } else if (!script.empty() && script != "-") {
    std::ifstream in(molvex::Utf8Path(script), std::ios::binary);
    if (!in) {
      std::cerr << "ecrfisc: cannot read " << script << "\n";
      return 2;
    }
    session.RunStream(in);
  } else {
    session.RunStream(std::cin);
  }
  return molvex::ecrfisc::ExitStatus(session);
}

int Guarded(int argc, char** argv) {
  try {
    return Main(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "ecrfisc: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "ecrfisc: unexpected failure\n";
  }
  return 2;
}

}  // namespace

#ifdef _WIN32
// Windows: the arguments arrive as UTF-16 and become UTF-8, the client's text everywhere; the
// console shows UTF-8. The object lives in this process: no server is needed.
int wmain(int argc, wchar_t** wargv) {
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCP(CP_UTF8);
  molvex::Utf8Argv args(argc, wargv);
  // Error information of the object's exceptions travels through the COM run time.
  const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  const int rc = Guarded(argc, args.argv());
  std::cout.flush();
  if (com) CoUninitialize();
  return rc;
}
#else
int main(int argc, char** argv) {
  return Guarded(argc, argv);
}
#endif
