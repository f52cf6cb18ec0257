// The network entries of the object against hostile input: the first byte picks the entry, the
// rest is the printer's reply data (GetNetParams, ReportModem) or, split at zero bytes, the
// four address texts and three numbers the client stored (WriteNetParams). Every call must end
// with one of the entry's documented results, keep the properties well formed and never send
// more than one request with anything but the wire characters in it.
#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/link.h"
#include "object/TECRFiscImpl.h"
#include "object/object_state.h"
#include "platform/error_info.h"
#include "tests/fuzz/fuzz_channel.h"
#include "tests/support/reply_frame.h"

namespace {

fuzzing::StreamChannel channel;
std::string reply;

void Require(bool condition) {
  if (!condition) std::abort();
}

// Latin-1 bytes as a BSTR, one character each.
BSTR Widen(const std::string& text) {
  std::basic_string<OLECHAR> wide(text.begin(), text.end());
  for (std::size_t i = 0; i < text.size(); ++i) {
    wide[i] = static_cast<OLECHAR>(static_cast<unsigned char>(text[i]));
  }
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

// Dotted decimal with four parts of 0..255, as GetNetParams writes them.
bool WellFormedAddress(const std::string& text) {
  int parts = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = text.find('.', start);
    const std::string part = text.substr(start, dot == std::string::npos ? dot : dot - start);
    if (part.empty() || part.size() > 3 ||
        part.find_first_not_of("0123456789") != std::string::npos ||
        std::atoi(part.c_str()) > 255) {
      return false;
    }
    ++parts;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return parts == 4;
}

// Serves one reply to the next request.
void ServeReply(int command, const std::string& data) {
  const auto sequence = static_cast<std::uint8_t>((SequenceCounter + 1) % 95 + 0x20);
  reply = testsupport::ReplyFrame(sequence, static_cast<std::uint8_t>(command), data);
  channel.Serve(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size());
}

void FuzzGetNetParams(molvex::TTECRFiscImpl& obj, const std::string& data) {
  const molvex::NetworkValues before = molvex::SharedObjectState().Net;
  ServeReply(37, data);
  LONG result = 99;
  Require(obj.GetNetParams(&result) == S_OK);
  Require(result == 0 || result == -100 || (result <= -1 && result >= -8));
  const molvex::NetworkValues& net = molvex::SharedObjectState().Net;
  const std::string* now[] = {&net.StatIPPr, &net.SubnetMaskPr, &net.BridgeAddrPr,
                              &net.TargetAddrPr};
  const std::string* was[] = {&before.StatIPPr, &before.SubnetMaskPr, &before.BridgeAddrPr,
                              &before.TargetAddrPr};
  for (int i = 0; i < 4; ++i) Require(*now[i] == *was[i] || WellFormedAddress(*now[i]));
  for (const std::int32_t n : {net.TargetPortPr, net.RepeatPeriodPr, net.RepeatByErrorPr}) {
    Require(n >= 0 && n <= 0xFFFF);
  }
}

void FuzzReportModem(molvex::TTECRFiscImpl& obj, const std::string& data) {
  ServeReply(108, data);
  LONG result = 99;
  Require(obj.ReportModem(&result) == S_OK);
  Require(result == 0 || result == -1);
  for (HRESULT (molvex::TTECRFiscImpl::*get)(BSTR*) :
       {&molvex::TTECRFiscImpl::get_DataDocPr, &molvex::TTECRFiscImpl::get_TimePersPr}) {
    BSTR text = nullptr;
    Require((obj.*get)(&text) == S_OK && text != nullptr);
    SysFreeString(text);
  }
}

void FuzzWriteNetParams(molvex::TTECRFiscImpl& obj, const std::string& data) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (pieces.size() < 7) {
    const std::size_t zero = data.find('\0', start);
    pieces.push_back(data.substr(start, zero == std::string::npos ? zero : zero - start));
    if (zero == std::string::npos) break;
    start = zero + 1;
  }
  pieces.resize(7);
  using TextPut = HRESULT (molvex::TTECRFiscImpl::*)(BSTR);
  const TextPut puts[] = {
      &molvex::TTECRFiscImpl::put_StatIPPr, &molvex::TTECRFiscImpl::put_SubnetMaskPr,
      &molvex::TTECRFiscImpl::put_BridgeAddrPr, &molvex::TTECRFiscImpl::put_TargetAddrPr};
  for (int i = 0; i < 4; ++i) {
    BSTR text = Widen(pieces[static_cast<std::size_t>(i)]);
    molvex::ClearErrorInfo();
    const HRESULT put = (obj.*puts[i])(text);
    SysFreeString(text);
    if (put == DISP_E_EXCEPTION) {
      // A text the printer's code page cannot hold (or with a control byte) is refused as it is
      // stored, with its reason; nothing goes to the printer.
      molvex::ErrorInfoRecord info;
      Require(channel.writes == 0 && molvex::TakeErrorInfo(info) &&
              info.source == "MolvexECR.TECRFisc");
      return;
    }
    Require(put == S_OK);
  }
  using NumberPut = HRESULT (molvex::TTECRFiscImpl::*)(LONG);
  const NumberPut numbers[] = {&molvex::TTECRFiscImpl::put_TargetPortPr,
                               &molvex::TTECRFiscImpl::put_RepeatPeriodPr,
                               &molvex::TTECRFiscImpl::put_RepeatByErrorPr};
  for (int i = 0; i < 3; ++i) {
    const std::string& piece = pieces[static_cast<std::size_t>(4 + i)];
    std::int32_t value = 0;
    std::memcpy(&value, piece.data(), piece.size() < 4 ? piece.size() : 4);
    Require((obj.*numbers[i])(value) == S_OK);
  }
  ServeReply(36, "");
  molvex::ClearErrorInfo();
  LONG result = 99;
  const HRESULT hr = obj.WriteNetParams(&result);
  molvex::ErrorInfoRecord info;
  if (hr == DISP_E_EXCEPTION) {
    Require(result == 99 && channel.writes == 0);
    Require(molvex::TakeErrorInfo(info) && info.source == "MolvexECR.TECRFisc");
    return;
  }
  Require(hr == S_OK && !molvex::TakeErrorInfo(info));
  Require(result == 0 || (result <= -1 && result >= -4));
  if (result != 0) return;
  // One request: preamble, length, sequence, command 36, the data text, then the end bytes.
  Require(channel.writes == 1 && channel.written.size() > 4);
  const std::size_t length = static_cast<unsigned char>(channel.written[1]) - 0x20u - 4u;
  Require(length <= 85);
  const std::string text = channel.written.substr(4, length);
  Require(text.find_first_not_of("0123456789ABCDEF,") == std::string::npos);
  Require(text.size() >= 2 && (text[0] == '0' || text[0] == '1') && text[1] == ',');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const bool settings = [] {
    // No settings file: SetComPort only opens the port.
    ::setenv("MOLVEXECR_DIR", "/nonexistent/molvex-fuzz", 1);
    return true;
  }();
  (void)settings;
  LinkReset();
  molvex::ResetObjectState();
  LinkSetPortFactory(&channel);
  molvex::TTECRFiscImpl obj;
  int opened = 0;
  channel.Serve(nullptr, 0);
  Require(obj.SetComPort(1, 9600, &opened) == S_OK && opened == 100);
  channel.Serve(nullptr, 0);
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 3) {
    case 0:
      FuzzGetNetParams(obj, rest.substr(0, 200));
      break;
    case 1:
      FuzzReportModem(obj, rest.substr(0, 200));
      break;
    default:
      FuzzWriteNetParams(obj, rest);
      break;
  }
  return 0;
}
