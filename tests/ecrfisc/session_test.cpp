// ecrfisc sessions in-process against the virtual printer: the JSON and text lines, the texts
// across the boundary, usage errors that leave the session running, the probe, the reason of a
// port that did not open, and the bindings of every slot.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/link.h"
#include "object/object_state.h"
#include "platform/clock.h"
#include "sim/wire/in_process_port.h"
#include "tools/ecrfisc/entry_bindings.h"
#include "tools/ecrfisc/port_error.h"
#include "tools/ecrfisc/session.h"

namespace molvex::ecrfisc {
namespace {

using Json = nlohmann::ordered_json;

const std::string kPrivet = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";  // "Привет" UTF-8
const std::string kPrivet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";                      // the same, 1251
constexpr std::array<std::uint8_t, 6> kCleanStatus = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80};

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // No settings file here: SetComPort answers 100 and keeps the port open.
    setenv("MOLVEXECR_DIR", ::testing::TempDir().c_str(), 1);
    LinkReset();
    ResetObjectState();
    LinkSetPortFactory(&port_);
  }
  void TearDown() override {
    PrnClosePort();
    LinkSetPortFactory(nullptr);
    LinkReset();
    ResetObjectState();
  }

  std::string Run(const std::string& script, SessionOptions options) {
    std::istringstream in(script);
    std::ostringstream out;
    Session session(object_, out, options);
    usage_errors_ = session.RunStream(in);
    return out.str();
  }

  std::vector<Json> RunJson(const std::string& script, bool state = false) {
    std::vector<Json> lines;
    std::istringstream out(Run(script, {true, state, false}));
    for (std::string line; std::getline(out, line);) lines.push_back(Json::parse(line));
    return lines;
  }

  // Data texts the printer received for this command code.
  std::vector<std::string> Sent(int command) const {
    std::vector<std::string> data;
    for (const auto& r : port_.requests()) {
      if (r.command == command) data.push_back(r.data);
    }
    return data;
  }

  FakeClock clock_;
  sim::InProcessPort port_{clock_, {0.0, 0}};
  TTECRFiscImpl object_;
  std::size_t usage_errors_ = 0;
};

TEST_F(SessionTest, JsonLinesHaveTheAgreedShapeAndTheSessionSurvivesBadLines) {
  const auto lines = RunJson(
      "SetComPort 1 115200\n"
      "IsPresent\n"
      "NoSuchEntry 1\n"
      "SetComPort 1\n"
      "DisplayUP \"" +
      kPrivet +
      " 1\"\n"
      "FPIndexStatus = 5\n"
      "FPIndexStatus\n"
      "GetVerDLL\n"
      "\n# comment\n"
      "GetError\n");
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(usage_errors_, 2u);

  EXPECT_EQ(lines[0].dump(), R"({"call":"SetComPort","hresult":0,"out":{"Result":100}})");
  EXPECT_EQ(lines[1].dump(), R"({"call":"IsPresent","hresult":0,"out":{"Result":-1}})");
  EXPECT_EQ(lines[2]["call"], "NoSuchEntry");
  EXPECT_NE(lines[2]["usage_error"].get<std::string>().find("unknown entry"), std::string::npos);
  EXPECT_FALSE(lines[2].contains("hresult"));
  EXPECT_EQ(lines[3]["call"], "SetComPort");
  EXPECT_TRUE(lines[3].contains("usage_error"));
  EXPECT_EQ(lines[4].dump(), R"({"call":"DisplayUP","hresult":0,"out":{"Result":-1}})");
  EXPECT_EQ(lines[5].dump(), R"({"call":"FPIndexStatus","hresult":0,"out":{}})");
  EXPECT_EQ(lines[6]["out"]["Value"], 5);
  EXPECT_TRUE(lines[7]["out"]["Version"].is_string());
  EXPECT_EQ(lines[8]["out"]["Error"], 0);

  // The display text reached the printer as Windows-1251 bytes, blank and all.
  EXPECT_EQ(Sent(47), std::vector<std::string>{kPrivet1251 + " 1"});
}

// A port driver that fails with an exception: the object reports it as error information.
class ThrowingPortFactory final : public PortFactory {
 public:
  ByteChannel* Open(std::int32_t, std::int32_t) override {
    throw std::runtime_error("Порт COM1 failed");  // messages are UTF-8
  }
};

