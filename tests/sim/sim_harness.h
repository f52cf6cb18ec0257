// Helpers for the virtual printer tests: raw frames against the model, and the real link over
// the in-process port.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/link.h"
#include "link/status_map.h"
#include "platform/clock.h"
#include "sim/wire/in_process_port.h"
#include "sim/wire/virtual_printer.h"

namespace simtest {

// What came back for one request, read byte by byte from the model.
struct RawReply {
  std::vector<std::uint8_t> bytes;  // everything received, SYN included
  bool nak = false;
  bool frame = false;     // a whole reply frame arrived
  bool check_ok = false;  // its check digits match
  int syn = 0;
  std::uint8_t sequence = 0;
  int command = 0;
  std::string data;
  std::array<std::uint8_t, 6> status{};
};

// Sends raw bytes at `now_ms` and reads what the printer sends within `listen_ms` (or until a
// frame or NAK is complete); the clock ends at the last byte read.
RawReply Exchange(molvex::sim::VirtualPrinter& printer, molvex::FakeClock& clock,
                  const std::vector<std::uint8_t>& request, std::int64_t listen_ms = 10000);

// Parses a reply frame out of a byte stream (the last preamble starts it).
bool ParseReply(const std::vector<std::uint8_t>& bytes, RawReply& out);

// The result of one transaction through the link, copied out of RetData.
struct LinkReply {
  std::int32_t result = 0;
  std::uint32_t error = 0;
  std::string reply;  // reply data before splitting
  std::vector<std::string> fields;
  std::array<std::uint8_t, 6> status{};
  std::string Field(std::size_t n) const {
    return n >= 1 && n <= fields.size() ? fields[n - 1] : "<none>";
  }
};

// The link opened on an in-process virtual printer with a fake clock.
class LinkedPrinter : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  LinkReply Run(int command, const std::string& data = "");
  // Runs and expects a reply without any failure bit.
  LinkReply Ok(int command, const std::string& data = "");
  void ProgramArticle(int number, char tax, const std::string& price, const std::string& name);

  molvex::FakeClock clock;
  molvex::sim::InProcessPort port{clock};
  molvex::sim::VirtualPrinter& printer = port.printer();
  molvex::sim::Device& device = port.device();
};

}  // namespace simtest
