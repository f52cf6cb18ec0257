// Call lines: forms, typed arguments, and every way a line can be refused.
#include <gtest/gtest.h>

#include <string>

#include "tools/ecrfisc/call_parser.h"

namespace molvex::ecrfisc {
namespace {

struct GoodCase {
  const char* line;
  const char* name;
  EntryKind kind;
  // The in-arguments as the parser read them, "|"-joined: integers, reals (%g) and texts.
  const char* args;
};

std::string Joined(const ParsedCall& call) {
  std::string out;
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    const ParamInfo& p = call.slot->params[i];
    if (p.dir != ParamDir::In) continue;
    if (!out.empty()) out += "|";
    char buf[64];
    switch (p.type) {
      case AutoType::R8:
        std::snprintf(buf, sizeof buf, "%g", call.args[i].real);
        out += buf;
        break;
      case AutoType::Bstr:
        out += "<" + call.args[i].text + ">";
        break;
      default:
        out += std::to_string(call.args[i].integer);
    }
  }
  return out;
}

TEST(CallParser, ReadsEveryFormAndType) {
  const GoodCase cases[] = {
      {"SetComPort 1 115200", "SetComPort", EntryKind::Method, "1|115200"},
      {"  SetComPort\t+1   -2147483648 ", "SetComPort", EntryKind::Method, "1|-2147483648"},
      {"OpenFiscReceipt 1 3 \"\"", "OpenFiscReceipt", EntryKind::Method, "1|3|<>"},
      {"DisplayUP \"Hello world\"", "DisplayUP", EntryKind::Method, "<Hello world>"},
      {"DisplayUP \"say \\\"hi\\\" \\\\ \\n\"", "DisplayUP", EntryKind::Method,
       "<say \"hi\" \\ \\n>"},
      {"DisplayUP a\"b c\"d", "DisplayUP", EntryKind::Method, "<ab cd>"},
      {"DisplayUP Привет", "DisplayUP", EntryKind::Method, "<Привет>"},
      {"DisplayUP a=b", "DisplayUP", EntryKind::Method, "<a=b>"},
      {"Payment 12.5 0", "Payment", EntryKind::Method, "12.5|0"},
      {"Payment -3 1\r", "Payment", EntryKind::Method, "-3|1"},
      {"SellArtCash true 7 1.5e0 0 0", "SellArtCash", EntryKind::Method, "-1|7|1.5|0|0"},
      {"SubTotalDS FALSE 1 0 0", "SubTotalDS", EntryKind::Method, "0|-1|0|0"},
      {"GetStatusFP -1", "GetStatusFP", EntryKind::Method, "-1"},
      {"ProgramArt 192 1 0 9.99 0000 Хлеб", "ProgramArt", EntryKind::Method,
       "192|1|0|9.99|<0000>|<Хлеб>"},
      {"ClearOperatorPassword 9999 2", "ClearOperatorPassword", EntryKind::Method, "<9999>|2"},
      {"GetSerNumber", "GetSerNumber", EntryKind::Method, ""},
      {"StatusBytes", "StatusBytes", EntryKind::PropGet, ""},
      {"statusbytes", "StatusBytes", EntryKind::PropGet, ""},
      {"FPIndexStatus", "FPIndexStatus", EntryKind::PropGet, ""},
      {"FPIndexStatus = 5", "FPIndexStatus", EntryKind::PropPut, "5"},
      {"FPIndexStatus=-1", "FPIndexStatus", EntryKind::PropPut, "-1"},
      {"ServiceIn = 12.50", "ServiceIn", EntryKind::PropPut, "12.5"},
      {"StatIPPr = \"\"", "StatIPPr", EntryKind::PropPut, "<>"},
      {"StatIPPr=\"\"", "StatIPPr", EntryKind::PropPut, "<>"},
      {"StatIPPr = 192.168.0.1", "StatIPPr", EntryKind::PropPut, "<192.168.0.1>"},
      {"PrintReportModem = true", "PrintReportModem", EntryKind::PropPut, "-1"},
  };
  for (const GoodCase& c : cases) {
    const ParsedCall call = ParseCall(c.line);
    ASSERT_TRUE(call.error.empty()) << c.line << ": " << call.error;
    ASSERT_NE(call.slot, nullptr) << c.line;
    EXPECT_EQ(call.name, c.name) << c.line;
    EXPECT_EQ(call.slot->kind, c.kind) << c.line;
    EXPECT_EQ(call.args.size(), call.slot->params.size()) << c.line;
    EXPECT_EQ(Joined(call), c.args) << c.line;
  }
}

TEST(CallParser, BlankLinesAndCommentsRunNothing) {
  for (const char* line : {"", "   \t", "# a comment", "  #SetComPort 1 9600", "\r"}) {
    const ParsedCall call = ParseCall(line);
    EXPECT_TRUE(call.blank) << line;
    EXPECT_TRUE(call.error.empty()) << line;
  }
  EXPECT_FALSE(ParseCall("\"#\"").blank);  // a quoted name is no comment
}

TEST(CallParser, RefusesWhatCannotRunWithAClearReason) {
  struct BadCase {
    const char* line;
    const char* name;    // "call" of the error line
    const char* reason;  // part of the message
  };
  const BadCase cases[] = {
      {"NoSuchEntry 1", "NoSuchEntry", "unknown entry \"NoSuchEntry\""},
      {"SetComPort 1", "SetComPort", "takes NumPort INT, Speed INT, got 1 argument"},
      {"SetComPort 1 2 3", "SetComPort", "got 3 arguments"},
      {"IsPresent 1", "IsPresent", "takes no arguments, got 1"},
      {"StatusBytes 1", "StatusBytes", "takes no arguments"},
      {"SetComPort 99999999999 9600", "SetComPort", "NumPort INT): out of range"},
      {"SetComPort 2147483648 9600", "SetComPort", "out of range -2147483648..2147483647"},
      {"SetComPort 1 12x", "SetComPort", "Speed INT): not a decimal integer"},
      {"SetComPort 0x10 9600", "SetComPort", "not a decimal integer"},
      {"SetComPort 1.0 9600", "SetComPort", "not a decimal integer"},
      {"SetComPort \"\" 9600", "SetComPort", "not a decimal integer"},
      {"ProgramArt 300 1 0 1 0 x", "ProgramArt", "Tax UI1): out of range 0..255"},
      {"ProgramArt -1 1 0 1 0 x", "ProgramArt", "out of range 0..255"},
      {"Payment 12,5 0", "Payment", "decimal separator is \".\""},
      {"Payment inf 0", "Payment", "Summa R8): not a number"},
      {"Payment nan 0", "Payment", "not a number"},
      {"Payment 1e999 0", "Payment", "number out of range"},
      {"Payment 1..2 0", "Payment", "not a number"},
      {"GetStatusFP yes", "GetStatusFP", "not a boolean"},
      {"GetStatusFP 2", "GetStatusFP", "not a boolean"},
      {"DisplayUP \"open", "DisplayUP", "unbalanced quote"},
      {"DisplayUP \"a\\\"", "DisplayUP", "unbalanced quote"},
      {"DisplayUP \xC3\x28", "DisplayUP", "TextDisp BSTR): not valid UTF-8"},
      {"DisplayUP \xED\xA0\x80", "DisplayUP", "not valid UTF-8"},
      {"StatusBytes = 1", "StatusBytes", "StatusBytes cannot be written"},
      {"IsPresent = 1", "IsPresent", "cannot be written"},
      {"TotalIdx", "TotalIdx", "can only be written: TotalIdx = value"},
      {"FPIndexStatus =", "FPIndexStatus", "= takes one value (Value I4)"},
      {"FPIndexStatus = 1 2", "FPIndexStatus", "= takes one value"},
      {"FPIndexStatus = abc", "FPIndexStatus", "Value I4): not a decimal integer"},
      {"= 5", "", "no entry name"},
  };
  for (const BadCase& c : cases) {
    const ParsedCall call = ParseCall(c.line);
    EXPECT_FALSE(call.blank) << c.line;
    EXPECT_EQ(call.slot, nullptr) << c.line;
    EXPECT_EQ(call.name, c.name) << c.line;
    EXPECT_NE(call.error.find(c.reason), std::string::npos) << c.line << " -> " << call.error;
  }
  // A text with a NUL inside is refused rather than cut short.
  const ParsedCall nul = ParseCall(std::string("DisplayUP \"a\0b\"", 16));
  EXPECT_NE(nul.error.find("NUL"), std::string::npos) << nul.error;
}

TEST(CallParser, HugeLinesAreParsedOrRefusedWhole) {
  const std::string text(200000, 'x');
  const ParsedCall call = ParseCall("DisplayUP " + text);
  ASSERT_TRUE(call.error.empty());
  EXPECT_EQ(call.args.at(0).text.size(), text.size());
  EXPECT_FALSE(ParseCall("SetComPort 1 " + std::string(5000, '9')).error.empty());
}

TEST(SplitExpected, TheWordsAfterTheFirstArrowOutsideQuotes) {
  struct Case {
    const char* line;
    const char* call;
    const char* expected;  // nullptr: no expectation
  };
  const Case cases[] = {
      {"IsPresent", "IsPresent", nullptr},
      {"IsPresent => Result = true", "IsPresent ", "Result = true"},
      {"IsPresent=>Result = true\r", "IsPresent", "Result = true"},
      {"GetReceiptSum =>", "GetReceiptSum ", ""},
      {"DisplayUP \"a => b\" => Result = true", "DisplayUP \"a => b\" ", "Result = true"},
      {"DisplayUP \"q\\\" => \" => Result = false", "DisplayUP \"q\\\" => \" ", "Result = false"},
      {"DisplayUP \"open => x", "DisplayUP \"open => x", nullptr},
      {"FPIndexStatus = 5 => written", "FPIndexStatus = 5 ", "written"},
      {"A => b => c", "A ", "b => c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const CallLine split = SplitExpected(c.line);
    EXPECT_EQ(split.call, c.call);
    EXPECT_EQ(split.has_expected, c.expected != nullptr);
    if (c.expected != nullptr) {
      EXPECT_EQ(split.expected, c.expected);
    }
  }
}

}  // namespace
}  // namespace molvex::ecrfisc
