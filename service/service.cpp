#include "service/service.h"

#include <httplib.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <thread>

#include "object/interface_table.h"
#include "platform/settings_dir.h"
#include "service/documents.h"
#include "service/exact_json.h"
#include "service/jobs.h"
#include "service/journal.h"
#include "service/printer_worker.h"
#include "service/reconcile.h"
#include "service/step_stop.h"

namespace molvex::service {
namespace {

constexpr RouteInfo kRoutes[] = {
    {"GET", "/", false, false},
    {"GET", "/v1/openapi.json", false, false},
    {"GET", "/v1/printers", false, false},
    {"GET", "/v1/printers/{id}/status", false, false},
    {"POST", "/v1/printers/{id}/receipts", false, true},
    {"POST", "/v1/printers/{id}/receipts:validate", false, false},
    {"POST", "/v1/printers/{id}/nonfiscal", false, true},
    {"POST", "/v1/printers/{id}/reports/x", false, true},
    {"POST", "/v1/printers/{id}/reports/z", false, true},
    {"POST", "/v1/printers/{id}/reports/periodic", false, true},
    {"POST", "/v1/printers/{id}/cash", false, true},
    {"GET", "/v1/printers/{id}/totals", false, false},
    {"GET", "/v1/printers/{id}/clock", false, false},
    {"PUT", "/v1/printers/{id}/clock", true, false},
    {"POST", "/v1/printers/{id}/drawer", false, false},
    {"POST", "/v1/printers/{id}/display", false, false},
    {"POST", "/v1/printers/{id}/calls", true, true},
    {"GET", "/v1/printers/{id}/paper", false, false},
    {"GET", "/v1/jobs", false, false},
    {"GET", "/v1/jobs/{key}", false, false},
    {"POST", "/v1/jobs/{key}/outcome", true, false},
};

// The path of a route as a regular expression: each {name} one segment.
std::string PathPattern(const std::string& path) {
  std::string out;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (c == '{') {
      i = path.find('}', i);
      out += "([^/]+)";
    } else if (c == '.' || c == '+' || c == '(' || c == ')' || c == '?' || c == '*') {
      out += '\\';
      out += c;
    } else {
      out += c;
    }
  }
  return out;
}

void Reply(httplib::Response& res, int status, const Json& body) {
  res.status = status;
  res.set_content(body.dump(-1, ' ', false, Json::error_handler_t::replace),
                  status >= 400 ? "application/problem+json" : "application/json");
}

void Refuse(httplib::Response& res, int status, const std::string& type, const std::string& title,
            const std::string& detail, Json extra = Json::object()) {
  Reply(res, status, MakeProblem(status, type, title, detail, std::move(extra)));
}

std::string ToLower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// The host of a Host header without its port; "[::1]:8719" -> "::1".
std::string HostName(const std::string& header) {
  if (!header.empty() && header.front() == '[') {
    const auto close = header.find(']');
    return close == std::string::npos ? std::string() : header.substr(1, close - 1);
  }
  return ToLower(header.substr(0, header.find(':')));
}

bool ConstantTimeEqual(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  }
  return diff == 0;
}

bool ValidKey(const std::string& key) {
  if (key.empty() || key.size() > 255) return false;
  return std::all_of(key.begin(), key.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.erase(0, 1);
  return s;
}

}  // namespace

std::span<const RouteInfo> Routes() {
  return kRoutes;
}

struct Service::State {
  ServiceSettings settings;
  std::vector<PrinterLine> printer_lines;
  std::string token;
  std::unique_ptr<Journal> journal;
  std::map<std::string, std::unique_ptr<PrinterWorker>> printers;
  std::vector<std::unique_ptr<httplib::Server>> servers;
  std::vector<std::thread> threads;
  int port = 0;

  using Handler = void (State::*)(const httplib::Request&, httplib::Response&);

