#include "tests/sim/sim_harness.h"

#include "sim/wire/frame.h"

namespace simtest {

using molvex::sim::kNever;

bool ParseReply(const std::vector<std::uint8_t>& bytes, RawReply& out) {
  std::size_t start = bytes.size();
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == 0x01) start = i;
  }
  if (start + 17 > bytes.size()) return false;
  const std::size_t n = bytes[start + 1] - 0x2Bu;
  if (start + 17 + n > bytes.size() || bytes[start + 4 + n] != 0x04 ||
      bytes[start + 11 + n] != 0x05 || bytes[start + 16 + n] != 0x03) {
    return false;
  }
  std::uint32_t sum = 0;
  for (std::size_t i = start + 1; i <= start + 11 + n; ++i) sum += bytes[i];
  std::uint32_t check = 0;
  for (std::size_t i = 0; i < 4; ++i) check = check * 16 + (bytes[start + 12 + n + i] - 0x30u);
  out.frame = true;
  out.check_ok = (sum & 0xFFFF) == check;
  out.sequence = bytes[start + 2];
  out.command = bytes[start + 3];
  out.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start + 4),
                  bytes.begin() + static_cast<std::ptrdiff_t>(start + 4 + n));
  for (std::size_t i = 0; i < 6; ++i) out.status[i] = bytes[start + 5 + n + i];
  return true;
}

RawReply Exchange(molvex::sim::VirtualPrinter& printer, molvex::FakeClock& clock,
                  const std::vector<std::uint8_t>& request, std::int64_t listen_ms) {
  RawReply reply;
  const std::int64_t ns_per_ms = 1'000'000;
  printer.DiscardArrived(clock.MonotonicMs() * ns_per_ms);  // as the host purges before writing
  printer.Receive(request.data(), request.size(), clock.MonotonicMs() * ns_per_ms);
  const std::int64_t end = clock.MonotonicMs() + listen_ms;
  while (true) {
    const std::int64_t due = printer.NextDueNs();
    if (due == kNever || due > end * ns_per_ms) break;
    const std::int64_t due_ms = (due + ns_per_ms - 1) / ns_per_ms;
    if (due_ms > clock.MonotonicMs()) clock.Advance(due_ms - clock.MonotonicMs());
    std::uint8_t b = 0;
    if (!printer.Take(clock.MonotonicMs() * ns_per_ms, b)) break;
    reply.bytes.push_back(b);
    if (b == 0x16) ++reply.syn;
    if (b == 0x15) {
      reply.nak = true;
      break;
    }
    if (b == 0x03 && ParseReply(reply.bytes, reply)) break;
  }
  return reply;
}

namespace {
LinkReply* current = nullptr;

void Collect(RetData& r) {
  current->error = r.ErrorWord;
  current->reply = r.ReplyData != nullptr ? r.ReplyData : "";
  current->fields.clear();
  for (int i = 0; i < r.FieldCount && i < kRetDataFields; ++i)
    current->fields.emplace_back(r.Fields[i]);
  for (std::size_t i = 0; i < 6; ++i) current->status[i] = r.Status[i];
}
}  // namespace

void LinkedPrinter::SetUp() {
  LinkReset();
  LinkSetPortFactory(&port);
  LinkSetClock(&clock);
  ASSERT_GT(PrnOpenPort(1, 115200), 0);
}

void LinkedPrinter::TearDown() {
  PrnClosePort();
  LinkSetPortFactory(nullptr);
  LinkSetClock(nullptr);
  LinkReset();
}

LinkReply LinkedPrinter::Run(int command, const std::string& data) {
  LinkReply reply;
  current = &reply;
  reply.result = PrnExecuteCallback(&Collect, 0, command, data.c_str());
  current = nullptr;
  return reply;
}

LinkReply LinkedPrinter::Ok(int command, const std::string& data) {
  LinkReply reply = Run(command, data);
  EXPECT_EQ(reply.result, 0) << "command " << command << " " << data;
  EXPECT_EQ(reply.error & FailureMask, 0u)
      << "command " << command << " \"" << data << "\" error word 0x" << std::hex << reply.error;
  return reply;
}

void LinkedPrinter::ProgramArticle(int number, char tax, const std::string& price,
                                   const std::string& name) {
  const LinkReply r =
      Ok(107, std::string("P") + tax + std::to_string(number) + ",1," + price + ",0," + name);
  ASSERT_EQ(r.Field(1), "P");
}

}  // namespace simtest
