// Network settings and modem report: three entries that each send one command without the
// status pre-read and answer with integer codes, and the properties that hold their values.
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "link/commands.h"
#include "object/TECRFiscImpl.h"
#include "object/automation_text.h"
#include "object/call_pattern.h"
#include "object/object_error.h"
#include "platform/text_codec.h"

namespace molvex {
namespace {

// Value of an upper-case hexadecimal digit, -1 for anything else.
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The first `count` characters of `field` as hexadecimal bytes, two digits each, most
// significant digit first. False when a character is not a digit or the field is too short.
template <std::size_t N>
bool ReadHexBytes(const char* field, std::array<unsigned, N>& bytes) {
  const std::size_t length = std::strlen(field);
  if (length < 2 * N) return false;
  for (std::size_t i = 0; i < N; ++i) {
    const int high = HexDigit(field[2 * i]);
    const int low = HexDigit(field[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    bytes[i] = static_cast<unsigned>(high * 16 + low);
  }
  return true;
}

// C0A80001 -> 192.168.0.1
bool ReadAddress(const char* field, std::string& address) {
  std::array<unsigned, 4> bytes{};
  if (!ReadHexBytes(field, bytes)) return false;
  address = std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
            std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
  return true;
}

// 5000 -> 80 (low byte first)
bool ReadNumber16(const char* field, std::int32_t& number) {
  std::array<unsigned, 2> bytes{};
  if (!ReadHexBytes(field, bytes)) return false;
  number = static_cast<std::int32_t>(bytes[0] + 256 * bytes[1]);
  return true;
}

constexpr char kUpperHex[] = "0123456789ABCDEF";

// Upper-case hexadecimal of at least `digits` digits.
std::string Hex(std::uint32_t value, int digits) {
  std::string text;
  do {
    text.insert(text.begin(), kUpperHex[value & 0xFu]);
    value >>= 4;
  } while (value != 0);
  while (static_cast<int>(text.size()) < digits) text.insert(text.begin(), '0');
  return text;
}

// An address part as a decimal number. A part that is not one cannot be sent: that ends the
// call with an exception, as an unconvertible number does anywhere in the object.
std::uint32_t DecimalPart(std::string_view part) {
  std::uint64_t value = 0;
  bool ok = !part.empty() && part.size() <= 10;
  for (const char c : part) {
    if (!ok || c < '0' || c > '9') {
      ok = false;
      break;
    }
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (!ok || value > 0xFFFFFFFFu) {
    constexpr std::size_t kShown = 32;
    const std::string shown =
        part.size() > kShown ? std::string(part.substr(0, kShown)) + "..." : std::string(part);
    const auto wide = PrinterToWide(shown);  // the description is UTF-8
    throw ObjectError("'" + WideToUtf8(wide.data(), wide.size()) +
                      "' is not a valid decimal number");
  }
  return static_cast<std::uint32_t>(value);
}

// Appends the wire form of a dotted address: each of at most four parts as hexadecimal of at
// least two digits, then "," unless the address had more than four parts. False when a part
// is missing before a ".".
bool AppendAddress(std::string_view address, std::string& data) {
  for (int part = 0; part < 4; ++part) {
    if (!address.empty() && address.front() == '.') return false;
    const std::size_t dot = address.find('.');
    if (dot == std::string_view::npos) {
      data += Hex(DecimalPart(address), 2);
      data += ',';
      return true;
    }
    data += Hex(DecimalPart(address.substr(0, dot)), 2);
    address.remove_prefix(dot + 1);
  }
  return true;
}

// Appends a 16-bit number low byte first (8000 -> 401F). False when it does not fit.
bool AppendNumber16(std::int32_t value, std::string& data) {
  if (value < 0 || value > 0xFFFF) return false;
  const std::string digits = Hex(static_cast<std::uint32_t>(value), 4);
  data += digits.substr(2, 2);
  data += digits.substr(0, 2);
  return true;
}

// The three entries of this group check the port themselves: before any port was opened the
// link would not answer at all, after CloseComPort only after the five-second silence.
bool RefuseWithoutPort(PrinterContext& ctx) {
  if (PortIsOpen(ctx)) return false;
  SaveRefusal(ctx);
  return true;
}

bool NoReply(const PrinterContext& ctx) {
  return (ctx.state.LastResult.ErrorWord & kErrNoReply) != 0;
}

// A stored value to the caller: a text as BSTR, a number, a flag as an automation boolean.
HRESULT ReadStored(PrinterContext& ctx, BSTR* out, const std::string& value) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return RunGuarded(ctx, [&] { *out = ToBstr(value); });
}
HRESULT ReadStored(PrinterContext&, LONG* out, std::int32_t value) {
  if (out == nullptr) return E_POINTER;
  *out = value;
  return S_OK;
}
HRESULT ReadStored(PrinterContext&, VARIANT_BOOL* out, bool value) {
  if (out == nullptr) return E_POINTER;
  *out = AsBool(value);
  return S_OK;
}

// A property write keeps the text as the printer's bytes; a text the printer could not take is
// refused with an exception, the stored value and the outcome of the last call as they were.
HRESULT WriteStored(PrinterContext& ctx, std::string& stored, BSTR value,
                    std::string_view property) {
  return RunGuarded(ctx, [&] {
    std::string bytes;
    const std::string fault = ClientTextFault(value, property, {}, bytes);
    if (!fault.empty()) throw ObjectError(fault);
    stored = std::move(bytes);
  });
}
HRESULT WriteStored(PrinterContext&, std::int32_t& stored, LONG value, std::string_view) {
  stored = value;
  return S_OK;
}
HRESULT WriteStored(PrinterContext&, bool& stored, VARIANT_BOOL value, std::string_view) {
  stored = value != 0;
  return S_OK;
}

HRESULT ReadFlag(const PrinterContext& ctx, VARIANT_BOOL* out, int bit) {
  if (out == nullptr) return E_POINTER;
  *out = AsBool(((ctx.state.Net.ModemCondition >> bit) & 1u) != 0);
  return S_OK;
}

}  // namespace

HRESULT STDMETHODCALLTYPE TECRFiscEntries::GetNetParams(LONG* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    if (RefuseWithoutPort(ctx)) {
      *Result = -100;
      return;
    }
    if (!RunCommand(ctx, PrnBuildReadNetParams)) {
      SaveRefusal(ctx);
      *Result = -100;
      return;
    }
    ObjectState& state = ctx.state;
    if (NoReply(ctx)) {
      state.SavedErrorWord = static_cast<std::int32_t>(state.LastResult.ErrorWord);
      std::memset(state.SavedStatus, 0, sizeof state.SavedStatus);
      state.CallStatus = kCallFailed;
      *Result = -100;
      return;
    }
    if (state.FailureFlag != 0) {
      SaveOutcome(ctx);  // the failed reply's error word and status bytes, call status -2
      *Result = -1;
      return;
    }
    NetworkValues& net = state.Net;
    net.DHCPworkPr = std::strcmp(ReplyField(ctx, 1), "0") != 0;
    std::string* const addresses[] = {&net.StatIPPr, &net.SubnetMaskPr, &net.BridgeAddrPr,
                                      &net.TargetAddrPr};
    for (int i = 0; i < 4; ++i) {
      if (!ReadAddress(ReplyField(ctx, 2 + i), *addresses[i])) {
        *Result = -2 - i;
        return;
      }
    }
    std::int32_t* const numbers[] = {&net.TargetPortPr, &net.RepeatPeriodPr, &net.RepeatByErrorPr};
    for (int i = 0; i < 3; ++i) {
      if (!ReadNumber16(ReplyField(ctx, 6 + i), *numbers[i])) {
        *Result = -6 - i;
        return;
      }
    }
    *Result = 0;
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::WriteNetParams(LONG* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    const NetworkValues& net = ctx.state.Net;
    std::string data = net.PrintReportModem ? "1," : "0,";
    for (const std::string* address :
         {&net.StatIPPr, &net.SubnetMaskPr, &net.BridgeAddrPr, &net.TargetAddrPr}) {
      if (!AppendAddress(*address, data)) {
        *Result = -1;
        return;
      }
    }
    if (!AppendNumber16(net.TargetPortPr, data)) {
      *Result = -2;
      return;
    }
    data += ',';
    if (!AppendNumber16(net.RepeatPeriodPr, data)) {
      *Result = -1;
      return;
    }
    data += ',';
    if (!AppendNumber16(net.RepeatByErrorPr, data)) {
      *Result = -3;
      return;
    }
    // Part values beyond a byte can make the text longer than a request carries.
    if (data.size() > static_cast<std::size_t>(kPrnMaxData)) {
      *Result = -1;
      return;
    }
    if (RefuseWithoutPort(ctx)) {
      *Result = -4;
      return;
    }
    if (!RunCommand(ctx, PrnBuildWriteNetParams, data.c_str())) {
      SaveRefusal(ctx);
      *Result = -4;
      return;
    }
    *Result = NoReply(ctx) ? -4 : 0;
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::ReportModem(LONG* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    NetworkValues& net = ctx.state.Net;
    if (RefuseWithoutPort(ctx) ||
        !RunCommand(ctx, PrnBuildModemReport,
                    static_cast<std::int32_t>(net.PrintReportModem ? 1 : 0))) {
      SaveRefusal(ctx);
      *Result = -1;
      return;
    }
    if (!SaveOutcome(ctx)) {
      *Result = -1;
      return;
    }
    net.DataDocPr = ReplyField(ctx, 2);
    net.TimeDocPr = ReplyField(ctx, 3);
    net.DatePersPr = ReplyField(ctx, 4);
    net.TimePersPr = ReplyField(ctx, 5);
    net.PersReportPr = -1;
    // A character that is no upper-case hexadecimal digit, or a missing one, counts 0.
    const char* condition = ReplyField(ctx, 1);
    const int high = condition[0] != '\0' ? HexDigit(condition[0]) : 0;
    const int low = condition[0] != '\0' && condition[1] != '\0' ? HexDigit(condition[1]) : 0;
    net.ModemCondition =
        static_cast<std::uint8_t>((high < 0 ? 0 : high) * 16 + (low < 0 ? 0 : low));
    *Result = 0;
  });
}

// The properties that only read or write a stored value, one line each: NET_GET and NET_PUT
// read and write the network value of the same name, NET_FLAG reads a bit of the modem's
// condition byte.
#define MOLVEX_NET_GET(name, type)                                                        \
  HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_##name(std::add_pointer_t<type> Value) { \
    return ReadStored(ctx, Value, ctx.state.Net.name);                                    \
  }
#define MOLVEX_NET_PUT(name, type)                                    \
  HRESULT STDMETHODCALLTYPE TECRFiscEntries::put_##name(type Value) { \
    return WriteStored(ctx, ctx.state.Net.name, Value, #name);        \
  }
#define MOLVEX_NET_FLAG(name, bit)                                             \
  HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_##name(VARIANT_BOOL* Value) { \
    return ReadFlag(ctx, Value, bit);                                          \
  }

MOLVEX_NET_PUT(PrintReportModem, VARIANT_BOOL)

MOLVEX_NET_GET(DataDocPr, BSTR)
MOLVEX_NET_GET(TimeDocPr, BSTR)
MOLVEX_NET_GET(TimePersPr, BSTR)
MOLVEX_NET_GET(DatePersPr, BSTR)
MOLVEX_NET_GET(PersReportPr, LONG)

MOLVEX_NET_FLAG(MBSAM_ErrPr, 0)
MOLVEX_NET_FLAG(MemCrd_ErrPr, 1)
MOLVEX_NET_FLAG(KSEF_ErrPr, 2)
MOLVEX_NET_FLAG(IDDEF_SetPr, 3)
MOLVEX_NET_FLAG(TechReg_PrfPr, 4)
MOLVEX_NET_FLAG(Person_PrfPr, 5)
MOLVEX_NET_FLAG(NetCbl_ConPr, 6)
MOLVEX_NET_FLAG(Ready_SndPr, 7)

MOLVEX_NET_GET(DHCPworkPr, VARIANT_BOOL)
MOLVEX_NET_PUT(DHCPworkPr, VARIANT_BOOL)
MOLVEX_NET_GET(StatIPPr, BSTR)
MOLVEX_NET_PUT(StatIPPr, BSTR)
MOLVEX_NET_GET(SubnetMaskPr, BSTR)
MOLVEX_NET_PUT(SubnetMaskPr, BSTR)
MOLVEX_NET_GET(BridgeAddrPr, BSTR)
MOLVEX_NET_PUT(BridgeAddrPr, BSTR)
MOLVEX_NET_GET(TargetAddrPr, BSTR)
MOLVEX_NET_PUT(TargetAddrPr, BSTR)
MOLVEX_NET_GET(TargetPortPr, LONG)
MOLVEX_NET_PUT(TargetPortPr, LONG)
MOLVEX_NET_GET(RepeatPeriodPr, LONG)
MOLVEX_NET_PUT(RepeatPeriodPr, LONG)
MOLVEX_NET_GET(RepeatByErrorPr, LONG)
MOLVEX_NET_PUT(RepeatByErrorPr, LONG)

}  // namespace molvex