  // --- security, before any route ---
  httplib::Server::HandlerResponse Guard(const httplib::Request& req, httplib::Response& res) {
    const std::string host = HostName(req.get_header_value("Host"));
    if (!HostAllowed(host)) {
      Refuse(res, 403, "host-refused", "Host not served",
             "This service answers only requests addressed to this machine by a name it "
             "knows (the Host header); add the name to allowed_hosts.");
      return httplib::Server::HandlerResponse::Handled;
    }
    const std::string origin = req.get_header_value("Origin");
    if (!origin.empty()) {
      const bool same = origin == "http://" + req.get_header_value("Host");
      const bool listed =
          std::find(settings.allowed_origins.begin(), settings.allowed_origins.end(), origin) !=
          settings.allowed_origins.end();
      if (!same && !listed) {
        Refuse(res, 403, "origin-refused", "Origin not allowed",
               "Web pages of " + origin +
                   " may not call this service; list the origin in allowed_origins.");
        return httplib::Server::HandlerResponse::Handled;
      }
      if (listed) {
        res.set_header("Access-Control-Allow-Origin", origin);
        res.set_header("Vary", "Origin");
        res.set_header("Access-Control-Expose-Headers", "Idempotent-Replayed, Location");
      }
      if (req.method == "OPTIONS") {
        res.set_header("Access-Control-Allow-Methods", "GET, POST, PUT");
        res.set_header("Access-Control-Allow-Headers",
                       "Authorization, Content-Type, Idempotency-Key");
        res.set_header("Access-Control-Max-Age", "600");
        if (req.get_header_value("Access-Control-Request-Private-Network") == "true") {
          res.set_header("Access-Control-Allow-Private-Network", "true");
        }
        res.status = 204;
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    const RouteInfo* route = Find(req.method, req.path);
    const bool remote = !IsLoopbackAddress(req.remote_addr);
    if ((route != nullptr && route->admin) || remote) {
      const std::string auth = req.get_header_value("Authorization");
      const std::string prefix = "Bearer ";
      const bool ok = !token.empty() && auth.rfind(prefix, 0) == 0 &&
                      ConstantTimeEqual(auth.substr(prefix.size()), token);
      if (!ok) {
        res.set_header("WWW-Authenticate", "Bearer");
        Refuse(res, 401, "token-required", "Token required",
               token.empty() ? "This route needs the service's token, and none is set up "
                               "(token_file)."
                             : "Send the service's token as Authorization: Bearer <token>.");
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    return httplib::Server::HandlerResponse::Unhandled;
  }

  bool HostAllowed(const std::string& host) const {
    if (host == "localhost" || host == "127.0.0.1" || host == "::1") return true;
    for (const std::string& h : settings.allowed_hosts) {
      if (ToLower(h) == host) return true;
    }
    for (const std::string& a : settings.listen) {
      if (a == host && a != "0.0.0.0" && a != "::") return true;
    }
    return false;
  }

  static const RouteInfo* Find(const std::string& method, const std::string& path) {
    static const std::vector<std::regex> kPatterns = [] {
      std::vector<std::regex> patterns;
      for (const RouteInfo& r : kRoutes) patterns.emplace_back(PathPattern(r.path));
      return patterns;
    }();
    for (std::size_t i = 0; i < std::size(kRoutes); ++i) {
      if (method == kRoutes[i].method && std::regex_match(path, kPatterns[i])) return &kRoutes[i];
    }
    return nullptr;
  }

  PrinterWorker* Printer(const httplib::Request& req, httplib::Response& res) {
    const std::string id = req.matches.size() > 1 ? req.matches[1].str() : std::string();
    const auto it = printers.find(id);
    if (it == printers.end()) {
      Refuse(res, 404, "no-such-printer", "No such printer",
             "No printer is called \"" + id + "\"; GET /v1/printers lists them.");
      return nullptr;
    }
    return it->second.get();
  }

  // The body as JSON; an empty body is an empty object. Sets a 400 answer when it is none.
  std::optional<Json> Body(const httplib::Request& req, httplib::Response& res) {
    if (req.body.empty()) return Json::object();
    const std::string type = ToLower(req.get_header_value("Content-Type"));
    if (type.rfind("application/json", 0) != 0) {
      Refuse(res, 415, "not-json", "Not JSON", "Send the body as application/json.");
      return std::nullopt;
    }
    std::string error;
    auto body = ParseExactJson(req.body, error);
    if (!body) Refuse(res, 400, "bad-json", "The body is no JSON document", error);
    return body;
  }

  static void BadDocument(httplib::Response& res, const std::vector<Problem>& problems) {
    Json list = Json::array();
    for (const Problem& p : problems)
      list.push_back({{"pointer", p.pointer}, {"message", p.message}});
    std::string detail = problems.empty()
                             ? "the document is not valid"
                             : problems.front().pointer + ": " + problems.front().message;
    if (problems.size() > 1) detail += " (and " + std::to_string(problems.size() - 1) + " more)";
    Refuse(res, 400, "bad-document", "The document is not valid", detail, Json{{"problems", list}});
  }

  // A printing job: admitted under its key (replayed, refused or queued), run on the printer's
  // worker with every step in the journal, answered with its result.
  void Job(
      const httplib::Request& req, httplib::Response& res, PrinterWorker& worker,
      const std::string& kind, const Json& request, const Json& masked,
      const std::function<JobResult(PrinterSession&, const StepWriter&, const JobContext&)>& run) {
    const std::string key = req.get_header_value("Idempotency-Key");
    if (!ValidKey(key)) {
      Refuse(res, 400, "key-required", "Idempotency-Key required",
             "A request that prints carries an Idempotency-Key header: 1..255 visible ASCII "
             "characters, new for every job (a retry of the same job sends the same key).");
      return;
    }
    JobRecord job;
    job.key = key;
    job.printer = worker.settings().id;
    job.kind = kind;
    job.body_hash = BodyHash(CanonicalJson(request));
    job.request = CanonicalJson(masked);
    // A printer held by a reconciliation takes no new printing job (the administrator's calls
    // are a way out); the held job itself, repeated, is reconciled again.
    if (const Json hold = worker.hold(); !hold.is_null() && kind != "call" && !journal->Find(key)) {
      Refuse(res, 409, "printer-needs-attention", "The printer needs attention",
             "Printer " + worker.settings().id +
                 " waits for what a job left to be resolved: " + hold.value("found", std::string()),
             Json{{"attention", hold}});
      return;
    }
    JobRecord existing;
    const Journal::Admission admission = journal->Admit(job, existing);
    switch (admission) {
      case Journal::Admission::OtherBody:
        Refuse(res, 422, "key-reused", "Idempotency-Key used for another request",
               "The key " + key + " was used for another request (" + existing.kind + " on " +
                   existing.printer + "); a new job needs a new key.");
        return;
      case Journal::Admission::Running:
        res.set_header("Location", "/v1/jobs/" + key);
        Refuse(res, 409, "job-running", "The job is still running",
               "The job of key " + key + " is " + existing.state + "; ask GET /v1/jobs/" + key +
                   " for its outcome.");
        return;
      case Journal::Admission::Replay:
        res.set_header("Idempotent-Replayed", "true");
        if ((existing.state == "interrupted" || existing.state == "attention") &&
            Reconcilable(existing.kind)) {
          // What the printer did is read again: the answer is what it shows now.
          auto again = std::make_shared<JobResult>();
          Journal* j = journal.get();
          PrinterWorker* w = &worker;
          const bool close_paid = settings.close_paid_receipt;
          if (worker.Run(
                  [j, w, existing, again, close_paid](PrinterSession& session) {
                    *again = ReconcileStored(*j, *w, session, existing, close_paid);
                  },
                  settings.job_wait_seconds * 1000) != PrinterWorker::Wait::Done) {
            Refuse(res, 409, "job-running", "The job is being reconciled",
                   "Ask GET /v1/jobs/" + key + " for its outcome.");
            return;
          }
          Reply(res, again->http_status, again->body);
          return;
        }
        if (existing.state == "interrupted") {
          Refuse(res, 409, "job-interrupted", "The job was interrupted",
                 "The service stopped while this job ran; what the printer did is not known "
                 "yet. Look at the printer before printing it again.");
          return;
        }
        res.status = existing.http_status;
        res.set_content(existing.result, existing.http_status >= 400 ? "application/problem+json"
                                                                     : "application/json");
        return;
      case Journal::Admission::New:
      case Journal::Admission::RunAgain:
        break;
    }
    auto outcome = std::make_shared<JobResult>();
    Journal* j = journal.get();
    const JobContext context{key, settings.close_paid_receipt};
    const PrinterWorker::Wait waited = worker.Run(
        [j, key, run, outcome, context](PrinterSession& session) {
          j->SetState(key, "running");
          // A step's outcome goes with the start of the next step (or the job's end). That
          // start is on the disk before its bytes go, or written behind while they go.
          std::vector<StepRecord> pending;
          const StepWriter write = [j, &key, &pending](int n, const std::string& name,
                                                       const char* phase, const Json& detail,
                                                       StepCommit commit) {
            if (std::string_view(phase) == "after") StepStop(name, phase);
            pending.push_back(StepRecord{
                n, name, phase, detail.dump(-1, ' ', false, Json::error_handler_t::replace),
                Journal::Now()});
            if (std::string_view(phase) == "before") {
              if (commit == StepCommit::Behind) {
                j->StepsBehind(key, std::move(pending));
              } else {
                j->Steps(key, pending);
              }
              pending.clear();
              StepStop(name, phase);
            }
          };
          JobResult result;
          try {
            result = run(session, write, context);
          } catch (const std::exception& e) {
            result = JobResult{"attention", 500,
                               MakeProblem(500, "service-failure", "The service failed", e.what())};
          }
          j->Finish(key, result.state, result.http_status,
                    result.body.dump(-1, ' ', false, Json::error_handler_t::replace), pending);
          *outcome = std::move(result);
        },
        settings.job_wait_seconds * 1000);
    if (waited != PrinterWorker::Wait::Done) {
      if (waited == PrinterWorker::Wait::NotQueued) {
        journal->Finish(key, "offline", 503, "");
        res.set_header("Retry-After", "5");
        Refuse(res, 503, "queue-full", "The printer's queue is full",
               "Too many jobs wait for printer " + worker.settings().id + "; try again later.");
        return;
      }
      res.set_header("Location", "/v1/jobs/" + key);
      Reply(res, 202,
            Json{{"key", key}, {"state", "queued or running"}, {"href", "/v1/jobs/" + key}});
      return;
    }
    Reply(res, outcome->http_status, outcome->body);
  }

  // --- routes ---
  void Page(const httplib::Request&, httplib::Response& res) {
    res.set_content(std::string(StatusPage()), "text/html; charset=utf-8");
  }

  void OpenApi(const httplib::Request&, httplib::Response& res) {
    res.set_content(std::string(OpenApiDocument()), "application/json");
  }

  void ListPrinters(const httplib::Request&, httplib::Response& res) {
    Json list = Json::array();
    for (auto& [id, worker] : printers) {
      const PrinterView view = worker->View();
      list.push_back({{"id", id},
                      {"port", worker->settings().port},
                      {"speed", worker->settings().speed},
                      {"state", view.state},
                      {"queue", view.queue},
                      {"virtual_paper", !worker->settings().paper.empty()}});
    }
    Reply(res, 200, Json{{"printers", list}});
  }

  void Status(const httplib::Request& req, httplib::Response& res) {
    PrinterWorker* w = Printer(req, res);
    if (w == nullptr) return;
    Json status = Json::object();
    // A printer at work is not asked: its last reading stands.
    if (!w->busy() && w->waiting() == 0) {
      auto result = std::make_shared<JobResult>();
      w->Run([result, w](PrinterSession& s) { *result = ReadStatus(*w, s); }, 15000);
    }
    const PrinterView view = w->View();
    status = view.last.is_object() ? view.last : Json::object();
    status["id"] = w->settings().id;
    status["state"] = view.state;
    status["queue"] = view.queue + (w->busy() ? 1 : 0);
    if (!view.hold.is_null()) status["attention"] = view.hold;
    Reply(res, 200, status);
  }

  void Receipt(const httplib::Request& req, httplib::Response& res) {
    PrinterWorker* w = Printer(req, res);
    if (w == nullptr) return;
    auto body = Body(req, res);
    if (!body) return;
    std::vector<Problem> problems;
    auto doc = ReadReceipt(*body, problems);
    if (!doc) return BadDocument(res, problems);
    Job(req, res, *w, "receipt", *body, *body,
        [w, d = *doc](PrinterSession& s, const StepWriter& write, const JobContext& job) {
          return RunReceipt(*w, s, d, write, job);
        });
  }

  void Validate(const httplib::Request& req, httplib::Response& res) {
    if (Printer(req, res) == nullptr) return;
    auto body = Body(req, res);
    if (!body) return;
    std::vector<Problem> problems;
    auto doc = ReadReceipt(*body, problems);
    if (!doc) return BadDocument(res, problems);
    Json reply = {{"valid", true}};
    if (doc->total) reply["total"] = FormatDecimal(*doc->total, 2);
    Reply(res, 200, reply);
  }

  void NonFiscal(const httplib::Request& req, httplib::Response& res) {
    PrinterWorker* w = Printer(req, res);
    if (w == nullptr) return;
    auto body = Body(req, res);
    if (!body) return;
    std::vector<Problem> problems;
    auto lines = ReadNonFiscal(*body, problems);
    if (!lines) return BadDocument(res, problems);
    Job(req, res, *w, "nonfiscal", *body, *body,
        [w, l = *lines](PrinterSession& s, const StepWriter& write, const JobContext&) {
          return RunNonFiscal(*w, s, l, write);
        });
  }

  void ReportJob(const httplib::Request& req, httplib::Response& res, ReportRequest report,
                 const char* kind) {
    PrinterWorker* w = Printer(req, res);
    if (w == nullptr) return;
    auto body = Body(req, res);
    if (!body) return;
    std::vector<Problem> problems;
    FieldReader doc(*body, "", problems);
    if (report.kind == ReportKind::PeriodicByNumber) {
      doc.OnlyKnown({"from", "to", "from_date", "to_date", "full"});
      report.full = doc.Bool("full", false).value_or(false);
      if (doc.Has("from_date") || doc.Has("to_date")) {
        report.kind = ReportKind::PeriodicByDate;
        report.from_date = doc.Text("from_date", 6, true, ",", 6).value_or("");
        report.to_date = doc.Text("to_date", 6, true, ",", 6).value_or("");
        for (const std::string* d : {&report.from_date, &report.to_date}) {
          if (!std::all_of(d->begin(), d->end(), [](char c) { return c >= '0' && c <= '9'; })) {
            doc.Fail("/from_date", "dates as ddmmyy");
          }
        }
      } else {
        report.from = static_cast<std::int32_t>(doc.Integer("from", 0, 9999).value_or(0));
        report.to = static_cast<std::int32_t>(doc.Integer("to", 0, 9999).value_or(0));
        if (report.from > report.to) doc.Fail("/to", "not before \"from\"");
      }
    } else {
      doc.OnlyKnown({});
    }
    if (!problems.empty()) return BadDocument(res, problems);
    Job(req, res, *w, kind, *body, *body,
        [w, report](PrinterSession& s, const StepWriter& write, const JobContext& job) {
          return RunReport(*w, s, report, write, job);
        });
  }
  static ReportRequest Report(ReportKind kind) {
    ReportRequest r;
    r.kind = kind;
    return r;
  }
  void ReportX(const httplib::Request& req, httplib::Response& res) {
    ReportJob(req, res, Report(ReportKind::X), "report x");
  }
  void ReportZ(const httplib::Request& req, httplib::Response& res) {
    ReportJob(req, res, Report(ReportKind::Z), "report z");
  }
  void ReportPeriodic(const httplib::Request& req, httplib::Response& res) {
    ReportJob(req, res, Report(ReportKind::PeriodicByNumber), "report periodic");
  }

  void Cash(const httplib::Request& req, httplib::Response& res) {
    PrinterWorker* w = Printer(req, res);
    if (w == nullptr) return;
    auto body = Body(req, res);
    if (!body) return;
    std::vector<Problem> problems;
    FieldReader doc(*body, "", problems);
    doc.OnlyKnown({"direction", "amount"});
    const Json* direction = doc.Get("direction");
    const bool in = direction != nullptr && *direction == "in";
    if (direction == nullptr || (*direction != "in" && *direction != "out")) {
      doc.Fail("/direction", "\"in\" or \"out\"");
    }
    const auto amount = doc.Decimal("amount", 2, 1, kMaxAmount, true);
    if (!problems.empty()) return BadDocument(res, problems);
    Job(req, res, *w, "cash", *body, *body,
        [w, in, a = *amount](PrinterSession& s, const StepWriter& write, const JobContext& job) {
          return RunCash(*w, s, in, a, write, job);
        });
  }

  // A read or a non-printing action on the worker, answered when it is done.
  void Direct(httplib::Response& res, PrinterWorker& w,
              const std::function<JobResult(PrinterSession&)>& run) {
    auto result = std::make_shared<JobResult>();
    const bool done =
        PrinterWorker::Wait::Done == w.Run([result, run](PrinterSession& s) { *result = run(s); },
                                           settings.job_wait_seconds * 1000);
    if (!done) {
      res.set_header("Retry-After", "5");
      Refuse(res, 503, "printer-busy", "The printer is busy",
             "Printer " + w.settings().id + " did not get to this in time; try again.");
      return;
    }
    Reply(res, result->http_status, result->body);
  }

  void Totals(const httplib::Request& req, httplib::Response& res) {
    PrinterWorker* w = Printer(req, res);
    if (w == nullptr) return;
    Direct(res, *w, [w](PrinterSession& s) { return ReadTotals(*w, s); });
  }

  void GetClock(const httplib::Request& req, httplib::Response& res) {
    PrinterWorker* w = Printer(req, res);
    if (w == nullptr) return;
    Direct(res, *w, [w](PrinterSession& s) { return ReadClock(*w, s); });
  }

  void PutClock(const httplib::Request& req, httplib::Response& res) {
    PrinterWorker* w = Printer(req, res);
    if (w == nullptr) return;
    auto body = Body(req, res);
    if (!body) return;
    // "2026-12-11T10:20:30" -> "11-12-26", "10:20:30"
    static const std::regex kIso(R"((\d{4})-(\d{2})-(\d{2})T(\d{2}):(\d{2}):(\d{2}))");
    std::smatch m;
    const Json* at = body->is_object() && body->contains("clock") ? &body->at("clock") : nullptr;
    const std::string text = at != nullptr && at->is_string() ? at->get<std::string>() : "";
    if (!std::regex_match(text, m, kIso) || body->size() != 1) {
      return BadDocument(res, {Problem{"/clock", "the local time as \"YYYY-MM-DDThh:mm:ss\""}});
    }
    const std::string date = m[3].str() + "-" + m[2].str() + "-" + m[1].str().substr(2);
    const std::string time = m[4].str() + ":" + m[5].str() + ":" + m[6].str();
    Direct(res, *w, [w, date, time](PrinterSession& s) { return WriteClock(*w, s, date, time); });
  }

  void Drawer(const httplib::Request& req, httplib::Response& res) {
    PrinterWorker* w = Printer(req, res);
    if (w == nullptr) return;
    auto body = Body(req, res);
    if (!body) return;
    std::vector<Problem> problems;
    FieldReader doc(*body, "", problems);
    doc.OnlyKnown({"pulse"});
    const auto pulse = doc.Integer("pulse", 5, 150, 50);
    if (!problems.empty()) return BadDocument(res, problems);
    Direct(res, *w,
           [w, p = static_cast<int>(*pulse)](PrinterSession& s) { return OpenDrawer(*w, s, p); });
  }

  void Display(const httplib::Request& req, httplib::Response& res) {
    PrinterWorker* w = Printer(req, res);
    if (w == nullptr) return;
    auto body = Body(req, res);
    if (!body) return;
    std::vector<Problem> problems;
    FieldReader doc(*body, "", problems);
    doc.OnlyKnown({"clear", "upper", "lower"});
    const bool clear = doc.Bool("clear", false).value_or(false);
    const auto upper = doc.Text("upper", 20, false);
    const auto lower = doc.Text("lower", 20, false);
    if (!clear && !doc.Has("upper") && !doc.Has("lower")) {
      doc.Fail("/", "give \"upper\", \"lower\" or \"clear\"");
    }
    if (!problems.empty()) return BadDocument(res, problems);
    Direct(res, *w, [w, clear, upper, lower](PrinterSession& s) {
      return ShowOnDisplay(*w, s, clear, upper, lower);
    });
  }

  void Calls(const httplib::Request& req, httplib::Response& res) {
    PrinterWorker* w = Printer(req, res);
    if (w == nullptr) return;
    auto body = Body(req, res);
    if (!body) return;
    std::vector<Problem> problems;
    FieldReader doc(*body, "", problems);
    doc.OnlyKnown({"entry", "args"});
    const Json* entry = doc.Get("entry");
    const Json args = doc.Has("args") ? *doc.Get("args") : Json::array();
    if (entry == nullptr || !entry->is_string()) doc.Fail("/entry", "the entry's name");
    if (!problems.empty()) return BadDocument(res, problems);
    const std::string name = entry->get<std::string>();
    if (const std::string why = CheckCall(name, args); !why.empty()) {
      return BadDocument(res, {Problem{"/args", why}});
    }
    // Passwords stay out of the journal.
    Json masked = *body;
    if (const SlotInfo* slot = FindSlot(name, EntryKind::Method); slot != nullptr) {
      std::size_t next = 0;
      for (const ParamInfo& p : slot->params) {
        if (IsOutput(p.dir) && p.dir != ParamDir::InRef) continue;
        if (p.secret && next < masked["args"].size()) masked["args"][next] = "***";
        ++next;
      }
    }
    Job(req, res, *w, "call", *body, masked,
        [w, name, args](PrinterSession& s, const StepWriter& write, const JobContext&) {
          return RunCall(*w, s, name, args, write);
        });
  }

  void Paper(const httplib::Request& req, httplib::Response& res) {
    PrinterWorker* w = Printer(req, res);
    if (w == nullptr) return;
    if (w->settings().paper.empty()) {
      Refuse(res, 404, "no-paper", "No paper roll",
             "Printer " + w->settings().id + " is no virtual printer with a paper file.");
      return;
    }
    std::string paper = ReadFile(w->settings().paper);
    constexpr std::size_t kTail = 16 * 1024;
    if (paper.size() > kTail) paper = paper.substr(paper.size() - kTail);
    res.set_content(paper, "text/plain; charset=utf-8");
  }

  static Json JobJson(const JobRecord& j) {
    Json job = {{"key", j.key},
                {"printer", j.printer},
                {"kind", j.kind},
                {"state", j.state},
                {"created", j.created},
                {"updated", j.updated},
                {"http_status", j.http_status}};
    std::string error;
    if (auto result = ParseExactJson(j.result, error); result && !j.result.empty()) {
      job["result"] = Json::parse(CanonicalJson(*result), nullptr, false);
    }
    return job;
  }

  void GetJob(const httplib::Request& req, httplib::Response& res) {
    const std::string key = req.matches[1].str();
    const auto job = journal->Find(key);
    if (!job) {
      Refuse(res, 404, "no-such-job", "No such job", "No job has the key " + key + ".");
      return;
    }
    Json out = JobJson(*job);
    Json steps = Json::array();
    for (const StepRecord& s : journal->Steps(key)) {
      steps.push_back({{"number", s.number},
                       {"name", s.name},
                       {"phase", s.phase},
                       {"detail", Json::parse(s.detail, nullptr, false)},
                       {"at", s.at}});
    }
    out["steps"] = steps;
    Reply(res, 200, out);
  }

  // The way out an administrator takes for a job that needs attention, once the paper shows
  // what it did: printed (with its receipt number when known) or not printed. The printer's
  // fiscal jobs go on.
  void SetOutcome(const httplib::Request& req, httplib::Response& res) {
    const std::string key = req.matches[1].str();
    const auto job = journal->Find(key);
    if (!job) {
      Refuse(res, 404, "no-such-job", "No such job", "No job has the key " + key + ".");
      return;
    }
    auto body = Body(req, res);
    if (!body) return;
    const Json* outcome = body->is_object() ? &(*body)["outcome"] : nullptr;
    const bool printed = outcome != nullptr && *outcome == "printed";
    const Json receipt = body->is_object() ? body->value("receipt", Json()) : Json();
    if (outcome == nullptr || (!printed && *outcome != "not printed") ||
        !(receipt.is_null() || receipt.is_number_integer()) || body->size() > 2) {
      return BadDocument(res, {Problem{"/outcome",
                                       "\"printed\" (with \"receipt\") or \"not "
                                       "printed\""}});
    }
    if (job->state != "attention" && job->state != "interrupted") {
      Refuse(res, 409, "job-not-waiting", "The job does not need attention",
             "The job of key " + key + " is " + job->state + ".");
      return;
    }
    ResolveByHand(*journal, *job, printed, receipt, body->dump());
    if (const auto it = printers.find(job->printer); it != printers.end()) {
      it->second->Release(key);
    }
    Reply(res, 200, JobJson(*journal->Find(key)));
  }

  void ListJobs(const httplib::Request& req, httplib::Response& res) {
    std::size_t limit = 100;
    if (req.has_param("limit")) {
      const std::string l = req.get_param_value("limit");
      if (l.empty() || l.size() > 4 || !std::all_of(l.begin(), l.end(), ::isdigit) ||
          std::stoi(l) < 1 || std::stoi(l) > 1000) {
        return BadDocument(res, {Problem{"limit", "1..1000"}});
      }
      limit = static_cast<std::size_t>(std::stoi(l));
    }
    std::vector<JobRecord> jobs;
    if (req.has_param("printer")) {
      jobs = journal->Last(req.get_param_value("printer"), limit);
    } else {
      const std::string since = req.get_param_value("since");
      static const std::regex kTime(R"(\d{4}-\d{2}-\d{2}(T\d{2}:\d{2}(:\d{2}(\.\d{1,3})?)?Z?)?)");
      if (!since.empty() && !std::regex_match(since, kTime)) {
        return BadDocument(res, {Problem{"since", "a UTC time such as 2026-12-11T06:00:00Z"}});
      }
      jobs = journal->Since(since, limit);
    }
    Json list = Json::array();
    for (const JobRecord& j : jobs) list.push_back(JobJson(j));
    Reply(res, 200, Json{{"jobs", list}});
  }

  Handler HandlerOf(const RouteInfo& route) const {
    static const std::map<std::string, Handler> kHandlers = {
        {"GET /", &State::Page},
        {"GET /v1/openapi.json", &State::OpenApi},
        {"GET /v1/printers", &State::ListPrinters},
        {"GET /v1/printers/{id}/status", &State::Status},
        {"POST /v1/printers/{id}/receipts", &State::Receipt},
        {"POST /v1/printers/{id}/receipts:validate", &State::Validate},
        {"POST /v1/printers/{id}/nonfiscal", &State::NonFiscal},
        {"POST /v1/printers/{id}/reports/x", &State::ReportX},
        {"POST /v1/printers/{id}/reports/z", &State::ReportZ},
        {"POST /v1/printers/{id}/reports/periodic", &State::ReportPeriodic},
        {"POST /v1/printers/{id}/cash", &State::Cash},
        {"GET /v1/printers/{id}/totals", &State::Totals},
        {"GET /v1/printers/{id}/clock", &State::GetClock},
        {"PUT /v1/printers/{id}/clock", &State::PutClock},
        {"POST /v1/printers/{id}/drawer", &State::Drawer},
        {"POST /v1/printers/{id}/display", &State::Display},
        {"POST /v1/printers/{id}/calls", &State::Calls},
        {"GET /v1/printers/{id}/paper", &State::Paper},
        {"GET /v1/jobs", &State::ListJobs},
        {"GET /v1/jobs/{key}", &State::GetJob},
        {"POST /v1/jobs/{key}/outcome", &State::SetOutcome},
    };
    const auto it = kHandlers.find(std::string(route.method) + " " + route.path);
    return it == kHandlers.end() ? nullptr : it->second;
  }

  void Install(httplib::Server& server) {
    server.set_payload_max_length(settings.body_limit);
    server.set_pre_routing_handler(
        [this](const httplib::Request& req, httplib::Response& res) { return Guard(req, res); });
    for (const RouteInfo& route : kRoutes) {
      const Handler handler = HandlerOf(route);
      const std::string pattern = PathPattern(route.path);
      auto call = [this, handler](const httplib::Request& req, httplib::Response& res) {
        (this->*handler)(req, res);
      };
      const std::string method = route.method;
      if (method == "GET") {
        server.Get(pattern, call);
      } else if (method == "POST") {
        server.Post(pattern, call);
      } else if (method == "PUT") {
        server.Put(pattern, call);
      }
    }
    server.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
      if (!res.body.empty()) return;
      if (res.status == 404) {
        Refuse(res, 404, "no-route", "No such route",
               req.method + " " + req.path + " is no route of this service; see /v1/openapi.json.");
      } else if (res.status == 413) {
        Refuse(res, 413, "body-too-large", "The body is too large",
               "The body exceeds the service's body_limit.");
      } else if (res.status >= 400) {
        Refuse(res, res.status, "http-error", "Request refused", "The request was refused.");
      }
    });
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, const std::exception_ptr& e) {
          std::string what = "unexpected failure";
          try {
            std::rethrow_exception(e);
          } catch (const std::exception& x) {
            what = x.what();
          } catch (...) {
          }
          Refuse(res, 500, "service-failure", "The service failed", what);
        });
  }
};