TEST_F(SessionTest, ErrorInformationOfAFailedCallIsShownInJsonAndText) {
  ThrowingPortFactory throwing;
  LinkSetPortFactory(&throwing);
  const auto lines = RunJson("SetComPort 1 9600\nGetVerDLL\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["hresult"], static_cast<std::int32_t>(0x80020009));
  EXPECT_EQ(lines[0]["out"], Json::object());
  EXPECT_EQ(lines[0]["error"]["description"], "\xD0\x9F\xD0\xBE\xD1\x80\xD1\x82 COM1 failed");
  EXPECT_EQ(lines[0]["error"]["source"], "MolvexECR.TECRFisc");
  EXPECT_FALSE(lines[1].contains("error"));  // taken by the call that left it

  const std::string text = Run("SetComPort 1 9600\n", {false, false, false});
  EXPECT_NE(text.find("MolvexECR.TECRFisc"), std::string::npos) << text;
  EXPECT_NE(text.find("COM1 failed"), std::string::npos) << text;
  LinkSetPortFactory(&port_);
}

TEST_F(SessionTest, StateFollowsEachCallAndOutTextsComeBackAsUtf8) {
  port_.printer().ArmReply(255, kPrivet1251, kCleanStatus);
  const auto lines = RunJson("IsPresent\nSetComPort 1 9600\nID_DEV\nReceiptCut\n", true);
  ASSERT_EQ(lines.size(), 4u);
  // Refused before any port: CallStatus -1, GetError 1.
  EXPECT_EQ(lines[0]["out"]["Result"], 0);
  EXPECT_EQ(lines[0]["state"].dump(), R"({"StatusBytes":-1,"GetError":1,"Status":[0,0,0,0,0,0]})");
  EXPECT_EQ(lines[2]["out"]["Value"], kPrivet);
  EXPECT_EQ(lines[2]["state"]["StatusBytes"], 0);
  EXPECT_TRUE(lines[3]["out"]["Result"].is_number_integer());

  // The text form says the same (the sixth status byte carries the printer's own flags).
  const std::string text = Run("IsPresent\nDisplayUP \"\"\n", {false, true, false});
  std::istringstream lines_of(text);
  std::vector<std::string> got;
  for (std::string line; std::getline(lines_of, line);) got.push_back(line);
  ASSERT_EQ(got.size(), 4u) << text;
  EXPECT_EQ(got[0], "IsPresent: Result = true");
  EXPECT_EQ(got[2], "DisplayUP: Result = true");
  for (int i : {1, 3}) {
    EXPECT_TRUE(got[i].starts_with("  state: StatusBytes 0, GetError 0, Status 00 00 00 00 00 "))
        << got[i];
  }
}

TEST_F(SessionTest, PrinterSilenceShowsInResultAndState) {
  Run("SetComPort 1 115200\n", {true, false, false});
  port_.printer().PowerOff();
  const auto lines = RunJson("IsPresent\nGetError\n", true);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["out"]["Result"], 0);
  EXPECT_EQ(lines[0]["state"]["StatusBytes"], -2);
  EXPECT_EQ(lines[0]["state"]["GetError"], 19);  // no complete reply
  EXPECT_EQ(lines[1]["out"]["Error"], 19);
}

TEST_F(SessionTest, HostileLinesAreRefusedOneByOne) {
  const std::string script = "DisplayUP " + std::string(kMaxLineBytes + 10, 'x') + "\n" +
                             "\xFF\xFE bad name\n"
                             "SetComPort 99999999999 9600\n"
                             "DisplayUP \"unclosed\n"
                             "DisplayUP \xC3\x28\n"
                             "GetVerDLL";  // last line without a newline still runs
  const auto lines = RunJson(script);
  ASSERT_EQ(lines.size(), 6u);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_TRUE(lines[i].contains("usage_error")) << i;
  EXPECT_NE(lines[0]["usage_error"].get<std::string>().find("longer than"), std::string::npos);
  EXPECT_EQ(lines[5]["call"], "GetVerDLL");
  EXPECT_EQ(usage_errors_, 5u);
  EXPECT_TRUE(Sent(47).empty());
}

