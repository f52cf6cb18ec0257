// ecr-service as a program on ecr-sim (a pseudo-terminal), killed with SIGKILL at each step of a
// receipt and of a Z report, then started again and asked the same request with the same key;
// then the virtual printer's faults on the close instead of the kill. Whatever happened, every
// receipt is on the paper at most once, every job ends done, not printed or needing attention,
// and the answer to the repeated request is what the paper shows.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <future>
#include <map>
#include <regex>

#include "tests/service/service_fixture.h"
#include "tests/support/sim_on_pty.h"

namespace molvex::service {
namespace {

// Two priced lines and one payment of the rest: 42.50.
const char* const kReceipt =
    R"({"kind": "sale", "operator": 1, "till": 1,
        "lines": [{"type": "item", "name": "Хлеб", "price": "12.50", "tax": "А", "group": 1},
                  {"type": "item", "name": "Молоко", "price": "30.00", "tax": "Б", "group": 1}],
        "payments": [{"type": "cash"}]})";

class ServiceCrash : public testsupport::SimOnPty {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/ecr-crash-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    work_ = templ;
    extra_sim_args_ = {"--paper", work_ + "/paper.txt", "--control", work_ + "/control"};
    SimOnPty::SetUp();
    ASSERT_GT(port_, 0);
    std::ofstream(work_ + "/ecr-service.ini")
        << "[service]\nport = " << port_ << "\njournal = " << work_
        << "/journal.sqlite\njob_wait_seconds = 120\n\n[printer:1]\nport = 7\ndevice = " << link_
        << "\nspeed = 115200\n";
  }
  void TearDown() override {
    Kill();
    SimOnPty::TearDown();
    std::system(("rm -rf '" + work_ + "'").c_str());
  }

  // Starts ecr-service; `stop_at` names the step where it stops itself for the kill.
  void Start(const std::string& stop_at = "") {
    const std::string path = work_ + "/ecr-service.ini";
    const std::string dir = "MOLVEXECR_DIR=" + dir_;
    const std::string stop = "MOLVEXECR_SERVICE_STOP_AT=" + stop_at;
    std::vector<std::string> args = {ECR_SERVICE_PATH, "--settings", path};
    std::vector<char*> argv = {args[0].data(), args[1].data(), args[2].data(), nullptr};
    std::vector<char*> env = {const_cast<char*>(dir.c_str()), nullptr, nullptr};
    if (!stop_at.empty()) env[1] = const_cast<char*>(stop.c_str());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (work_ + "/service.log").c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    ASSERT_EQ(posix_spawn(&service_, ECR_SERVICE_PATH, &actions, nullptr, argv.data(), env.data()),
              0);
    posix_spawn_file_actions_destroy(&actions);
    httplib::Client probe("127.0.0.1", port_);
    for (int i = 0; i < 1500 && !probe.Get("/v1/printers"); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  void Kill() {
    if (service_ <= 0) return;
    kill(service_, SIGKILL);
    waitpid(service_, nullptr, 0);
    service_ = -1;
  }
  // Waits until the service stopped itself at its step, then kills it with SIGKILL. False when
  // it never stopped there.
  bool KillWhenStopped() {
    int status = 0;
    bool stopped = false;
    for (int i = 0; i < 3000 && !stopped; ++i) {
      const pid_t r = waitpid(service_, &status, WNOHANG | WUNTRACED);
      if (r == service_ && !WIFSTOPPED(status)) return false;  // it ended by itself
      stopped = r == service_;
      if (!stopped) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!stopped) return false;
    kill(service_, SIGKILL);
    waitpid(service_, &status, 0);
    service_ = -1;
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  }
  void Control(const std::string& line) {
    std::ofstream(work_ + "/control", std::ios::app) << line << "\n";
  }

  httplib::Result Post(const std::string& path, const std::string& key, const std::string& body) {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(180, 0);
    return client.Post(path, {{"Idempotency-Key", key}}, body, "application/json");
  }
  Json GetJson(const std::string& path) {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(60, 0);
    const auto r = client.Get(path);
    return r ? Json::parse(r->body, nullptr, false) : Json();
  }

  // The receipt numbers on the paper, each with how often it is there.
  std::map<int, int> ReceiptsOnPaper() {
    std::map<int, int> seen;
    const std::string paper = ReadText(work_ + "/paper.txt");
    static const std::regex kLine(R"(RECEIPT +(\d+)\n)");
    for (std::sregex_iterator it(paper.begin(), paper.end(), kLine), end; it != end; ++it) {
      ++seen[std::stoi((*it)[1].str())];
    }
    return seen;
  }
  int ZReportsOnPaper() {
    const std::string paper = ReadText(work_ + "/paper.txt");
    int n = 0;
    for (std::size_t at = 0; (at = paper.find("Z NUMBER", at)) != std::string::npos; ++at) ++n;
    return n;
  }

  // The receipt's answer against the paper: 200 with the one receipt printed, or a problem with
  // none; at most once either way.
  void ExpectAnswerMatchesPaper(const httplib::Result& answer, const std::string& key,
                                const std::string& expected_state) {
    ASSERT_TRUE(answer) << ReadText(work_ + "/service.log");
    const auto paper = ReceiptsOnPaper();
    for (const auto& [number, times] : paper) EXPECT_EQ(times, 1) << "receipt " << number;
    const Json body = Json::parse(answer->body, nullptr, false);
    const Json job = GetJson("/v1/jobs/" + key);
    EXPECT_EQ(job["state"], expected_state) << job.dump(1);
    if (answer->status == 200) {
      ASSERT_EQ(paper.size(), 1u) << answer->body;
      EXPECT_EQ(body["receipt"], paper.begin()->first);
    } else {
      EXPECT_TRUE(paper.empty()) << answer->body;
      EXPECT_EQ(body["type"], expected_state == "not printed"
                                  ? "urn:molvexecr:problem:not-printed"
                                  : "urn:molvexecr:problem:printer-needs-attention");
    }
  }

  std::string work_;
  pid_t service_ = -1;
  int port_ = FreePort();
};

struct KillCase {
  const char* stop_at;  // the step where the service is killed
  const char* slow;     // a control line that makes that step last (for ":during")
  const char* outcome;  // the job's end after the restart
};

void PrintTo(const KillCase& c, std::ostream* os) {
  *os << c.stop_at;
}

class ServiceKilledAtStep : public ServiceCrash, public ::testing::WithParamInterface<KillCase> {};

TEST_P(ServiceKilledAtStep, RepeatedReceiptAnswersWhatThePaperShows) {
  const KillCase c = GetParam();
  if (c.slow[0] != '\0') Control(c.slow);
  Start(c.stop_at);
  auto first = std::async(std::launch::async,
                          [&] { return Post("/v1/printers/1/receipts", "k-1", kReceipt); });
  ASSERT_TRUE(KillWhenStopped()) << "never stopped at " << c.stop_at << "\n"
                                 << ReadText(work_ + "/service.log");
  first.wait();
  Control("clear");

  Start();
  const auto again = Post("/v1/printers/1/receipts", "k-1", kReceipt);
  ExpectAnswerMatchesPaper(again, "k-1", c.outcome);
  // The job's steps show what was read back from the printer. What the kill left of the job's
  // own steps runs from the first without a gap, and holds the reading before the open, which
  // was on the disk before the open was sent.
  const Json job = GetJson("/v1/jobs/k-1");
  bool read_back = false;
  std::string own;
  std::string expected;  // 1 before, 1 after, 2 before, ... as many as there are
  int count = 0;
  for (const Json& s : job["steps"]) {
    const std::string name = s["name"];
    read_back = read_back || name == "reconcile: read";
    if (name.starts_with("reconcile")) continue;
    own += std::to_string(s["number"].get<int>()) + " " + s["phase"].get<std::string>() + ", ";
    expected += std::to_string(count / 2 + 1) + (count % 2 == 0 ? " before, " : " after, ");
    ++count;
  }
  EXPECT_TRUE(read_back) << job.dump(1);
  EXPECT_EQ(own, expected) << job.dump(1);
  EXPECT_NE(own.find("1 before, 1 after, 2 before"), std::string::npos) << job.dump(1);
  EXPECT_EQ(job["steps"][1]["name"], "read before") << job.dump(1);
  // Nothing is left open: the printer takes the next receipt.
  const auto next = Post("/v1/printers/1/receipts", "k-2", kReceipt);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->status, 200) << next->body;
}

