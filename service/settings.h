// The print service's settings: an INI file named on the command line, every key optional.
//
//   [service]
//   listen = 127.0.0.1, ::1        addresses to listen on (others need a token file)
//   port = 8719
//   token_file = /etc/molvexecr/service.token    read by its owner only (mode 600)
//   allowed_origins = https://pos.example.com   web pages that may call (none by default)
//   allowed_hosts = till-3.shop.lan              Host names besides the loopback ones
//   body_limit = 65536                           bytes of a request body
//   journal = /var/lib/molvexecr/ecr-service.sqlite   (default: in the settings directory)
//   job_wait_seconds = 300                       how long a request waits for its job
//   queue_limit = 1000                           jobs waiting per printer
//   find_printers = no                           search the serial ports at start
//
//   [printer:front]                 one section a printer; the id is what the URLs name
//   port = 1                        port number (the driver's COM<n>)
//   device = /dev/ttyUSB0           the device of that port number (POSIX), optional
//   speed = 115200
//   operator_password =             sent with every receipt opened (empty on a new printer)
//   admin_password =                sent with the reports
//   paper = /tmp/paper.txt          the virtual printer's paper roll, shown on the status page
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace molvex::service {

struct PrinterSettings {
  std::string id;
  std::int32_t port = 1;
  std::int32_t speed = 115200;
  std::string device;
  std::string operator_password;
  std::string admin_password;
  std::string paper;
};

struct ServiceSettings {
  std::vector<std::string> listen = {"127.0.0.1", "::1"};
  int port = 8719;
  std::string token_file;
  std::vector<std::string> allowed_origins;
  std::vector<std::string> allowed_hosts;
  std::size_t body_limit = 64 * 1024;
  std::string journal;  // empty: "ecr-service.sqlite" in the driver's settings directory
  int job_wait_seconds = 300;
  std::size_t queue_limit = 1000;
  bool find_printers = false;
  std::vector<PrinterSettings> printers;
};

// Reads the settings from INI text; every problem (an unknown section or key, a value out of
// range, a printer id a URL cannot carry, two printers with one id) is one line of `errors`,
// and the result is then not to be used.
ServiceSettings ParseSettings(const std::string& text, std::vector<std::string>& errors);

// Reads the file; a file that cannot be read is an error.
ServiceSettings LoadSettings(const std::string& path, std::vector<std::string>& errors);

// True for the addresses that only this machine reaches: 127.0.0.0/8, ::1 and "localhost".
bool IsLoopbackAddress(const std::string& address);

// A printer id: 1..32 of [A-Za-z0-9_-].
bool ValidPrinterId(const std::string& id);

}  // namespace molvex::service