TEST_F(SessionTest, ProbeExitsZeroOnlyWhenThePrinterAnswers) {
  std::ostringstream out;
  EXPECT_EQ(RunProbe(object_, out, {}, 1, 115200), 0) << out.str();
  const std::string text = out.str();
  EXPECT_NE(text.find("IsPresent: Result = true"), std::string::npos) << text;
  EXPECT_NE(text.find("ID_DEV: Value = \""), std::string::npos) << text;
  EXPECT_NE(text.find("GetSerNumber: Number = \""), std::string::npos) << text;
  EXPECT_NE(text.find("state: StatusBytes"), std::string::npos) << text;

  port_.printer().PowerOff();
  std::ostringstream silent;
  EXPECT_EQ(RunProbe(object_, silent, {}, 1, 115200), 1) << silent.str();
  EXPECT_NE(silent.str().find("IsPresent: Result = false"), std::string::npos) << silent.str();

  port_.FailOpen(true);
  std::ostringstream absent;
  EXPECT_EQ(RunProbe(object_, absent, {true, false, false}, 1, 115200), 1);
  // One line: the port did not open, so nothing more was called. Beside the results, the
  // reason (which an in-process port cannot tell).
  const std::string said = absent.str();
  ASSERT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  const Json line = Json::parse(said);
  EXPECT_EQ(line["call"], "SetComPort");
  EXPECT_EQ(line["out"], Json({{"Result", -1}}));
  EXPECT_EQ(line["state"],
            Json::parse("{\"StatusBytes\":-1,\"GetError\":1,\"Status\":[0,0,0,0,0,0]}"));
  EXPECT_EQ(line["error"]["reason"], "unknown");
}

// A port factory whose every open fails the way it is told.
class RefusingPorts final : public PortFactory {
 public:
  explicit RefusingPorts(PortOpenError error) : error_(std::move(error)) {}
  ByteChannel* Open(std::int32_t, std::int32_t) override { return nullptr; }
  PortOpenError LastOpenError() const override { return error_; }

 private:
  PortOpenError error_;
};

TEST_F(SessionTest, AFailedOpenIsExplainedBesideTheUnchangedResults) {
  PortOpenError held;
  held.reason = PortFailure::InUse;
  held.device = "/dev/ttyS2";
  held.system_code = 11;
  held.system_text = "Resource temporarily unavailable";
  held.holder = "till, process 77";
  RefusingPorts ports(held);
  LinkSetPortFactory(&ports);

  const std::string text = Run("SetComPort 3 9600\nGetError\n", {false, false, false});
  EXPECT_EQ(text,
            "SetComPort: Result = -1\n"
            "  port error: port 3 is /dev/ttyS2: in use by another program (till, process 77) "
            "(Resource temporarily unavailable); end that program first, or use another port. "
            "Name another device for port 3 with MOLVEXECR_COM3=/dev/ttyUSB0 (the printer's "
            "device), or look for the printer with: ecrfisc --find\n"
            "GetError: Error = 1\n");

  std::istringstream json(Run("SetComPort 3 9600\nSetComPort 3 38400\n", {true, true, false}));
  std::string line;
  ASSERT_TRUE(std::getline(json, line));
  const auto open = nlohmann::json::parse(line);
  EXPECT_EQ(open["out"], nlohmann::json({{"Result", -1}}));
  EXPECT_EQ(open["hresult"], 0);
  EXPECT_EQ(open["state"]["StatusBytes"], -1);
  EXPECT_EQ(open["error"]["reason"], "in-use");
  EXPECT_EQ(open["error"]["device"], "/dev/ttyS2");
  EXPECT_EQ(open["error"]["system_code"], 11);
  EXPECT_EQ(open["error"]["holder"], "till, process 77");
  EXPECT_FALSE(open["error"].contains("mapping"));
  ASSERT_TRUE(std::getline(json, line));
  const auto speed = nlohmann::json::parse(line);
  EXPECT_EQ(speed["out"]["Result"], -1);
  EXPECT_EQ(speed["error"]["reason"], "bad-speed");
  EXPECT_FALSE(speed["error"].contains("device"));

  // Results other than -1 have nothing beside them.
  LinkSetPortFactory(&port_);
  EXPECT_EQ(Run("SetComPort 3 9600\n", {false, false, false}), "SetComPort: Result = 100\n");
}

