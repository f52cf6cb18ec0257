// ecrfisc: holds one automation object and calls its entries by name, from the arguments, a
// script file or standard input.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "object/TECRFiscImpl.h"
#include "tools/ecrfisc/session.h"
#include "trace/protocol_trace.h"

namespace {

int Main(int argc, char** argv) {
  CLI::App app{
      "ecrfisc: call the entries of the fiscal printer object by name.\n"
      "One call a line: Name arg ... (texts quoted when they hold blanks, \"\" for empty),\n"
      "a property read by its name alone, written with Name = value.\n"
      "Exit status: 0, or 2 when a line could not be run; with --probe 0 only when the printer "
      "answers."};
  molvex::ecrfisc::SessionOptions options;
  std::vector<std::string> calls;
  std::string script;
  bool list = false;
  bool probe = false;
  int port = 0;
  int speed = 115200;
  std::string trace;
  app.add_option("calls", calls, "calls to run, one per argument (else the script or stdin)");
  app.add_option("--script", script, "read calls from this file (\"-\": standard input)");
  app.add_flag("--json", options.json, "one JSON object a line");
  app.add_flag("--state", options.state, "print StatusBytes, GetError and the status bytes too");
  app.add_flag("--list", list, "print the interface table and exit");
  auto* portOption = app.add_option("--port", port, "open this COM port first (SetComPort)")
                         ->check(CLI::PositiveNumber);
  app.add_option("--speed", speed, "line speed for --port")->capture_default_str();
  app.add_flag("--probe", probe, "open the port, check the printer, print identity and status")
      ->needs(portOption);
  app.add_option("--trace", trace,
                 "append a protocol trace (calls, bytes on the line, replies) to this file");
  CLI11_PARSE(app, argc, argv);
  if (!trace.empty()) molvex::TraceStart(trace, 0, molvex::TraceOrigin::Explicit);

  if (list) {
    molvex::ecrfisc::PrintTable(std::cout, options.json);
    return 0;
  }

  molvex::TTECRFiscImpl object;
  if (probe) return molvex::ecrfisc::RunProbe(object, std::cout, options, port, speed);

  // A prompt only when a person types the calls.
  options.prompt = calls.empty() && (script.empty() || script == "-") && isatty(STDIN_FILENO) == 1;
  molvex::ecrfisc::Session session(object, std::cout, options);
  if (port != 0) {
    session.RunLine("SetComPort " + std::to_string(port) + " " + std::to_string(speed));
  }
  if (!calls.empty()) {
    for (const std::string& call : calls) session.RunLine(call);
  } else if (!script.empty() && script != "-") {
    std::ifstream in(script, std::ios::binary);
    if (!in) {
      std::cerr << "ecrfisc: cannot read " << script << "\n";
      return 2;
    }
    session.RunStream(in);
  } else {
    session.RunStream(std::cin);
  }
  return session.usage_errors() == 0 ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Main(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "ecrfisc: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "ecrfisc: unexpected failure\n";
  }
  return 2;
}
