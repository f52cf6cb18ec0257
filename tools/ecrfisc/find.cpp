#include "tools/ecrfisc/find.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "link/commands.h"
#include "object/object_state.h"
#include "platform/serial_ports.h"
#include "platform/text_codec.h"
#include "tools/ecrfisc/port_error.h"

namespace molvex::ecrfisc {
namespace {

using Json = nlohmann::ordered_json;
using Outcome = FindResult::Outcome;

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A device channel that fails every read and write after a moment, so that the link's
// transaction ends then as unanswered whatever the device does (silence, SYN without end).
class DeadlineChannel final : public ByteChannel {
 public:
  explicit DeadlineChannel(std::unique_ptr<ByteChannel> device) : device_(std::move(device)) {}
  void SetDeadline(std::int64_t ms) { deadline_ms_ = ms; }

  bool Write(const std::uint8_t* data, std::size_t size) override {
    return NowMs() < deadline_ms_ && device_->Write(data, size);
  }
  void Flush() override { device_->Flush(); }
  void Discard() override { device_->Discard(); }
  ReadStatus ReadByte(std::uint8_t& byte) override {
    if (NowMs() >= deadline_ms_) return ReadStatus::Error;
    const ReadStatus got = device_->ReadByte(byte);
    if (got == ReadStatus::Byte && byte == kSyn) syn_seen_ = true;
    return got;
  }
  void ClearError() override { device_->ClearError(); }
  void Close() override { device_->Close(); }
  std::int32_t Handle() const override { return device_->Handle(); }
  bool syn_seen() const { return syn_seen_; }

 private:
  static constexpr std::uint8_t kSyn = 0x16;
  std::unique_ptr<ByteChannel> device_;
  std::int64_t deadline_ms_ = 0;
  bool syn_seen_ = false;
};

// Hands the one channel of the attempt to PrnOpenPort.
class AttemptPort final : public PortFactory {
 public:
  explicit AttemptPort(ByteChannel& channel) : channel_(channel) {}
  ByteChannel* Open(std::int32_t, std::int32_t) override { return &channel_; }

 private:
  ByteChannel& channel_;
};

// A complete, well-formed reply came back: the device speaks the printer's protocol.
bool Answered(std::uint32_t error_word) {
  return (error_word & (kErrChecksum | kErrNak | kErrNoReply)) == 0;
}

std::string PrinterText(const std::string& bytes) {
  const auto wide = PrinterToWide(bytes);
  return WideToUtf8(wide.data(), wide.size());
}

// One device at one speed, opened already: the status read, then the serial number. True when
// the device spoke the printer's protocol (a reply, or SYN while it works): no other speed then.
bool Ask(std::unique_ptr<ByteChannel> device, std::int32_t speed, std::int64_t start,
         FindResult& result) {
  DeadlineChannel channel(std::move(device));
  AttemptPort port(channel);
  LinkSetPortFactory(&port);
  PrnOpenPort(1, speed);
  channel.SetDeadline(start + kFindStatusWaitMs);
  // Without a window the transaction has ended when the wrapper returns; its reply is in
  // LinkResult.
  const bool ran = PrnReadStatus(0, nullptr, 0, 0) == PRN_OK;
  const bool answered = ran && Answered(LinkResult.ErrorWord);
  if (answered) {
    result.outcome = Outcome::Printer;
    result.speed = speed;
    result.error_word = LinkResult.ErrorWord;
    channel.SetDeadline(start + kFindAttemptLimitMs);
    if (PrnDiagnostic(0, nullptr, 0, 0) == PRN_OK && Answered(LinkResult.ErrorWord) &&
        (LinkResult.ErrorWord & FailureMask) == 0 && LinkResult.FieldCount >= 7 &&
        LinkResult.Fields[6] != nullptr) {
      result.serial = PrinterText(LinkResult.Fields[6]);
    }
  } else if (channel.syn_seen()) {
    result.outcome = Outcome::Busy;
    result.speed = speed;
  }
  PrnClosePort();
  LinkSetPortFactory(nullptr);
  return answered || result.outcome == Outcome::Busy;
}

void TryDevice(const SerialDeviceEntry& entry, const std::vector<std::int32_t>& speeds,
               FindResult& result) {
  const std::int64_t begin = NowMs();
  result.device = entry.path;
  result.ports = entry.ports;
  result.mapping = entry.mapping;
  for (const std::int32_t speed : speeds) {
    const std::int64_t start = NowMs();
    PortOpenError error;
    std::unique_ptr<ByteChannel> device = OpenSerialDevice(entry.path, speed, error);
    if (!device) {
      // Not a question of speed: the device cannot be had at all.
      result.reason_key = ReasonKey(error.reason);
      if (error.reason == PortFailure::InUse) {
        result.outcome = Outcome::InUse;
        result.reason = "in use by another program";
        if (!error.holder.empty()) result.reason += " (" + error.holder + ")";
      } else {
        result.outcome = Outcome::Unavailable;
        result.reason = ReasonText(error, kNativePortStyle);
      }
      break;
    }
    if (Ask(std::move(device), speed, start, result)) break;
  }
  result.ms = NowMs() - begin;
}

std::string Where(const FindResult& r) {
  std::string text = r.device;
  if (r.ports.empty()) return text;
  text += " (port";
  for (std::size_t i = 0; i < r.ports.size(); ++i) {
    text += (i == 0 ? " " : ", ") + std::to_string(r.ports[i]);
  }
  if (!r.mapping.empty()) text += ", " + r.mapping;
  return text + ")";
}

std::string HexWord(std::uint32_t word) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", word);
  return buf;
}

std::string PrinterLine(const FindResult& r) {
  std::string text = "printer at " + std::to_string(r.speed) + " baud";
  text += r.serial.empty() ? ", serial number not read" : ", serial number " + r.serial;
  if ((r.error_word & FailureMask) != 0) {
    text += "; it reports a fault (error word " + HexWord(r.error_word) + ")";
  }
  return text;
}

// The lowest port number no mapping takes and no device found here owns: a free name for a
// device that has none.
std::int32_t FreePortNumber(const std::vector<FindResult>& results) {
  for (std::int32_t n = 1;; ++n) {
    const std::string variable = "MOLVEXECR_COM" + std::to_string(n);
    const char* value = std::getenv(variable.c_str());
    if (value != nullptr && value[0] != '\0') continue;
    bool taken = false;
    for (const FindResult& r : results) {
      for (const std::int32_t p : r.ports) taken = taken || p == n;
    }
    if (!taken) return n;
  }
}

std::string HowToUse(const FindResult& r, std::int32_t free_port) {
  const std::string speed = std::to_string(r.speed);
  if (!r.ports.empty()) {
    return "ecrfisc --port " + std::to_string(r.ports.front()) + " --speed " + speed + " --probe";
  }
  const std::string n = std::to_string(free_port);
  return "MOLVEXECR_COM" + n + "=" + r.device + " ecrfisc --port " + n + " --speed " + speed +
         " --probe";
}

Json ResultJson(const FindResult& r) {
  static constexpr const char* kOutcomes[] = {"printer", "no-answer", "unavailable", "in-use",
                                              "busy"};
  Json j;
  j["device"] = r.device;
  j["ports"] = r.ports;
  if (!r.mapping.empty()) j["mapping"] = r.mapping;
  j["result"] = kOutcomes[static_cast<int>(r.outcome)];
  if (r.outcome == Outcome::Busy) j["speed"] = r.speed;
  if (r.outcome == Outcome::Printer) {
    j["speed"] = r.speed;
    j["serial"] = r.serial;
    j["error_word"] = r.error_word;
  }
  if (!r.reason.empty()) j["error"] = Json{{"reason", r.reason_key}, {"description", r.reason}};
  j["ms"] = r.ms;
  return j;
}

}  // namespace

