// Cost of the link itself, without a line: building and writing a request frame, and a full
// transaction that receives and decodes a typical 60-byte reply. Each result also shows how the
// time compares with the wire time of the same bytes at 115200 baud (10 bits a byte).
#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include <benchmark/benchmark.h>

#include "link/link.h"
#include "tests/support/reply_frame.h"

namespace {

constexpr std::size_t kSequences = 95;  // sequence bytes 0x20..0x7E

// Answers every read from a prepared reply, instantly, then reports silence. The reply carries
// the sequence byte of the request it answers: one is prepared for each.
class ReplayChannel final : public molvex::ByteChannel, public molvex::PortFactory {
 public:
  // The same bytes for every request (NAK).
  explicit ReplayChannel(const std::string& reply) { replies_.fill(reply); }
  // A reply frame to `command` with `data`.
  ReplayChannel(std::uint8_t command, const std::string& data) {
    for (std::size_t i = 0; i < kSequences; ++i) {
      replies_[i] = testsupport::ReplyFrame(static_cast<std::uint8_t>(0x20 + i), command, data);
    }
  }
  molvex::ByteChannel* Open(std::int32_t, std::int32_t) override { return this; }
  bool Write(const std::uint8_t* data, std::size_t size) override {
    benchmark::DoNotOptimize(data);
    written_ += size;
    // The printer answers every request afresh, with the request's sequence byte.
    const std::size_t sequence = size > 2 && data[2] >= 0x20 ? data[2] - 0x20u : 0;
    reply_ = &replies_[sequence % kSequences];
    next_ = 0;
    return true;
  }
  void Flush() override {}
  void Discard() override {}
  molvex::ReadStatus ReadByte(std::uint8_t& byte) override {
    if (next_ >= reply_->size()) return molvex::ReadStatus::Timeout;
    byte = static_cast<std::uint8_t>((*reply_)[next_++]);
    return molvex::ReadStatus::Byte;
  }
  void ClearError() override {}
  void Close() override {}
  std::int32_t Handle() const override { return 3; }
  std::size_t written() const { return written_; }

 private:
  std::array<std::string, kSequences> replies_;
  const std::string* reply_ = &replies_[0];
  std::size_t next_ = 0;
  std::size_t written_ = 0;
};

std::uint32_t last_error_word = 0;
int last_field_count = 0;
void Deliver(RetData& result) {
  last_error_word = result.ErrorWord;
  last_field_count = result.FieldCount;
}

void Run(benchmark::State& state, ReplayChannel& channel, std::int32_t command, const char* data,
         std::size_t reply_bytes, std::uint32_t expected_error_word, int expected_fields) {
  LinkReset();
  LinkSetPortFactory(&channel);
  PrnOpenPort(1, 115200);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (PrnExecuteCallback(Deliver, 0, command, data) != PRN_OK) {
      state.SkipWithError("transaction refused");
      break;
    }
  }
  const double iterations = static_cast<double>(state.iterations());
  if (iterations == 0) return;
  if (last_error_word != expected_error_word || last_field_count != expected_fields) {
    state.SkipWithError("unexpected outcome");
  }
  const double link_ns =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() /
      iterations;
  const double request_bytes = static_cast<double>(channel.written()) / iterations;
  const double wire_ns = (request_bytes + static_cast<double>(reply_bytes)) * 10 * 1e9 / 115200;
  state.counters["wire_ns"] = wire_ns;
  // How many times longer the bytes take on the line than the link takes to handle them.
  state.counters["wire_ratio"] = wire_ns / link_ns;
  LinkReset();
  LinkSetPortFactory(nullptr);
}

// A sale line request; the printer rejects it at once (NAK), so nearly all the time is the frame.
void BM_RequestFrame(benchmark::State& state) {
  ReplayChannel channel("\x15");
  Run(state, channel, 58, "12*1.500", 1, kErrNak, 0);
}
BENCHMARK(BM_RequestFrame);

// A status read answered by a 60-byte reply frame with 43 bytes of data in 9 fields.
void BM_SixtyByteReply(benchmark::State& state) {
  const std::string data = "0,1234567,12345.67,890.12,3,45,6789,10,1122";
  const std::size_t reply_size = testsupport::ReplyFrame(0x21, 74, data).size();
  if (reply_size != 60) {
    state.SkipWithError("reply frame is not 60 bytes");
    return;
  }
  ReplayChannel channel(74, data);
  Run(state, channel, 74, "W", reply_size, 0, 9);
}
BENCHMARK(BM_SixtyByteReply);

}  // namespace

BENCHMARK_MAIN();
