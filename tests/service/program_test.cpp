// ecr-service as a program: its settings file, ecr-sim on a pseudo-terminal as its printer, the
// example receipt posted over HTTP, a stop by SIGTERM and a start again on the same journal.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <fstream>

#include "tests/service/service_fixture.h"
#include "tests/support/sim_on_pty.h"

namespace molvex::service {
namespace {

// A port nobody listens on at the moment.
class ServiceProgram : public testsupport::SimOnPty {
 protected:
  void SetUp() override {
    extra_sim_args_ = {"--paper",          "/dev/null", "--article",
                       "1,А,1,12.50,Хлеб", "--article", "2,Б,1,30.00,Молоко"};
    SimOnPty::SetUp();
  }
  void TearDown() override {
    StopService();
    SimOnPty::TearDown();
  }

  // Starts ecr-service with these settings; waits until it answers.
  void StartService(const std::string& settings, const std::string& more_env = "") {
    const std::string path = dir_ + "/ecr-service.ini";
    std::ofstream(path) << settings;
    const std::string dir = "MOLVEXECR_DIR=" + dir_;
    std::vector<std::string> args = {ECR_SERVICE_PATH, "--settings", path};
    std::vector<char*> argv = {args[0].data(), args[1].data(), args[2].data(), nullptr};
    std::vector<char*> env = {const_cast<char*>(dir.c_str()), nullptr, nullptr, nullptr};
    const std::string devices = "MOLVEXECR_DEVICE_DIR=" + dir_;
    if (!more_env.empty()) {
      env[1] = const_cast<char*>(more_env.c_str());
      env[2] = const_cast<char*>(devices.c_str());
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (dir_ + "/service.log").c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    ASSERT_EQ(posix_spawn(&service_, ECR_SERVICE_PATH, &actions, nullptr, argv.data(), env.data()),
              0);
    posix_spawn_file_actions_destroy(&actions);
    httplib::Client probe("127.0.0.1", port_);
    for (int i = 0; i < 250 && !probe.Get("/v1/printers"); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  // SIGTERM; returns the exit status.
  int StopService() {
    if (service_ <= 0) return -1;
    kill(service_, SIGTERM);
    int status = 0;
    waitpid(service_, &status, 0);
    service_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  pid_t service_ = -1;
  int port_ = FreePort();
};

TEST_F(ServiceProgram, SellsTheExampleAndAnswersItsRetryAfterARestart) {
  ASSERT_GT(port_, 0);
  const std::string settings = "[service]\nport = " + std::to_string(port_) +
                               "\njournal = " + dir_ +
                               "/journal.sqlite\n\n[printer:1]\nport = 7\n"
                               "device = " +
                               link_ + "\nspeed = 115200\n";
  StartService(settings);
  const std::string receipt = ReadText(std::string(EXAMPLES_DIR) + "/receipt.json");
  httplib::Client client("127.0.0.1", port_);
  client.set_read_timeout(60, 0);
  const auto sale = client.Post("/v1/printers/1/receipts", {{"Idempotency-Key", "p-1"}}, receipt,
                                "application/json");
  ASSERT_TRUE(sale) << ReadText(dir_ + "/service.log");
  ASSERT_EQ(sale->status, 200) << sale->body;
  EXPECT_EQ(Json::parse(sale->body)["total"], "150.00");
  EXPECT_EQ(StopService(), 0);

  StartService(settings);
  const auto again = client.Post("/v1/printers/1/receipts", {{"Idempotency-Key", "p-1"}}, receipt,
                                 "application/json");
  ASSERT_TRUE(again) << ReadText(dir_ + "/service.log");
  EXPECT_EQ(again->get_header_value("Idempotent-Replayed"), "true");
  EXPECT_EQ(again->body, sale->body);
  const auto status = client.Get("/v1/printers/1/status");
  ASSERT_TRUE(status);
  EXPECT_EQ(Json::parse(status->body)["last_receipt"], 1);  // printed once
}

// Two printers on two serial devices of one service: both ports stay open, both print at once.
TEST_F(ServiceProgram, TwoPrintersOnTheirOwnPortsPrintAtOnce) {
  ASSERT_GT(port_, 0);
  const std::string second = dir_ + "/com2";
  const pid_t sim2 = testsupport::StartSim({"--link", second, "--busy-scale", "0", "--article",
                                            "1,А,1,12.50,Хлеб", "--article", "2,Б,1,30.00,Молоко"},
                                           second);
  ASSERT_GT(sim2, 0);
  StartService("[service]\nport = " + std::to_string(port_) + "\njournal = " + dir_ +
               "/journal.sqlite\n[printer:a]\nport = 1\ndevice = " + link_ +
               "\n[printer:b]\nport = 2\ndevice = " + second + "\n");
  const std::string receipt = ReadText(std::string(EXAMPLES_DIR) + "/receipt.json");
  int status[2][3] = {};
  std::vector<std::thread> tills;
  for (int p = 0; p < 2; ++p) {
    tills.emplace_back([&, p] {
      httplib::Client client("127.0.0.1", port_);
      client.set_read_timeout(60, 0);
      for (int k = 0; k < 3; ++k) {
        const auto res =
            client.Post((std::string("/v1/printers/") + (p == 0 ? "a" : "b") + "/receipts").c_str(),
                        {{"Idempotency-Key", std::to_string(p) + "-" + std::to_string(k)}}, receipt,
                        "application/json");
        status[p][k] = res ? res->status : -1;
      }
    });
  }
  for (auto& t : tills) t.join();
  kill(sim2, SIGTERM);
  waitpid(sim2, nullptr, 0);
  for (int p = 0; p < 2; ++p) {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(status[p][k], 200) << "printer " << p << " receipt " << k;
  }
}

// No printer named: the search finds it (here the virtual printer behind port 1's mapping).
TEST_F(ServiceProgram, FindsThePrinterWhenTheSettingsNameNone) {
  ASSERT_GT(port_, 0);
  StartService("[service]\nport = " + std::to_string(port_) + "\njournal = " + dir_ +
                   "/journal.sqlite\nfind_printers = yes\n",
               "MOLVEXECR_COM1=" + link_);
  httplib::Client client("127.0.0.1", port_);
  client.set_read_timeout(60, 0);
  const auto printers = client.Get("/v1/printers");
  ASSERT_TRUE(printers) << ReadText(dir_ + "/service.log");
  const Json list = Json::parse(printers->body)["printers"];
  ASSERT_EQ(list.size(), 1u) << printers->body;
  EXPECT_EQ(list[0]["port"], 1);
  const auto status = client.Get("/v1/printers/1/status");
  ASSERT_TRUE(status);
  EXPECT_EQ(Json::parse(status->body)["state"], "ready") << status->body;
}

TEST_F(ServiceProgram, RefusesSettingsItCannotServeSafely) {
  std::string output;
  const std::string path = dir_ + "/bad.ini";
  std::ofstream(path) << "[service]\nlisten = 0.0.0.0\n[printer:1]\nport = 1\n";
  EXPECT_EQ(
      testsupport::Shell(std::string(ECR_SERVICE_PATH) + " --settings " + path + " 2>&1", output),
      1);
  EXPECT_NE(output.find("needs a token"), std::string::npos) << output;
  output.clear();
  std::ofstream(path) << "[service]\nport = 80000\n[printer:1]\nspeed = 1234\n";
  EXPECT_EQ(testsupport::Shell(
                std::string(ECR_SERVICE_PATH) + " --check --settings " + path + " 2>&1", output),
            2);
  EXPECT_NE(output.find("port"), std::string::npos) << output;
  EXPECT_NE(output.find("speed"), std::string::npos) << output;
}

}  // namespace
}  // namespace molvex::service
