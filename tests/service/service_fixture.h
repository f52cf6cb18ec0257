// The print service on a loopback port of its own, its printer the in-process virtual printer
// (two articles programmed, as examples/sale.txt and examples/receipt.json expect them), its
// journal and settings directory fresh for every test, and an HTTP client for it.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "archive/archive_settings.h"
#include "link/link.h"
#include "object/object_state.h"
#include "platform/clock.h"
#include "platform/error_info.h"
#include "platform/text_codec.h"
#include "service/exact_json.h"
#include "service/service.h"
#include "sim/wire/in_process_port.h"

namespace molvex::service {

// A TCP port on the loopback that nobody listens on now, for a service started as a program.
inline int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), size) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size) != 0) {
    close(fd);
    return 0;
  }
  close(fd);
  return ntohs(addr.sin_port);
}

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LinkReset();
    ResetObjectState();
    ResetArchiveSettings();
    SetPrinterCodePage(kDefaultPrinterCodePage);
    ClearErrorInfo();
    dir = std::filesystem::temp_directory_path() /
          ("molvex-service-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    ::setenv("MOLVEXECR_DIR", dir.c_str(), 1);
    port = std::make_unique<sim::InProcessPort>(*clock, options);
    Program(*port, 1, '\xC0', "12.50", "Хлеб");
    Program(*port, 2, '\xC1', "30.00", "Молоко");
    port->device().SetPaperSink([this](const std::string& document) {
      std::lock_guard<std::mutex> lock(paper_mutex);
      printed += document;
    });
    settings.listen = {"127.0.0.1"};
    settings.port = 0;
    settings.journal = (dir / "journal.sqlite").string();
    PrinterSettings front;
    front.id = "front";
    settings.printers = {front};
  }
  void TearDown() override {
    service.reset();
    LinkReset();
    LinkSetPortFactory(nullptr);
    LinkSetClock(nullptr);
    std::filesystem::remove_all(dir);
  }

  // Programs an article as if keyed in on the printer (tax byte 0xC0..0xC4 for А..Д).
  static void Program(sim::InProcessPort& printer, int number, char tax, const std::string& price,
                      const std::string& utf8_name) {
    const auto wide = Utf8ToWide(utf8_name);
    const std::string name = WideToPrinter(wide.data(), wide.size());
    const sim::Reply r = printer.device().Execute(sim::Request{
        0, 107, "P" + std::string(1, tax) + std::to_string(number) + ",1," + price + ",," + name});
    ASSERT_EQ(r.data, "P");
  }

  // The printer works in real time, busy as the real one is: a job takes seconds.
  void UseRealTime() {
    clock = &SystemClock();
    port = std::make_unique<sim::InProcessPort>(*clock, sim::PrinterOptions{1.0, 0});
    Program(*port, 1, '\xC0', "12.50", "Хлеб");
    Program(*port, 2, '\xC1', "30.00", "Молоко");
  }

  void Start() {
    service = std::make_unique<Service>(settings, std::vector<PrinterLine>{{port.get(), clock}});
    std::string error;
    ASSERT_TRUE(service->Start(error)) << error;
    client = std::make_unique<httplib::Client>("127.0.0.1", service->port());
    client->set_read_timeout(60, 0);
  }
  // The service stopped and started again on the same journal, as after a restart.
  void Restart() {
    service.reset();
    Start();
  }

  httplib::Result Post(const std::string& path, const std::string& body, const std::string& key,
                       httplib::Headers headers = {}) {
    if (!key.empty()) headers.emplace("Idempotency-Key", key);
    return client->Post(path.c_str(), headers, body, "application/json");
  }
  static Json JsonOf(const httplib::Result& r) {
    return r ? Json::parse(r->body, nullptr, false) : Json();
  }
  std::string Paper() {
    std::lock_guard<std::mutex> lock(paper_mutex);
    return printed;
  }
  std::size_t RequestsSent() const { return port->requests().size(); }

  FakeClock fake_clock;
  Clock* clock = &fake_clock;
  sim::PrinterOptions options{0.0, 0};
  std::unique_ptr<sim::InProcessPort> port;
  ServiceSettings settings;
  std::unique_ptr<Service> service;
  std::unique_ptr<httplib::Client> client;
  std::filesystem::path dir;
  std::mutex paper_mutex;
  std::string printed;
};

}  // namespace molvex::service