TEST_F(SessionTest, TheSpeedsNamedInPortErrorsAreThoseTheObjectAccepts) {
  LinkSetPortFactory(&port_);
  const auto& named = AcceptedSpeeds();
  for (const int speed :
       {300, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200, 230400}) {
    int result = 0;
    ASSERT_EQ(object_.SetComPort(1, speed, &result), 0);
    const bool listed = std::find(named.begin(), named.end(), speed) != named.end();
    EXPECT_EQ(result != -1, listed) << speed;
  }
}

TEST_F(SessionTest, LinesSayWhatTheyShouldGiveAndAreEchoed) {
  SessionOptions options;
  options.echo = true;
  const std::string text =
      Run("# the port\n"
          "SetComPort 1 115200 => Result = 100\n"
          "\n"
          "IsPresent  => Result = false\n"
          "GetReceiptSum => Sum = 0\n"
          "FPIndexStatus = 9 => written\n"
          "OpenDrawer 1 => Result = false\n"
          "SellArticul Tea -1 1 0 1 \"\" 0 0 => HRESULT 0xFFFFFFFC\n"
          "=> Result = true\n",
          options);
  EXPECT_EQ(text,
            "# the port\n"
            "> SetComPort 1 115200\n"
            "SetComPort: Result = 100\n"
            "\n"
            "> IsPresent\n"
            "IsPresent: Result = true\n"
            "  NOT AS EXPECTED: Result = false\n"
            "> GetReceiptSum\n"
            "GetReceiptSum: Sum = 0\n"
            "> FPIndexStatus = 9\n"
            "FPIndexStatus: written\n"
            "> OpenDrawer 1\n"
            "OpenDrawer: Result = false\n"
            "> SellArticul Tea -1 1 0 1 \"\" 0 0\n"
            "SellArticul: HRESULT 0xFFFFFFFC; error \"SellArticul: the price is negative; nothing "
            "was sold. Give the price as a positive amount (an amount taken back belongs in a "
            "refund receipt)\" from \"MolvexECR.TECRFisc\"\n"
            "> \n"
            "error: no call before \"=>\"\n");
  EXPECT_EQ(usage_errors_, 1u);

  std::istringstream in("IsPresent => Result = true\nDisplayUP x => Result = false\n");
  std::ostringstream out;
  Session session(object_, out, {true, false, false});
  session.RunStream(in);
  EXPECT_EQ(session.unmet_expectations(), 1u);
  std::istringstream lines(out.str());
  std::string first;
  std::string second;
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_EQ(first, R"({"call":"IsPresent","hresult":0,"out":{"Result":-1},)"
                   R"("expected":"Result = true","as_expected":true})");
  EXPECT_EQ(Json::parse(second)["as_expected"], false);
}

