#include "tests/link/scripted_channel.h"

#include <cstdio>

namespace linktest {

namespace {
constexpr std::int64_t kReadMs = 100;  // a read that gets nothing
}  // namespace

void ScriptedChannel::Bytes(const std::string& bytes, std::int64_t ms_each) {
  for (char c : bytes) {
    script.push_back({molvex::ReadStatus::Byte, static_cast<std::uint8_t>(c), ms_each});
  }
}

void ScriptedChannel::Silence(int cycles) {
  for (int i = 0; i < cycles; ++i) script.push_back({molvex::ReadStatus::Timeout, 0, kReadMs});
}

void ScriptedChannel::ReadError() {
  script.push_back({molvex::ReadStatus::Error, 0, 0});
}

molvex::ByteChannel* ScriptedChannel::Open(std::int32_t port, std::int32_t baud) {
  opened_port = port;
  opened_baud = baud;
  return refuse_open ? nullptr : this;
}

bool ScriptedChannel::Write(const std::uint8_t* data, std::size_t size) {
  writes.emplace_back(reinterpret_cast<const char*>(data), size);
  return true;
}

molvex::ReadStatus ScriptedChannel::ReadByte(std::uint8_t& byte) {
  ++reads;
  if (script.empty()) {
    clock.Advance(kReadMs);
    return molvex::ReadStatus::Timeout;
  }
  const Event e = script.front();
  script.pop_front();
  clock.Advance(e.ms);
  byte = e.byte;
  return e.status;
}

std::string ReplyFrameBadCheck(std::uint8_t sequence, std::uint8_t command,
                               const std::string& data) {
  return ReplyFrame(sequence, command, data, std::string(6, '\x80'), 1);
}

void OpenScripted(ScriptedChannel& channel) {
  LinkReset();
  LinkSetPortFactory(&channel);
  LinkSetClock(&channel.clock);
  PrnOpenPort(1, 115200);
}

std::uint8_t NextSequence() {
  return static_cast<std::uint8_t>((SequenceCounter + 1) % 95 + 0x20);
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", static_cast<std::uint8_t>(c));
    out += buf;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

}  // namespace linktest
