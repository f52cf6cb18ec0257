// Client texts and numbers refused before anything is sent, over the whole interface: every text
// parameter of the interface table with a control byte, every one with a comma (refused only
// where the text goes into a comma-separated field), and the numbers that would change the
// meaning of a command. The calls go through the bindings of the command-line client, so the
// parameters are the table's.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "link/link.h"
#include "object/object_state.h"
#include "platform/clock.h"
#include "platform/error_info.h"
#include "sim/wire/in_process_port.h"
#include "tools/ecrfisc/call_parser.h"
#include "tools/ecrfisc/entry_bindings.h"

namespace molvex::ecrfisc {
namespace {

class RefusalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A settings file that keeps the Z reports some calls make in a directory of their own.
    dir_ =
        std::filesystem::temp_directory_path() / ("molvex-refusals-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::ofstream(dir_ / "ZRepRec.ini")
        << "[Identification]\nIdReastaurant=1\n[Files]\nLocalPath=" << dir_.string() << "/\n";
    setenv("MOLVEXECR_DIR", dir_.c_str(), 1);
    LinkReset();
    ResetObjectState();
    ClearErrorInfo();
    LinkSetPortFactory(&port_);
    int result = 0;
    ASSERT_EQ(object_.SetComPort(1, 115200, &result), S_OK);
    ASSERT_EQ(result, 1);
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    PrnClosePort();
    LinkSetPortFactory(nullptr);
    LinkReset();
    ResetObjectState();
  }

  // Arguments for every in-parameter of `slot` that the entry accepts: 1 for numbers, true,
  // tax 0 (А), the text "1".
  static std::vector<ArgValue> Plain(const SlotInfo& slot) {
    std::vector<ArgValue> args(slot.params.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
      switch (slot.params[i].type) {
        case AutoType::UI1:
          args[i].integer = 0;
          break;
        case AutoType::Bool:
          args[i].integer = -1;
          break;
        case AutoType::R8:
          args[i].real = 1.0;
          break;
        case AutoType::Bstr:
          args[i].text = "1";
          break;
        default:
          args[i].integer = 1;
      }
    }
    return args;
  }

  LONG Read(HRESULT (TTECRFiscImpl::*get)(LONG*)) {
    LONG value = 99;
    EXPECT_EQ((object_.*get)(&value), S_OK);
    return value;
  }

  // A call that succeeds, so that a refusal shows in StatusBytes; then nothing on record.
  void Succeed() {
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(object_.IsPresent(&ok), S_OK);
    ASSERT_EQ(ok, VARIANT_TRUE);
    port_.printer().ClearRequests();
  }

  std::filesystem::path dir_;
  FakeClock clock_;
  sim::InProcessPort port_{clock_, {0.0, 0}};
  TTECRFiscImpl object_;
};

// Every text parameter of the interface, each control byte: refused with nothing sent, the
// description naming the parameter (a property write: the property) and the position. A method also
// gives its refusal values; a property write leaves the outcome of the last call alone.
TEST_F(RefusalTest, EveryTextParameterRefusesControlBytes) {
  std::set<std::string> seen;
  for (const SlotInfo& slot : InterfaceSlots()) {
    for (std::size_t p = 0; p < slot.params.size(); ++p) {
      const ParamInfo& param = slot.params[p];
      if (param.type != AutoType::Bstr || param.dir != ParamDir::In) continue;
      seen.insert(std::string(slot.name) + "." + std::string(param.name));
      for (const char byte : {'\x01', '\x03', '\x05', '\x09', '\x0A', '\x15', '\x16', '\x7F'}) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(byte));
        SCOPED_TRACE(std::string(slot.name) + " " + std::string(param.name) + " " + hex);
        Succeed();
        std::vector<ArgValue> args = Plain(slot);
        args[p].text = std::string("ab") + byte + "cd";
        std::vector<ArgValue> outs;
        const std::uint64_t bytes_before = port_.printer().bytes_in();
        EXPECT_EQ(InvokeSlot(object_, slot, args, outs), DISP_E_EXCEPTION);
        EXPECT_EQ(port_.printer().bytes_in(), bytes_before) << "not one byte reached the printer";
        ErrorInfoRecord info;
        ASSERT_TRUE(TakeErrorInfo(info));
        EXPECT_EQ(info.source, "MolvexECR.TECRFisc");
        // A property write names the property.
        const std::string_view named = slot.kind == EntryKind::PropPut ? slot.name : param.name;
        EXPECT_EQ(info.description.rfind(
                      std::string(named) + ": character 3 is the " + "control character " + hex, 0),
                  0u)
            << info.description;
        const bool method = slot.kind == EntryKind::Method;
        EXPECT_EQ(Read(&TTECRFiscImpl::get_StatusBytes), method ? -1 : 0);
        if (method) {
          EXPECT_EQ(Read(&TTECRFiscImpl::GetError), 1);
        }
        if (method && slot.params.back().type == AutoType::Bool) {
          EXPECT_EQ(outs.back().integer, 0) << "the refusal value false";
        }
      }
    }
  }
  EXPECT_TRUE(seen.count("DisplayUP.TextDisp") == 1 && seen.count("SellArticul.NameArt") == 1 &&
              seen.count("StatIPPr.Value") == 1)
      << "the table's text parameters were not walked";
}

