// A printer stand-in for link tests: answers each read from a script of bytes, silences and
// read errors, and records every block the link writes. Its clock is the link's: a silent read
// takes 100 ms on it, a byte what the script gives.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "link/link.h"
#include "platform/clock.h"
#include "tests/support/reply_frame.h"

namespace linktest {

class ScriptedChannel final : public molvex::ByteChannel, public molvex::PortFactory {
 public:
  struct Event {
    molvex::ReadStatus status;
    std::uint8_t byte;
    std::int64_t ms;  // clock time the read takes
  };

  // Script.
  void Bytes(const std::string& bytes, std::int64_t ms_each = 0);
  void Silence(int cycles);
  void ReadError();

  // PortFactory
  molvex::ByteChannel* Open(std::int32_t port, std::int32_t baud) override;
  // ByteChannel
  bool Write(const std::uint8_t* data, std::size_t size) override;
  void Flush() override { ++flushes; }
  void Discard() override { ++discards; }
  molvex::ReadStatus ReadByte(std::uint8_t& byte) override;
  void ClearError() override { ++error_clears; }
  void Close() override { ++closes; }
  std::int32_t Handle() const override { return 7; }

  molvex::FakeClock clock;
  std::deque<Event> script;
  std::vector<std::string> writes;
  int reads = 0;  // every ReadByte call
  int flushes = 0;
  int discards = 0;
  int error_clears = 0;
  int closes = 0;
  bool refuse_open = false;
  int opened_port = 0;
  int opened_baud = 0;
};

using testsupport::ReplyFrame;

// The same with the check digits of another sum.
std::string ReplyFrameBadCheck(std::uint8_t sequence, std::uint8_t command,
                               const std::string& data);

// The sequence byte of the next request's frame (a reply to it carries the same).
std::uint8_t NextSequence();

// Opens the scripted channel as the link's port, its clock as the link's, and resets the link to
// a fresh process.
void OpenScripted(ScriptedChannel& channel);

std::string Hex(const std::string& bytes);

}  // namespace linktest
