// ecr-service: serves the printers of its settings file over HTTP until SIGINT or SIGTERM.
#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "object/line_speeds.h"
#include "service/service.h"
#include "tools/ecrfisc/find.h"
#include "tools/ecrfisc/port_error.h"

namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnSignal(int) {
  g_stop = true;
}

// The printer search: the first printer found becomes printer "1".
bool FindPrinter(molvex::service::ServiceSettings& settings) {
  molvex::ecrfisc::FindOptions search;
  const auto& all = molvex::ecrfisc::AcceptedSpeeds();
  search.speeds.assign(all.rbegin(), all.rend());
  // As for ecrfisc --find: another folder than /dev to look for the devices in.
  if (const char* dir = std::getenv("MOLVEXECR_DEVICE_DIR"); dir != nullptr && dir[0] != '\0') {
    search.device_dir = dir;
  }
  std::ostringstream log;
  for (const auto& r : molvex::ecrfisc::RunFind(log, search)) {
    if (r.outcome != molvex::ecrfisc::FindResult::Outcome::Printer) continue;
    molvex::service::PrinterSettings p;
    p.id = "1";
    p.speed = r.speed;
    if (r.ports.empty()) {
      p.port = 1;
      p.device = r.device;
    } else {
      p.port = r.ports.front();
    }
    std::cerr << "ecr-service: printer " << r.serial << " found on " << r.device << " at "
              << r.speed << " baud\n";
    settings.printers.push_back(p);
    return true;
  }
  std::cerr << "ecr-service: the printer search found no printer:\n" << log.str();
  return false;
}

int Main(int argc, char** argv) {
  CLI::App app{
      "ecr-service: the local print service of the fiscal printer driver. Receipts as JSON "
      "documents over HTTP (see /v1/openapi.json), a queue per printer, every job in a "
      "journal. Listens on 127.0.0.1 and ::1 only unless its settings say otherwise."};
  std::string settings_path;
  bool check = false;
  app.add_option("--settings", settings_path, "the settings file (INI)")->required();
  app.add_flag("--check", check, "read the settings, report problems and exit");
  CLI11_PARSE(app, argc, argv);

  std::vector<std::string> errors;
  molvex::service::ServiceSettings settings = molvex::service::LoadSettings(settings_path, errors);
  for (const auto& p : settings.printers) {
    if (!molvex::SpeedAccepted(p.speed)) {
      errors.push_back("[printer:" + p.id + "] speed: " +
                       molvex::ecrfisc::SpeedList(molvex::ecrfisc::AcceptedSpeeds(), " or "));
    }
  }
  for (const std::string& e : errors)
    std::cerr << "ecr-service: " << settings_path << ": " << e << "\n";
  if (!errors.empty()) return 2;
  if (check) return 0;
  if (settings.printers.empty() && (!settings.find_printers || !FindPrinter(settings))) {
    std::cerr << "ecr-service: no printer: name one in a [printer:ID] section, or set "
                 "find_printers = yes\n";
    return 2;
  }

  molvex::service::Service service(settings);
  std::string error;
  if (!service.Start(error)) {
    std::cerr << "ecr-service: " << error << "\n";
    return 1;
  }
  std::cout << "ecr-service: listening on";
  for (const std::string& a : settings.listen) std::cout << " " << a;
  std::cout << " port " << service.port() << ", " << settings.printers.size() << " printer(s)"
            << std::endl;
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  service.Stop();
  std::cout << "ecr-service: stopped" << std::endl;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Main(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "ecr-service: " << e.what() << "\n";
  }
  return 2;
}
