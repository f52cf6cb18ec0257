// Amounts, documents and settings as the print service reads them, without a printer.
#include <gtest/gtest.h>

#include <charconv>
#include <string>

#include "service/documents.h"
#include "service/exact_json.h"
#include "service/settings.h"

namespace molvex::service {
namespace {

TEST(ExactAmounts, DecimalTextsAreReadExactlyOrRefused) {
  struct Case {
    const char* text;
    int decimals;
    std::optional<std::int64_t> units;
  };
  const Case cases[] = {
      {"12", 2, 1200},
      {"12.5", 2, 1250},
      {"0.29", 2, 29},
      {"-0.10", 2, -10},
      {"1.500", 3, 1500},
      {"999999999.99", 2, 99999999999},
      {"12.345", 2, {}},
      {"1e2", 2, {}},
      {"12.", 2, {}},
      {".5", 2, {}},
      {"+1", 2, {}},
      {"1 2", 2, {}},
      {"", 2, {}},
      {"-", 2, {}},
      {"0x10", 2, {}},
      {"1,5", 2, {}},
      {"9999999999999999", 2, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseDecimal(c.text, c.decimals, kMaxAmount), c.units) << c.text;
  }
}

TEST(ExactAmounts, JsonNumbersKeepTheirTextAndReachThePrinterWithTheSameDigits) {
  std::string error;
  const auto doc = ParseExactJson(R"({"a": 0.29, "b": 1.15, "c": 12, "d": 1e2})", error);
  ASSERT_TRUE(doc) << error;
  EXPECT_EQ(NumberText(doc->at("a")), "0.29");
  EXPECT_EQ(NumberText(doc->at("b")), "1.15");
  EXPECT_EQ(NumberText(doc->at("c")), "12");
  EXPECT_EQ(ParseDecimal(NumberText(doc->at("d")), 2, kMaxAmount), std::nullopt);
  // The object formats every amount with two (quantities three) decimals: the double handed to it
  // gives back exactly the digits of the document, across the whole range of small amounts and at
  // the largest ones.
  auto same_digits = [](std::int64_t units, int decimals) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, DecimalToDouble(units, decimals),
                                 std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr) == FormatDecimal(units, decimals);
  };
  for (std::int64_t units = 0; units <= 2'000'000; ++units) {
    ASSERT_TRUE(same_digits(units, 2)) << units;
  }
  for (std::int64_t units : {kMaxAmount, kMaxAmount - 1, std::int64_t{123456789012}}) {
    EXPECT_TRUE(same_digits(units, 2)) << units;
  }
  EXPECT_TRUE(same_digits(kMaxQuantity, 3));
  EXPECT_EQ(DoubleToUnits(0.29, 2), 29);
}

TEST(ExactAmounts, HostileJsonIsRefusedWithAReason) {
  std::string error;
  EXPECT_FALSE(ParseExactJson(std::string(100, '[') + std::string(100, ']'), error));
  EXPECT_NE(error.find("nested"), std::string::npos) << error;
  error.clear();
  EXPECT_FALSE(ParseExactJson("{\"a\": \"\xff\"}", error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(ParseExactJson("{\"a\": 1} trailing", error));
}

TEST(ExactAmounts, CanonicalFormIgnoresKeyOrderAndBlanksButNotValues) {
  std::string error;
  const auto a = ParseExactJson(R"({"b": 1.50, "a": [1, "x"]})", error);
  const auto b = ParseExactJson(R"({ "a":[1,"x"],"b":1.50 })", error);
  const auto c = ParseExactJson(R"({"a": [1, "x"], "b": 1.5})", error);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(CanonicalJson(*a), CanonicalJson(*b));
  EXPECT_NE(CanonicalJson(*a), CanonicalJson(*c));
}

TEST(Settings, ReadsEveryKeyAndRefusesWhatItDoesNotKnow) {
  std::vector<std::string> errors;
  const ServiceSettings s = ParseSettings(
      "[service]\nlisten = 127.0.0.1, 10.0.0.5\nport = 9000\ntoken_file = /etc/t\n"
      "allowed_origins = https://pos.example.com, http://localhost:3000\nbody_limit = 4096\n"
      "journal = /var/lib/j.sqlite\n[printer:front-1]\nport = 3\nspeed = 19200\n"
      "device = /dev/ttyUSB0\n",
      errors);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(s.listen, (std::vector<std::string>{"127.0.0.1", "10.0.0.5"}));
  EXPECT_EQ(s.port, 9000);
  EXPECT_EQ(s.allowed_origins.size(), 2u);
  EXPECT_EQ(s.body_limit, 4096u);
  ASSERT_EQ(s.printers.size(), 1u);
  EXPECT_EQ(s.printers[0].id, "front-1");
  EXPECT_EQ(s.printers[0].port, 3);
  EXPECT_EQ(s.printers[0].speed, 19200);
  EXPECT_EQ(s.printers[0].device, "/dev/ttyUSB0");

  const ServiceSettings defaults = ParseSettings("", errors);
  EXPECT_EQ(defaults.listen, (std::vector<std::string>{"127.0.0.1", "::1"}));
  EXPECT_TRUE(defaults.allowed_origins.empty());

  for (const char* bad :
       {"[service]\nport = 0\n", "[service]\nport = 8x\n", "[service]\nlisten =\n",
        "[service]\nallowed_origins = *\n", "[service]\nallowed_origins = https://a.example/\n",
        "[service]\nbody_limit = 10\n", "[service]\nlistne = ::1\n", "[printer:a/b]\nport = 1\n",
        "[printer:x]\nport = 300\n", "[printer:x]\nbaud = 9600\n", "[other]\nkey = 1\n",
        "no section line\n"}) {
    errors.clear();
    ParseSettings(bad, errors);
    EXPECT_FALSE(errors.empty()) << bad;
  }
}

}  // namespace
}  // namespace molvex::service