std::vector<FindResult> RunFind(std::ostream& out, const FindOptions& options) {
  const std::int64_t begin = NowMs();
  const std::vector<SerialDeviceEntry> devices = ListSerialDevices(options.device_dir);
  if (!options.json) {
    out << "ecrfisc: looking for the printer on " << devices.size() << " serial device"
        << (devices.size() == 1 ? "" : "s") << " at " << SpeedList(options.speeds, ", ")
        << " baud\n";
    out.flush();
  }
  std::vector<FindResult> results;
  std::vector<std::string> without_port;  // devices with no serial port behind them
  for (const SerialDeviceEntry& entry : devices) {
    FindResult& r = results.emplace_back();
    TryDevice(entry, options.speeds, r);
    if (options.json) {
      out << ResultJson(r).dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
    } else if (r.outcome == Outcome::Unavailable && r.reason_key == "no-hardware") {
      without_port.push_back(r.device);  // many on a PC: one line for all of them, below
    } else {
      out << "  " << Where(r) << ": ";
      switch (r.outcome) {
        case Outcome::Printer:
          out << PrinterLine(r);
          break;
        case Outcome::NoAnswer:
          out << "no answer";
          break;
        case Outcome::Busy:
          out << "busy at " << r.speed
              << " baud: it sends SYN (a printer at work) but no reply came in time; try again "
                 "when it is idle";
          break;
        case Outcome::InUse:
          out << r.reason << ", skipped";
          break;
        case Outcome::Unavailable:
          out << r.reason;
          break;
      }
      out << "\n";
    }
    out.flush();
  }
  const double seconds = static_cast<double>(NowMs() - begin) / 1000.0;
  std::size_t found = 0;
  for (const FindResult& r : results) found += r.outcome == Outcome::Printer ? 1 : 0;
  if (options.json) {
    out << Json{{"summary",
                 Json{{"devices", results.size()}, {"printers", found}, {"seconds", seconds}}}}
               .dump()
        << "\n";
    return results;
  }
  if (!without_port.empty()) {
    out << "  no serial port behind " << without_port.size() << " device"
        << (without_port.size() == 1 ? "" : "s") << ":";
    for (const std::string& d : without_port) out << " " << d;
    out << "\n";
  }
  char took[32];
  std::snprintf(took, sizeof took, "%.1f s", seconds);
  if (found == 0) {
    out << "no printer found (" << took << ")\n";
    return results;
  }
  out << found << " printer" << (found == 1 ? "" : "s") << " found (" << took << "):\n";
  const std::int32_t free_port = FreePortNumber(results);
  for (const FindResult& r : results) {
    if (r.outcome != Outcome::Printer) continue;
    out << "  " << Where(r) << " at " << r.speed << " baud: " << HowToUse(r, free_port) << "\n";
  }
  return results;
}

}  // namespace molvex::ecrfisc
