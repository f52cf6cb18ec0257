// The receipt entries that read the printer's replies, against hostile replies: the first byte
// picks the entry, the rest (split at zero bytes) are the reply data to its commands after the
// status pre-read, each piece's first byte choosing clean or failing status bytes. Every call
// must end with one of the entry's documented values, send only well-formed requests that fit
// a frame, and pay exactly the rest the printer reported.
#include <stdlib.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/link.h"
#include "object/TECRFiscImpl.h"
#include "object/object_state.h"
#include "tests/fuzz/fuzz_channel.h"
#include "tests/support/reply_frame.h"

namespace {

fuzzing::StreamChannel channel;
std::string stream;

void Require(bool condition) {
  if (!condition) std::abort();
}

struct Sent {
  int command;
  std::string data;
};

// The requests the link wrote, each checked for its frame.
std::vector<Sent> Requests() {
  std::vector<Sent> sent;
  const std::string& w = channel.written;
  std::size_t at = 0;
  while (at < w.size()) {
    Require(w.size() - at >= 10 && w[at] == '\x01');
    const std::size_t n = static_cast<unsigned char>(w[at + 1]) - 0x24u;
    Require(n <= 85 && at + n + 10 <= w.size() && w[at + 4 + n] == '\x05' &&
            w[at + 9 + n] == '\x03');
    sent.push_back({static_cast<unsigned char>(w[at + 3]), w.substr(at + 4, n)});
    at += n + 10;
  }
  return sent;
}

// A reply field of `data` (from 1) as the object reads a decimal integer; false when it is none.
bool Field(const std::string& data, int number, std::int64_t& value) {
  std::size_t start = 0;
  for (int i = 1; i < number; ++i) {
    start = data.find(',', start);
    if (start == std::string::npos) return false;
    ++start;
  }
  const std::size_t end = data.find(',', start);
  const std::string text = data.substr(start, end == std::string::npos ? end : end - start);
  if (text.empty() || text[0] == '+') return false;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  return r.ec == std::errc{} && r.ptr == text.data() + text.size();
}

molvex::ObjectState& State() {
  return molvex::SharedObjectState();
}

void RequireCallStatus() {
  const std::int32_t s = State().CallStatus;
  Require(s == 0 || s == -1 || s == -2);
}

// "\t" + letter + amount with two decimals.
void RequirePayment(const std::string& data, char letter, std::int64_t hundredths) {
  char expected[64];
  const int n = std::snprintf(expected, sizeof expected, "\t%c%lld.%02lld", letter,
                              static_cast<long long>(hundredths / 100),
                              static_cast<long long>(hundredths % 100));
  Require(data == std::string(expected, static_cast<std::size_t>(n)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const bool settings = [] {
    ::setenv("MOLVEXECR_DIR", "/nonexistent/molvex-fuzz", 1);  // SetComPort only opens
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

  // The replies: the pre-read's (clean), then one per piece, each with the sequence byte of the
  // request it answers (the link drops a frame that carries another).
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::string> replies;
  std::vector<bool> failing;
  for (std::size_t start = 0; start <= rest.size() && replies.size() < 8;) {
    const std::size_t zero = rest.find('\0', start);
    std::string piece = rest.substr(start, zero == std::string::npos ? zero : zero - start);
    failing.push_back(!piece.empty() && (piece[0] & 1) != 0);
    // Reply data without control bytes: the framing itself is reply_fuzz's.
    std::string reply_data;
    for (std::size_t i = 1; i < piece.size() && reply_data.size() < 200; ++i) {
      if (static_cast<unsigned char>(piece[i]) >= 0x20) reply_data += piece[i];
    }
    replies.push_back(reply_data);
    if (zero == std::string::npos) break;
    start = zero + 1;
  }
  const std::uint8_t which = data[0] % 6;
  const int command = which <= 2 ? 76 : which == 3 ? 113 : which == 4 ? 74 : 107;
  const auto sequence = [](std::size_t k) {
    return static_cast<std::uint8_t>((SequenceCounter + 1 + k) % 95 + 0x20);
  };
  stream = testsupport::ReplyFrame(sequence(0), 74, "");
  for (std::size_t i = 0; i < replies.size(); ++i) {
    // MakeBarcode: the second status read, then the bar code.
    const int code = which == 4 && i > 0 ? 88 : command;
    stream += testsupport::ReplyFrame(
        sequence(i + 1), static_cast<std::uint8_t>(code), replies[i],
        failing[i] ? std::string("\xA0\x82\x80\x80\x80\x80", 6) : std::string(6, '\x80'));
  }
  channel.Serve(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size());

  switch (which) {
    case 0:
    case 1: {  // the rest of the receipt, by Payment or by a KSEF payment with a code
      VARIANT_BOOL ok = 7;
      BSTR code = SysAllocString(u"A1");
      Require((which == 0 ? obj.Payment(0, 1, &ok) : obj.NewPayment(-1, 0, 1, code, &ok)) == S_OK);
      SysFreeString(code);
      Require(ok == VARIANT_TRUE || ok == VARIANT_FALSE);
      RequireCallStatus();
      const std::vector<Sent> sent = Requests();
      Require(sent.size() >= 1 && sent.size() <= 3);
      if (sent.size() < 3) {
        Require(ok == VARIANT_FALSE);
        break;
      }
      // Paid only on a status reply that passed and showed two numbers, exactly their rest.
      std::int64_t sum = 0;
      std::int64_t paid = 0;
      Require(!failing[0] && Field(replies[0], 3, sum) && Field(replies[0], 4, paid));
      Require(sum >= paid);
      if (which == 0) {
        RequirePayment(sent[2].data, 'N', sum - paid);
      } else {
        Require(sent[2].command == 120 && sent[2].data.rfind("1,", 0) == 0);
      }
      break;
    }
    case 2: {
      double sum = 7;
      Require(obj.GetReceiptSum(&sum) == S_OK);
      RequireCallStatus();
      std::int64_t hundredths = 0;
      if (State().CallStatus == 0) {
        Require(Field(replies[0], 3, hundredths) && sum == static_cast<double>(hundredths) / 100);
      } else {
        Require(sum == -1.0);
      }
      break;
    }
    case 3: {
      int number = 7;
      Require(obj.get_NumbRec(&number) == S_OK);
      std::int64_t field = 0;
      Require(number == -1 || (Field(replies[0], 1, field) && field == number));
      break;
    }
    case 4: {
      LONG result = 7;
      BSTR code = SysAllocString(u"12345");
      Require(obj.MakeBarcode(1, code, &result) == S_OK);
      SysFreeString(code);
      RequireCallStatus();
      const std::vector<Sent> sent = Requests();
      Require(sent.size() <= 4);
      Require(result == -3 || result == 0 || (State().CallStatus == 0 && sent.size() == 4));
      break;
    }
    default: {  // SellArticul: the probe over replies to command 107
      LONG result = 7;
      BSTR name = SysAllocString(u"TEA");
      BSTR password = SysAllocString(u"");
      Require(obj.SellArticul(name, 12.5, 1, 0, 1, password, 0, 0, &result) == S_OK);
      SysFreeString(name);
      SysFreeString(password);
      Require(result == 0 || result == 1);
      RequireCallStatus();
      const std::vector<Sent> sent = Requests();
      // The pre-read, at most one query per reply plus the one that timed out, one programming
      // and one sale.
      Require(sent.size() <= replies.size() + 4);
      for (std::size_t i = 1; i < sent.size(); ++i) {
        Require(sent[i].command == 107 || (sent[i].command == 58 && i + 1 == sent.size()));
      }
      if (result == 1) Require(sent.back().command == 58 && State().CallStatus == 0);
      break;
    }
  }
  return 0;
}