// Command 56 closes the receipt. A receipt found open after the open, a line or the payment is
// the job's own (its kind, the number unchanged): cancelled unless fully paid, closed when it is.
INSTANTIATE_TEST_SUITE_P(Steps, ServiceKilledAtStep,
                         ::testing::Values(KillCase{"open", "", "not printed"},
                                           KillCase{"line 1", "", "not printed"},
                                           KillCase{"line 2", "", "not printed"},
                                           KillCase{"payment 1", "", "done"},
                                           KillCase{"closing:during", "on 56 syn 3000", "done"},
                                           KillCase{"closing", "", "done"}),
                         [](const auto& param_info) {
                           std::string name = param_info.param.stop_at;
                           for (char& ch : name) {
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

TEST_F(ServiceCrash, ZReportKilledAtItsStepRunsOnce) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"z report:during", "on 69 syn 3000"}, {"z report", ""}};
  for (const auto& [stop_at, slow] : cases) {
    SCOPED_TRACE(stop_at);
    const int before = ZReportsOnPaper();
    const std::string key = "z-" + std::to_string(before);
    if (!slow.empty()) Control(slow);
    Start(stop_at);
    auto first =
        std::async(std::launch::async, [&] { return Post("/v1/printers/1/reports/z", key, "{}"); });
    ASSERT_TRUE(KillWhenStopped()) << ReadText(work_ + "/service.log");
    first.wait();
    Control("clear");
    Start();
    const auto again = Post("/v1/printers/1/reports/z", key, "{}");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 200) << again->body;
    EXPECT_EQ(ZReportsOnPaper(), before + 1);
    EXPECT_EQ(GetJson("/v1/jobs/" + key)["state"], "done");
    Kill();
  }
}