// A call of the receipt that ends without a clean reply, and what a client then reads: whether
// a receipt is open, the last receipt's number and the open receipt's sums tell what the printer
// did, whatever the lost reply would have said. The receipt: two loaves at 12.50, paid in cash.
TEST_F(SessionTest, AfterALostReplyTheReadingShowsWhatThePrinterHolds) {
  const std::vector<std::string> sale = {
      "OpenFiscReceipt 1 1 \"\"",
      "SellArticul Bread 12.5 2 0 1 \"\" 0 0",
      "Payment 25 0",
      "CloseFiscReceipt",
  };
  struct Case {
    const char* what;
    int command;
    sim::Fault fault;
    std::size_t failing;  // the step of the sale that fails
    int error;            // its GetError
    const char* reading;  // what is read then, with what it must give
    int printed;          // receipts the printer closed
    sim::ReceiptKind open;
  };
  const Case cases[] = {
      {"the close carried out, its reply lost", 56, sim::Fault::WrongTerminator, 3, 19,
       "Receipt => Value = 0\nNumbRec => Value = 1\n", 1, sim::ReceiptKind::None},
      {"the close carried out, its reply garbled", 56, sim::Fault::BadCheck, 3, 17,
       "Receipt => Value = 0\nNumbRec => Value = 1\n", 1, sim::ReceiptKind::None},
      {"the close never reached the printer", 56, sim::Fault::Silence, 3, 19,
       "Receipt => Value = 1\nNumbRec => Value = 0\nGetReceiptSum => Sum = 25\n"
       "GetReceiptPay => Pay = 25\n",
       0, sim::ReceiptKind::Fiscal},
      {"the payment never reached the printer", 53, sim::Fault::Silence, 2, 19,
       "Receipt => Value = 1\nNumbRec => Value = 0\nGetReceiptSum => Sum = 25\n"
       "GetReceiptPay => Pay = 0\n",
       0, sim::ReceiptKind::Fiscal},
      {"the open never reached the printer", 48, sim::Fault::Silence, 0, 19,
       "Receipt => Value = 0\nNumbRec => Value = 0\n", 0, sim::ReceiptKind::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::InProcessPort port(clock_, {0.0, 0});  // a new printer: no receipt printed yet
    LinkSetPortFactory(&port);
    Run("SetComPort 1 115200\n", {false, false, false});
    port.printer().ArmFor(c.command, c.fault);
    std::string script;
    for (std::size_t step = 0; step <= c.failing; ++step) {
      script += sale[step] + (step == c.failing ? " => Result = false\n" : "\n");
    }
    script += "GetError => Error = " + std::to_string(c.error) + "\n" + c.reading;
    std::istringstream in(script);
    std::ostringstream out;
    Session session(object_, out, {false, false, false, false});
    session.RunStream(in);
    EXPECT_EQ(session.unmet_expectations(), 0u) << out.str();
    EXPECT_EQ(port.device().state().receipt_number, c.printed);
    EXPECT_EQ(port.device().receipt().kind, c.open);
    PrnClosePort();
    LinkSetPortFactory(nullptr);
    LinkReset();
    ResetObjectState();
  }
}

TEST_F(SessionTest, AScriptFromAWindowsEditorRunsFromItsFirstLine) {
  // A byte order mark before the first line and CR LF line ends; a mark further on is no
  // part of a name.
  const std::string text =
      Run("\xEF\xBB\xBFIsPresent => Result = false\r\n"
          "\xEF\xBB\xBFIsPresent\r\n",
          {});
  EXPECT_EQ(text,
            "IsPresent: Result = false\n"
            "error: \xEF\xBB\xBFIsPresent: unknown entry \"\xEF\xBB\xBFIsPresent\" (ecrfisc --list "
            "shows them)\n");
  EXPECT_EQ(usage_errors_, 1u);
}

TEST(EntryBindings, AgreeWithTheInterfaceTable) {
  const auto problems = BindingMismatches();
  for (const std::string& p : problems) ADD_FAILURE() << p;
  EXPECT_EQ(EntryBindings().size(), kInterfaceSlotCount);
}

TEST_F(SessionTest, EverySlotRunsThroughItsBindingWithThePortClosed) {
  // Default arguments for every slot; with no port the entries refuse, but each must be
  // reachable by name and answer with exactly its out values.
  for (const SlotInfo& slot : InterfaceSlots()) {
    std::string line = std::string(slot.name) + (slot.kind == EntryKind::PropPut ? " =" : "");
    for (const ParamInfo& p : slot.params) {
      if (p.dir == ParamDir::In) line += p.type == AutoType::Bstr ? " \"\"" : " 0";
    }
    if (slot.name == "SetComPort" || slot.name == "CloseComPort") continue;  // they open/close
    const auto lines = RunJson(line);
    ASSERT_EQ(lines.size(), 1u) << line;
    EXPECT_EQ(lines[0]["call"], slot.name) << line;
    ASSERT_TRUE(lines[0].contains("hresult")) << lines[0].dump();
    if (lines[0]["hresult"] != 0) continue;  // an entry not built yet answers E_NOTIMPL
    std::size_t outs = 0;
    for (const ParamInfo& p : slot.params) outs += IsOutput(p.dir) ? 1 : 0;
    EXPECT_EQ(lines[0]["out"].size(), outs) << lines[0].dump();
  }
}

}  // namespace
}  // namespace molvex::ecrfisc