Service::Service(ServiceSettings settings, std::vector<PrinterLine> lines)
    : state_(std::make_unique<State>()) {
  state_->settings = std::move(settings);
  state_->printer_lines = std::move(lines);
}

Service::~Service() {
  Stop();
}

int Service::port() const {
  return state_->port;
}

bool Service::Start(std::string& error) {
  State& s = *state_;
  if (!s.settings.token_file.empty()) {
#ifndef _WIN32
    // The token opens every route: a file that others may read gives it away.
    struct stat st {};
    if (stat(s.settings.token_file.c_str(), &st) != 0 || (st.st_mode & 077) != 0) {
      error = s.settings.token_file + ": missing, or readable by others than its owner (chmod 600)";
      return false;
    }
#endif
    s.token = Trim(ReadFile(s.settings.token_file));
    if (s.token.size() < 16) {
      error = s.settings.token_file + ": no token of at least 16 characters";
      return false;
    }
  }
  for (const std::string& address : s.settings.listen) {
    if (!IsLoopbackAddress(address) && s.token.empty()) {
      error = "listening on " + address + " needs a token (token_file)";
      return false;
    }
  }
  for (std::size_t i = 0; i < s.settings.printers.size(); ++i) {
    for (std::size_t k = 0; k < i; ++k) {
      if (s.settings.printers[k].port == s.settings.printers[i].port) {
        error = "printers " + s.settings.printers[k].id + " and " + s.settings.printers[i].id +
                " name the same port";
        return false;
      }
    }
  }
  // Nothing is created before the settings are known to be safe.
  try {
    const std::string path = s.settings.journal.empty()
                                 ? SettingsDirectory() + PathSeparator() + "ecr-service.sqlite"
                                 : s.settings.journal;
    s.journal = std::make_unique<Journal>(path);
    s.journal->MarkUnfinished();
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
  for (std::size_t i = 0; i < s.settings.printers.size(); ++i) {
    const PrinterSettings& p = s.settings.printers[i];
    const PrinterLine line = i < s.printer_lines.size() ? s.printer_lines[i] : PrinterLine{};
    s.printers[p.id] =
        std::make_unique<PrinterWorker>(p, MakePrinterObject(p, line), s.settings.queue_limit);
  }
  // Jobs a stop cut short, or left needing attention, are read back from their printers before
  // any new work is taken.
  for (const char* state : {"interrupted", "attention"}) {
    for (const JobRecord& job : s.journal->InState(state, 10000)) {
      const auto it = s.printers.find(job.printer);
      if (it == s.printers.end() || !Reconcilable(job.kind)) continue;
      PrinterWorker* w = it->second.get();
      Journal* j = s.journal.get();
      const bool close_paid = s.settings.close_paid_receipt;
      w->Run([j, w, job, close_paid](
                 PrinterSession& session) { ReconcileStored(*j, *w, session, job, close_paid); },
             s.settings.job_wait_seconds * 1000);
    }
  }
  // Every address on the same port: the first one bound fixes it when the settings say 0. An
  // address this machine lacks (::1 without IPv6) is left out; none at all is an error.
  int port = s.settings.port;
  std::string refused;
  for (const std::string& address : s.settings.listen) {
    auto server = std::make_unique<httplib::Server>();
    // The listening loop looks for new connections a tenth of a second at a time, so that a stop
    // that lands between its check and its wait still ends it within that time.
    server->set_idle_interval(0, 100'000);
    s.Install(*server);
    bool bound = false;
    if (port == 0) {
      const int chosen = server->bind_to_any_port(address);
      bound = chosen > 0;
      if (bound) port = chosen;
    } else {
      bound = server->bind_to_port(address, port);
    }
    if (!bound) {
      refused += (refused.empty() ? "" : ", ") + address;
      continue;
    }
    s.servers.push_back(std::move(server));
  }
  if (s.servers.empty()) {
    error = "cannot listen on " + refused + " port " + std::to_string(s.settings.port);
    return false;
  }
  s.port = port;
  for (auto& server : s.servers) {
    httplib::Server* raw = server.get();
    s.threads.emplace_back([raw] { raw->listen_after_bind(); });
  }
  // A server told to stop before its loop runs would miss the word and listen for ever: Start
  // returns once every loop runs (or, should one never start, after a bounded wait).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (auto& server : s.servers) {
    while (!server->is_running() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  return true;
}

void Service::Stop() {
  State& s = *state_;
  for (auto& server : s.servers) server->stop();
  for (auto& t : s.threads) t.join();
  s.threads.clear();
  s.servers.clear();
  s.printers.clear();
  s.journal.reset();
}

}  // namespace molvex::service
