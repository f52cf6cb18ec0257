// Private to tools/ecrfisc/.
// The ecrfisc session: call lines in, one result line per call out (text or JSON), against one
// TTECRFiscImpl. main() only parses options; everything else is here, testable in-process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "object/TECRFiscImpl.h"
#include "tools/ecrfisc/call_parser.h"
#include "tools/ecrfisc/port_error.h"

namespace molvex::ecrfisc {

struct SessionOptions {
  bool json = false;    // one JSON object a line instead of text
  bool state = false;   // add StatusBytes, GetError and the six status bytes after each call
  bool prompt = false;  // print a prompt before reading each line (a terminal)
  bool echo = false;    // text: print every line read (comments too) before its result
};

// Longest line read whole; a longer one is refused and skipped to its end.
inline constexpr std::size_t kMaxLineBytes = 64 * 1024;

struct CallResult {
  bool ran = false;  // false: blank line or usage error
  const SlotInfo* slot = nullptr;
  HRESULT hresult = 0;
  std::vector<ArgValue> outs;  // one per parameter of the slot; set for outputs
  // SetComPort gave -1: why (printed beside the entry's results, which stay as they are).
  std::optional<PortErrorReport> port_error;
};

class Session {
 public:
  Session(TTECRFiscImpl& object, std::ostream& out, SessionOptions options);

  // Runs one line and prints its result line (nothing for a blank line or a comment). A line
  // that says what it should give ("Call args => Result = true") is checked against the result
  // line's words after "Name: "; the error information ("; error ...") may be left out.
  CallResult RunLine(std::string_view line);
  // Reads lines until the end of `in`; returns the number of lines that could not be run.
  std::size_t RunStream(std::istream& in);

  std::size_t usage_errors() const { return usage_errors_; }
  // Calls that did not give what their line says they should.
  std::size_t unmet_expectations() const { return unmet_expectations_; }
  // SetComPort calls that gave -1: the port did not open.
  std::size_t ports_not_opened() const { return ports_not_opened_; }

 private:
  void PrintUsageError(const std::string& name, const std::string& message);
  void PrintResult(const CallResult& result, bool hasError, const std::string& description,
                   const std::string& source, const CallLine& line);

  TTECRFiscImpl& object_;
  std::ostream& out_;
  SessionOptions options_;
  std::size_t usage_errors_ = 0;
  std::size_t unmet_expectations_ = 0;
  std::size_t ports_not_opened_ = 0;
};

// The exit status of a run: 2 when a line could not be run, 3 when a port did not open, 1 when a
// call did not give what its line says, else 0.
int ExitStatus(const Session& session);

// The six status bytes as the trace and the documentation show them: two hexadecimal digits
// each, "00 00 08 00 00 3A".
std::string StatusText(const int (&status)[6]);

// The interface table, one slot a line (text, or JSON objects with --json).
void PrintTable(std::ostream& out, bool json);

// Opens the port, asks IsPresent, prints identity, serial number, date and time and the state;
// closes the port again. Returns 0 only when the printer answered.
int RunProbe(TTECRFiscImpl& object, std::ostream& out, SessionOptions options, int port, int speed);

}  // namespace molvex::ecrfisc
