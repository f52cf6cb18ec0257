// ecr-service: the print service. HTTP/JSON under /v1 on the listen addresses of its settings,
// one worker and queue per printer, every printing job in the journal.
//
// Security: loopback addresses unless the settings say otherwise, and then only with a token;
// a request from another address must carry the token (Authorization: Bearer), and so must the
// administrator routes from anywhere; the Host header must name this machine (no DNS rebinding);
// only the listed origins may call from a web page (CORS); bodies have a size limit; no GET
// changes anything.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "service/printer_object.h"
#include "service/settings.h"

namespace molvex::service {

// One route: method and path as the OpenAPI document writes it.
struct RouteInfo {
  const char* method;
  const char* path;
  bool admin;   // needs the token from anywhere
  bool prints;  // needs an Idempotency-Key and is journaled
};

// Every route the server has.
std::span<const RouteInfo> Routes();

// The OpenAPI document and the status page, as built into the program.
std::string_view OpenApiDocument();
std::string_view StatusPage();

class Service {
 public:
  // `lines`: one per printer of the settings (or none: the serial ports); tests hand the
  // virtual printer.
  Service(ServiceSettings settings, std::vector<PrinterLine> lines = {});
  ~Service();
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // Opens the journal, reads the token, makes the printers' workers, binds every listen
  // address and serves on threads of its own. False with the reason in `error`.
  bool Start(std::string& error);
  // Stops serving, lets the workers finish their queues and closes the journal.
  void Stop();
  // The port bound (the settings' port, or the one the system chose for 0).
  int port() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace molvex::service