// A comma is refused exactly where the text goes into a field that the data text separates with
// commas (and a blank in the date of WriteDateTime); everywhere else it is sent.
TEST_F(RefusalTest, SeparatorsAreRefusedWhereTheyEndTheField) {
  const std::map<std::string, std::string> refused = {
      {"OpenFiscReceipt.OperatorPSW", ","},
      {"OpenRefundReceipt.OperatorPSW", ","},
      {"NullReceipt.OperatorPSW", ","},
      {"NewPayment.CodeTrasaction", ","},
      {"SellArticul.NameArt", ","},
      {"SellArticul.Password", ","},
      {"XReport.Password", ","},
      {"ZReport.Password", ","},
      {"PeriodRepByNumb.Password", ","},
      {"PeriodRepByNumbFull.Password", ","},
      {"PeriodRepByDate.Password", ","},
      {"PeriodRepByDate.DateStart", ","},
      {"PeriodRepByDate.DateEnd", ","},
      {"PeriodRepByDateFull.Password", ","},
      {"PeriodRepByDateFull.DateStart", ","},
      {"PeriodRepByDateFull.DateEnd", ","},
      {"ArticulsReports.Password", ","},
      {"ProgramArt.Password", ","},
      {"ProgramArt.Name", ","},
      {"DeleteArt.Password", ","},
      {"ChangePrice.Password", ","},
      {"SetOperatorName.Password", ","},
      {"SetOperatorName.OperatorName", ","},
      {"SetOperatorPassword.OldPassword", ","},
      {"SetOperatorPassword.NewPassword", ","},
      {"ClearOperatorPassword.AdministatorPassword", ","},
      {"WriteDateTime.Date", " "},
  };
  const std::map<char, std::string> names = {{',', "a comma (',')"}, {' ', "a blank (' ')"}};
  std::size_t matched = 0;
  for (const SlotInfo& slot : InterfaceSlots()) {
    for (std::size_t p = 0; p < slot.params.size(); ++p) {
      const ParamInfo& param = slot.params[p];
      if (param.type != AutoType::Bstr || param.dir != ParamDir::In) continue;
      const std::string key = std::string(slot.name) + "." + std::string(param.name);
      const auto found = refused.find(key);
      for (const char separator : {',', ' '}) {
        SCOPED_TRACE(key + " '" + separator + "'");
        const bool refuse =
            found != refused.end() && found->second.find(separator) != std::string::npos;
        Succeed();
        std::vector<ArgValue> args = Plain(slot);
        args[p].text = std::string("2") + separator + "5";
        std::vector<ArgValue> outs;
        const HRESULT hr = InvokeSlot(object_, slot, args, outs);
        ErrorInfoRecord info;
        const bool raised = TakeErrorInfo(info);
        if (refuse) {
          EXPECT_EQ(hr, DISP_E_EXCEPTION);
          EXPECT_TRUE(port_.requests().empty());
          EXPECT_EQ(info.description.rfind(
                        std::string(param.name) + ": character 2 is " + names.at(separator), 0),
                    0u)
              << info.description;
        } else {
          EXPECT_EQ(hr, S_OK) << info.description;
          EXPECT_FALSE(raised);
        }
      }
      if (found != refused.end()) ++matched;
    }
  }
  EXPECT_EQ(matched, refused.size()) << "a name in the list is no text parameter of the table";
}

// Numbers that the printer would read as another command or another meaning: refused with the
// refusal values, nothing sent (not even the status pre-read).
TEST_F(RefusalTest, ArgumentsThatChangeACommandsMeaningAreRefused) {
  const char* const lines[] = {
      // "-1*2.000" takes back the earlier line of article 1; article 0 is none.
      "SellArtCash true -1 2 0 0",
      "SellArtCash false 0 1 0 0",
      "SellArtCashDS true -5 1 0 0",
      // Operator and till travel as five digits: a negative one as its ten-digit unsigned value.
      "OpenFiscReceipt -1 1 \"\"",
      "OpenFiscReceipt 1 100000 \"\"",
      "OpenRefundReceipt 100000 1 \"\"",
      "NullReceipt 1 -1 \"\"",
      // The printer's operators are 1..15: another number is another operator's record.
      "SetOperatorName 0 \"\" Anna",
      "SetOperatorName 16 \"\" Anna",
      "SetOperatorPassword -1 \"\" x",
      // A tax or group that would be sold under another (А, group 1), a negative quantity.
      "SellArticul Milk 10 1 7 1 \"\" 0 0",
      "SellArticul Milk 10 1 197 1 \"\" 0 0",
      "SellArticul Milk 10 1 0 0 \"\" 0 0",
      "SellArticul Milk 10 1 0 100 \"\" 0 0",
      "SellArticul Milk 10 -1 0 1 \"\" 0 0",
      // The bar code kind is one digit: 10 would be ":", 258 the digit 2, -1 "/".
      "MakeBarcode -1 123",
      "MakeBarcode 10 123",
      "MakeBarcode 258 123",
      // A price of 0 or below.
      "ChangePrice 5 -1 \"\"",
      "ChangePrice 5 0 \"\"",
      // A negative Z number travels as "-001".
      "PeriodRepByNumb \"\" -1 5",
      "PeriodRepByNumbFull \"\" 1 -5",
  };
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    const ParsedCall call = ParseCall(line);
    ASSERT_TRUE(call.error.empty()) << call.error;
    Succeed();
    std::vector<ArgValue> outs;
    ASSERT_EQ(InvokeSlot(object_, *call.slot, call.args, outs), S_OK);
    EXPECT_EQ(outs.back().integer, 0) << "the refusal value";
    EXPECT_TRUE(port_.requests().empty()) << "sent: command " << port_.requests()[0].command;
    EXPECT_EQ(Read(&TTECRFiscImpl::get_StatusBytes), -1);
    EXPECT_EQ(Read(&TTECRFiscImpl::GetError), 1);
  }
}

}  // namespace
}  // namespace molvex::ecrfisc
