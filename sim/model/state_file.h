// What the virtual printer remembers: fiscal memory, day totals, tables and settings.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "link/command_codes.h"
#include "platform/clock.h"

namespace molvex::sim {

constexpr int kArticleCount = kPrnArticleCount;
constexpr int kOperatorCount = 15;  // operators 1..15
constexpr int kTaxGroups = kPrnTaxGroups;
constexpr int kPaymentTypes = kPrnPaymentTypes;
constexpr int kFiscalMemorySlots = 2000;
constexpr int kFiscalMemoryNearlyFull = 1950;
constexpr const char* kPaymentLetters = kPrnPaymentLetters;

struct Article {
  bool used = false;
  std::uint8_t tax = 0xC0;         // tax letter byte
  int group = 0;                   // 0..99
  std::int64_t price = 0;          // hundredths
  std::string name;                // Windows-1251
  std::int64_t sold_quantity = 0;  // thousandths, since the last Z report
  std::int64_t sold_sum = 0;       // hundredths, since the last Z report
  int sales = 0;                   // sale lines since the last Z report
};

struct Operator {
  std::string name;
  std::string password;  // empty: any password is accepted
};

struct ZRecord {
  int number = 0;
  LocalDateTime when{};
  std::int64_t sales = 0;    // hundredths
  std::int64_t refunds = 0;  // hundredths
  int receipts = 0;
};

struct NetSettings {
  bool dhcp = false;
  std::uint32_t address = 0xC0A80064;  // 192.168.0.100
  std::uint32_t mask = 0xFFFFFF00;
  std::uint32_t gateway = 0xC0A80001;
  std::uint32_t target = 0x0A000005;
  std::uint16_t target_port = 8000;
  std::uint16_t repeat_period = 60;
  std::uint16_t repeat_by_error = 5;
  bool print_report = false;
};

// Day totals, cleared by a Z report.
struct DayTotals {
  std::array<std::int64_t, kTaxGroups> sales{};
  std::array<std::int64_t, kTaxGroups> refunds{};
  std::array<std::int64_t, kPaymentTypes> payments{};
  std::array<std::int64_t, kPaymentTypes> refund_payments{};
  int receipts = 0;
  int refund_receipts = 0;
  int non_fiscal = 0;
  int voided = 0;
  std::int64_t service_in = 0;
  std::int64_t service_out = 0;
};

// Everything --state keeps across restarts.
struct DeviceState {
  int z_number = 0;                 // number of the last Z report
  int receipt_number = 0;           // number of the last closed fiscal or refund receipt
  int document_number = 0;          // last electronic-journal document
  std::int64_t clock_offset_s = 0;  // device clock minus host clock, set by command 61
  std::int64_t cash = 0;            // cash in the drawer, hundredths
  DayTotals day;
  DayTotals last_z;  // the day totals that the last Z report closed
  std::vector<Article> articles = std::vector<Article>(kArticleCount + 1);
  std::array<Operator, kOperatorCount + 1> operators{};
  std::string admin_password;  // empty: any password is accepted
  NetSettings net;
  std::vector<ZRecord> z_history;
  std::string z_data;  // text of the last Z report, served by command 167
  LocalDateTime personalised{2026, 1, 15, 9, 30, 0};
  LocalDateTime last_sent{};
};

// Writes the state as text; false when the file cannot be written.
bool SaveState(const DeviceState& state, const std::string& path);
// Reads a state written by SaveState; false (state untouched) when missing or malformed.
bool LoadState(DeviceState& state, const std::string& path);

// Calendar arithmetic for the device clock.
std::int64_t ToEpochSeconds(const LocalDateTime& t);
LocalDateTime FromEpochSeconds(std::int64_t s);

}  // namespace molvex::sim