TEST_F(ServiceCrash, CashInKilledBeforeItsOutcomeIsWrittenIsComparedWithTheDrawer) {
  const std::string in = R"({"direction": "in", "amount": "10.00"})";
  Start("cash in");
  auto first =
      std::async(std::launch::async, [&] { return Post("/v1/printers/1/cash", "c-1", in); });
  ASSERT_TRUE(KillWhenStopped()) << ReadText(work_ + "/service.log");
  first.wait();
  Start();
  const auto again = Post("/v1/printers/1/cash", "c-1", in);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 200) << again->body;
  const Json body = Json::parse(again->body, nullptr, false);
  EXPECT_EQ(body["drawer"], "10.00");  // moved once
  EXPECT_EQ(body["reconciled"], true);
  EXPECT_EQ(GetJson("/v1/jobs/c-1")["state"], "done");
}

struct FaultCase {
  const char* name;
  const char* control;  // armed before the receipt
};

void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.control;
}

class ServiceFaultOnClose : public ServiceCrash, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ServiceFaultOnClose, ReceiptPrintedOnceAndAnsweredAsPrinted) {
  Control(GetParam().control);
  Start();
  const auto sale = Post("/v1/printers/1/receipts", "f-1", kReceipt);
  ExpectAnswerMatchesPaper(sale, "f-1", "done");
  // The close ended without a clean answer and the printer was read back.
  const Json job = GetJson("/v1/jobs/f-1");
  std::string closing_error;
  bool read_back = false;
  for (const Json& s : job["steps"]) {
    if (s["name"] == "closing" && s["phase"] == "after") {
      closing_error = s["detail"]["outcome"]["GetError"].dump();
    }
    read_back = read_back || s["name"] == "reconcile: read";
  }
  EXPECT_NE(closing_error, "0") << job.dump(1);
  EXPECT_TRUE(read_back) << job.dump(1);
  const auto again = Post("/v1/printers/1/receipts", "f-1", kReceipt);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->body, sale->body);
  EXPECT_EQ(ReceiptsOnPaper().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Faults, ServiceFaultOnClose,
                         ::testing::Values(FaultCase{"lost_reply", "on 56 wrong-terminator"},
                                           FaultCase{"lost_request", "on 56 silence"},
                                           FaultCase{"wrong_check_value", "on 56 bad-check"}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(ServiceCrash, PrinterSwitchedOffDuringTheCloseNeedsAttentionUntilItIsBack) {
  Control("on 56 syn 4000");
  Start();
  auto sale = std::async(std::launch::async,
                         [&] { return Post("/v1/printers/1/receipts", "o-1", kReceipt); });
  // The close is on its way once the journal shows it.
  bool closing = false;
  for (int i = 0; i < 1000 && !closing; ++i) {
    const Json job = GetJson("/v1/jobs/o-1");
    for (const Json& s : job.value("steps", Json::array())) {
      closing = closing || s["name"] == "closing";
    }
    if (!closing) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(closing) << GetJson("/v1/jobs/o-1").dump(1);
  Control("power-off");
  const auto lost = sale.get();
  ASSERT_TRUE(lost);
  EXPECT_EQ(lost->status, 502) << lost->body;
  EXPECT_EQ(Json::parse(lost->body)["type"], "urn:molvexecr:problem:printer-needs-attention");

  // Fiscal jobs wait; the status says what was found and the ways out.
  const auto other = Post("/v1/printers/1/receipts", "o-2", kReceipt);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->status, 409) << other->body;
  const Json status = GetJson("/v1/printers/1/status");
  EXPECT_EQ(status["state"], "needs attention") << status.dump(1);
  EXPECT_EQ(status["attention"]["job"], "o-1") << status.dump(1);
  EXPECT_FALSE(status["attention"]["ways_out"].empty());

  Control("power-on");
  const auto again = Post("/v1/printers/1/receipts", "o-1", kReceipt);
  ExpectAnswerMatchesPaper(again, "o-1", "done");
  EXPECT_EQ(GetJson("/v1/printers/1/status")["state"], "ready");
  const auto next = Post("/v1/printers/1/receipts", "o-2", kReceipt);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->status, 200) << next->body;
}

}  // namespace
}  // namespace molvex::service
