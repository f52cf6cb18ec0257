#include "sim/wire/control.h"

#include <cstdlib>
#include <sstream>
#include <vector>

#include "sim/model/text_util.h"

namespace molvex::sim {

namespace {
struct FaultWord {
  const char* word;
  Fault fault;
  bool takes_ms;   // first argument is a time in ms
  int default_ms;  // when the time is left out
};

constexpr FaultWord kFaultWords[] = {
    {"nak", Fault::Nak, false, 0},
    {"bad-check", Fault::BadCheck, false, 0},
    {"silence", Fault::Silence, false, 0},
    {"syn", Fault::Syn, true, 1000},
    {"syn-forever", Fault::SynForever, false, 0},
    {"garbage", Fault::Garbage, false, 0},
    {"noise", Fault::Noise, false, 0},
    {"cut-frame", Fault::CutFrame, false, 0},
    {"early-terminator", Fault::EarlyTerminator, false, 0},
    {"wrong-terminator", Fault::WrongTerminator, false, 0},
    {"slow", Fault::SlowPieces, true, 80},
    {"printer-error", Fault::PrinterError, false, 0},
    {"stranger", Fault::Stranger, false, 0},
};

bool SmallNumber(const std::string& text, int& value, int highest) {
  std::int64_t v = 0;
  if (!ParseInt(text, v) || v > highest) return false;
  value = static_cast<int>(v);
  return true;
}
}  // namespace

std::string ApplyControl(VirtualPrinter& printer, const std::string& raw) {
  std::string line = raw;
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ')) {
    line.pop_back();
  }
  std::istringstream in(line);
  std::string word;
  if (!(in >> word) || word[0] == '#') return "";
  std::vector<std::string> args;
  for (std::string a; in >> a;) args.push_back(a);

  // on CODE FAULT [MS]: the fault for the next request with command CODE.
  int target = -1;
  if (word == "on") {
    if (args.size() < 2 || !SmallNumber(args[0], target, 255)) {
      return "usage: on CODE FAULT [MS]";
    }
    word = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  for (const FaultWord& f : kFaultWords) {
    if (word != f.word) continue;
    int ms = f.default_ms, count = 1;
    std::size_t next = 0;
    if (f.takes_ms && next < args.size()) {
      if (!SmallNumber(args[next++], ms, 3'600'000)) return "bad time in ms: " + line;
    }
    if (next < args.size() && !SmallNumber(args[next++], count, 10000)) {
      return "bad count: " + line;
    }
    if (next < args.size()) return "too many arguments: " + line;
    if (target >= 0) {
      if (count != 1) return "usage: on CODE FAULT [MS]";
      printer.ArmFor(target, f.fault, ms);
    } else {
      printer.Arm(f.fault, count, ms);
    }
    return "";
  }
  if (target >= 0) return "usage: on CODE FAULT [MS]";
  Device& device = printer.device();
  if (word == "paper-out" || word == "paper-in" || word == "paper-low" || word == "paper-ok") {
    if (!args.empty()) return "too many arguments: " + line;
    if (word == "paper-out") device.SetPaperOut(true);
    if (word == "paper-in") device.SetPaperOut(false);
    if (word == "paper-low") device.SetPaperNearEnd(true);
    if (word == "paper-ok") {
      device.SetPaperOut(false);
      device.SetPaperNearEnd(false);
    }
    return "";
  }
  if (word == "reply") {
    // reply CODE STATUS-HEX [DATA]: DATA is the rest of the line after one blank
    int code = 0;
    std::string status_bytes;
    if (args.size() < 2 || !SmallNumber(args[0], code, 255) || args[1].size() != 12 ||
        !HexDecode(args[1], status_bytes)) {
      return "usage: reply CODE STATUS(12 hex digits) [DATA]";
    }
    std::string data;
    const std::string head = "reply " + args[0] + " " + args[1];
    const std::size_t at = line.find(head);
    if (at != std::string::npos && line.size() > at + head.size() + 1) {
      data = line.substr(at + head.size() + 1);
    }
    std::array<std::uint8_t, 6> status{};
    for (std::size_t i = 0; i < 6; ++i) status[i] = static_cast<std::uint8_t>(status_bytes[i]);
    printer.ArmReply(code, data, status);
    return "";
  }
  if (word == "power-off" || word == "power-on" || word == "power-cycle") {
    bool keep = true;
    if (args.size() == 1 && args[0] == "lose") {
      keep = false;
    } else if (!args.empty()) {
      return "usage: " + word + " [lose]";
    }
    if (word != "power-on") printer.PowerOff();
    if (word != "power-off") printer.PowerOn(keep);
    return "";
  }
  if (word == "stats") {
    return "";  // the caller reports the counters
  }
  if (word == "clear") {
    printer.ClearFaults();
    return "";
  }
  if (word == "busy-scale") {
    char* end = nullptr;
    const double scale = args.size() == 1 ? std::strtod(args[0].c_str(), &end) : -1;
    if (args.size() != 1 || end == nullptr || *end != '\0' || scale < 0 || scale > 100) {
      return "usage: busy-scale X (0..100)";
    }
    PrinterOptions options = printer.options();
    options.busy_scale = scale;
    printer.SetOptions(options);
    return "";
  }
  return "unknown control command: " + line;
}

std::string KeyInArticle(Device& device, const std::string& text) {
  const std::vector<std::string> f = SplitFields(text);
  if (f.size() != 5) return "give NUMBER,TAX,GROUP,PRICE,NAME";
  std::string tax;
  std::string name;
  if (!Utf8ToCp1251(f[1], tax) || tax.size() != 1 ||
      !PrnIsTaxLetter(static_cast<std::uint8_t>(tax[0]))) {
    return "the tax group is one of the letters А, Б, В, Г, Д";
  }
  if (!Utf8ToCp1251(f[4], name)) return "the name holds characters outside Windows-1251";
  const Reply reply = device.Execute(Request{0, 107,
                                             "P" + tax + f[0] + "," + f[2] + "," + f[3] + "," +
                                                 device.state().admin_password + "," + name});
  if (reply.errors != 0 || reply.data != "P") {
    return "the printer refuses it (article 1..14800, group 0..99, price above 0 with two "
           "decimals at most, name of 1..32 characters)";
  }
  return "";
}

}  // namespace molvex::sim
