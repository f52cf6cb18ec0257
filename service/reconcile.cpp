#include "service/reconcile.h"

#include <algorithm>

#include "archive/z_spool.h"
#include "platform/text_codec.h"

namespace molvex::service {
namespace {

const char* const kOpenNames[] = {"none", "fiscal", "refund", "non-fiscal"};

std::string OpenName(LONG kind) {
  return kind >= 0 && kind <= 3 ? kOpenNames[kind] : "unknown";
}

std::int64_t Int(const Json& j, const char* name, std::int64_t none = -1) {
  const auto it = j.find(name);
  return it != j.end() && it->is_number_integer() ? it->get<std::int64_t>() : none;
}

// The reconciliation's own steps, numbered after the job's.
class Steps {
 public:
  Steps(int first, const StepWriter& write) : next_(first), write_(write) {}
  void Write(const std::string& name, const Json& before, const Json& after) {
    const int n = next_++;
    if (write_) write_(n, name, "before", before, StepCommit::BeforeItsBytes);
    if (write_) write_(n, name, "after", after, StepCommit::BeforeItsBytes);
  }

 private:
  int next_;
  const StepWriter& write_;
};

// What a person can do about a job that needs attention, as the status shows it.
Json WaysOut() {
  Json ways = Json::array();
  ways.push_back("Look at the printer and its paper: is the receipt there, is a receipt open?");
  ways.push_back(std::string("When the printer was off or not connected: switch it on, connect ") +
                 "it, then repeat the request with the same Idempotency-Key; the service looks " +
                 "again and answers what it finds.");
  ways.push_back(std::string("When a receipt is open that is not this job's: finish it where it ") +
                 "was begun, or cancel it with POST /v1/printers/{id}/calls (CancelReceipt, " +
                 "administrators), then repeat the request with the same key.");
  ways.push_back(std::string("When the paper shows what the job did: an administrator says so ") +
                 "with POST /v1/jobs/{key}/outcome ({\"outcome\": \"printed\", \"receipt\": " +
                 "N} or {\"outcome\": \"not printed\"}), and the printer's fiscal jobs go on.");
  ways.push_back(
      "The service never cancels or resets by itself what it cannot recognise as its "
      "own.");
  return ways;
}

JobResult NeedsAttention(PrinterWorker& worker, const std::string& key, const std::string& what,
                         const Json& found, const Json& baseline) {
  Json hold = {{"job", key},
               {"found", what},
               {"printer_now", found},
               {"recorded_before", baseline},
               {"ways_out", WaysOut()}};
  worker.Hold(key, hold);
  Json problem = MakeProblem(
      502, "printer-needs-attention", "The printer needs attention",
      what + " The printer's fiscal jobs wait until this is resolved.",
      Json{{"printer", worker.settings().id}, {"found", found}, {"ways_out", WaysOut()}});
  return JobResult{"attention", 502, std::move(problem)};
}

JobResult NotPrinted(PrinterWorker& worker, const std::string& key, const std::string& what,
                     const std::string& detail, const Json& found) {
  worker.Release(key);
  return JobResult{"not printed", 422,
                   MakeProblem(422, "not-printed", "The " + what + " was not printed",
                               detail + " Nothing of it stands on the printer; a new attempt "
                                        "needs a new Idempotency-Key.",
                               Json{{"found", found}})};
}

JobResult ReconcileReceipt(PrinterWorker& worker, PrinterSession& session, const std::string& key,
                           const Json& base, bool close_paid, Steps& steps) {
  const std::int64_t before = Int(base, "receipt_number");
  const LONG ours = static_cast<LONG>(Int(base, "receipt_kind", 1));
  Json found = Json::object();
  const int number = session.LastReceiptNumber();
  const LONG open = number >= 0 ? session.OpenKind() : -1;
  found["receipt_number"] = number;
  found["open"] = OpenName(open);
  std::int64_t sum = -1;
  std::int64_t paid = -1;
  if (open == 1 || open == 2) {
    const double s = session.Sum();
    const double p = s >= 0 ? session.Paid() : -1.0;
    sum = s >= 0 ? DoubleToUnits(s, 2) : -1;
    paid = p >= 0 ? DoubleToUnits(p, 2) : -1;
    found["sum"] = FormatDecimal(sum, 2);
    found["paid"] = FormatDecimal(paid, 2);
  }
  const bool answered = number >= 0 && open >= 0 && (open == 0 || open == 3 || sum >= 0);
  found["answered"] = answered;
  steps.Write("reconcile: read", base, found);
  const char* what = ours == 2 ? "refund receipt" : "receipt";
  if (!answered) {
    return NeedsAttention(worker, key,
                          "The printer does not answer, so whether the receipt printed is not "
                          "known.",
                          found, base);
  }
  // The sum the receipt should have: the printer's own sum read before the close, else the
  // document's when it fixes it.
  std::int64_t expected = Int(base, "total_hundredths");
  if (expected < 0) expected = Int(base, "expected_total_hundredths");
  const auto printed = [&](int n) {
    worker.Release(key);
    Json reply = {{"kind", ours == 2 ? "refund" : "sale"}, {"receipt", n}, {"reconciled", true}};
    const std::int64_t total = Int(base, "total_hundredths");
    const std::int64_t pay = Int(base, "paid_hundredths");
    if (total >= 0 && pay >= 0) {
      reply["total"] = FormatDecimal(total, 2);
      reply["paid"] = FormatDecimal(pay, 2);
      reply["change"] = FormatDecimal(pay > total ? pay - total : 0, 2);
    }
    return JobResult{"done", 200, std::move(reply)};
  };
  if (open == 0 && before >= 0 && number == before + 1) return printed(number);
  if (open == 0 && number == before) {
    return NotPrinted(worker, key, what,
                      "No receipt is open and the printer's receipt number is still " +
                          std::to_string(number) + ".",
                      found);
  }
  const bool our_open = open == ours && number == before && (expected < 0 || sum <= expected);
  if (!our_open) {
    std::string why =
        open == 0
            ? "The printer's receipt number moved from " + std::to_string(before) + " to " +
                  std::to_string(number) + ": receipts were printed that are not this job's alone."
            : "A " + OpenName(open) + " receipt is open (sum " + FormatDecimal(sum, 2) +
                  ") that this job cannot recognise as its own.";
    return NeedsAttention(worker, key, why, found, base);
  }
  const bool fully_paid = sum > 0 && paid >= sum && (expected < 0 || sum == expected);
  if (fully_paid && close_paid) {
    const bool closed = session.CloseReceipt();
    const int now = closed ? session.LastReceiptNumber() : -1;
    steps.Write("reconcile: close", Json{{"sum", FormatDecimal(sum, 2)}},
                Json{{"ok", closed}, {"receipt_number", now}});
    if (closed && now == before + 1) return printed(now);
    return NeedsAttention(worker, key,
                          "The job's receipt was open and fully paid; closing it did not end "
                          "with a clean answer.",
                          found, base);
  }
  const bool cancelled = session.CancelReceipt();
  const LONG after = cancelled ? session.OpenKind() : -1;
  steps.Write("reconcile: cancel",
              Json{{"sum", FormatDecimal(sum, 2)}, {"paid", FormatDecimal(paid, 2)}},
              Json{{"ok", cancelled}, {"open", OpenName(after)}});
  if (cancelled && after == 0) {
    return NotPrinted(worker, key, what,
                      std::string("The job's receipt was left open ") +
                          (fully_paid ? "fully paid" : "not fully paid") + "; it was cancelled.",
                      found);
  }
  return NeedsAttention(worker, key,
                        "The job's receipt was left open; cancelling it did not end with a "
                        "clean answer.",
                        found, base);
}

JobResult ReconcileZ(PrinterWorker& worker, PrinterSession& session, const std::string& key,
                     const Json& base, Steps& steps) {
  const std::int64_t before = Int(base, "last_z");
  std::string stem;
  if (ZReportMarked(stem)) {
    // The object reads back a report sent but not kept when its port is opened.
    session.MarkClosed();
    session.EnsureOpen();
  }
  const int now = LastZNumber(session);
  const bool marked = ZReportMarked(stem);
  const bool spooled = !SpooledZData().empty();
  const Json archive = marked ? Json(-101) : spooled ? Json(-102) : Json("written");
  steps.Write("reconcile: read", base,
              Json{{"last_z", now}, {"archive", archive}, {"answered", now >= 0}});
  if (now < 0) {
    return NeedsAttention(worker, key,
                          "The printer does not answer, so whether the Z report ran is not known.",
                          Json{{"last_z", now}}, base);
  }
  if (now == before + 1) {
    worker.Release(key);
    return JobResult{
        "done", 200,
        Json{{"report", "z"}, {"z_number", now}, {"archive", archive}, {"reconciled", true}}};
  }
  if (now == before) {
    return NotPrinted(worker, key, "Z report",
                      "The last Z report's number is still " + std::to_string(now) + ".",
                      Json{{"last_z", now}});
  }
  return NeedsAttention(
      worker, key,
      "The last Z number moved from " + std::to_string(before) + " to " + std::to_string(now) + ".",
      Json{{"last_z", now}}, base);
}

JobResult ReconcileCash(PrinterWorker& worker, PrinterSession& session, const std::string& key,
                        const Json& base, Steps& steps) {
  const std::int64_t before = Int(base, "drawer_hundredths");
  const std::int64_t change = Int(base, "change_hundredths", 0);
  const std::int64_t now = DrawerAmount(session);
  const Json found = {{"drawer", now >= 0 ? Json(FormatDecimal(now, 2)) : Json(nullptr)}};
  steps.Write("reconcile: read", base, found);
  if (now < 0 || before < 0) {
    return NeedsAttention(worker, key,
                          "The printer does not answer, so whether the cash moved is not known.",
                          found, base);
  }
  if (now == before + change) {
    worker.Release(key);
    return JobResult{"done", 200,
                     Json{{"direction", change >= 0 ? "in" : "out"},
                          {"amount", FormatDecimal(change >= 0 ? change : -change, 2)},
                          {"drawer", FormatDecimal(now, 2)},
                          {"reconciled", true}}};
  }
  if (now == before) {
    return NotPrinted(worker, key, "cash movement",
                      "The drawer still holds " + FormatDecimal(now, 2) + ".", found);
  }
  return NeedsAttention(worker, key,
                        "The drawer moved from " + FormatDecimal(before, 2) + " to " +
                            FormatDecimal(now, 2) + ", not by the job's amount.",
                        found, base);
}

}  // namespace

int LastZNumber(PrinterSession& session) {
  TTECRFiscImpl& o = session.object();
  o.put_TotalIdx(0);
  BSTR value = nullptr;
  const HRESULT hr = o.get_LastZReport(&value);
  const std::string text =
      value == nullptr ? std::string() : WideToUtf8(value, SysStringLen(value));
  SysFreeString(value);
  if (hr != S_OK || text.empty()) return -1;
  const std::string first = text.substr(0, text.find(','));
  if (first.empty() || first.size() > 9 ||
      first.find_first_not_of("0123456789") != std::string::npos) {
    return -1;
  }
  return std::stoi(first);
}

std::int64_t DrawerAmount(PrinterSession& session) {
  double cash = -1;
  session.object().get_CashInfo(&cash);
  LONG status = -1;
  session.object().get_StatusBytes(&status);
  return cash >= 0 && status == 0 ? DoubleToUnits(cash, 2) : -1;
}

bool NeedsReadBack(const CallOutcome& outcome) {
  return outcome.Unclear() || outcome.error == 18;
}

bool Reconcilable(const std::string& kind) {
  return kind == "receipt" || kind == "report z" || kind == "cash";
}

Json BaselineOf(const std::vector<StepRecord>& steps) {
  Json base;
  for (const StepRecord& s : steps) {
    const bool read = s.name == "read before" && s.phase == "after";
    const bool closing = s.name == "closing" && s.phase == "before";
    if (!read && !closing) continue;
    const Json detail = Json::parse(s.detail, nullptr, false);
    if (!detail.is_object()) continue;
    if (!base.is_object()) base = Json::object();
    for (auto it = detail.begin(); it != detail.end(); ++it) {
      if (it.key() != "ok" && it.key() != "outcome") base[it.key()] = it.value();
    }
  }
  return base;
}

JobResult Reconcile(PrinterWorker& worker, PrinterSession& session, const std::string& kind,
                    const std::string& key, const Json& baseline, bool close_paid, int first_step,
                    const StepWriter& write) {
  Steps steps(first_step, write);
  if (!session.EnsureOpen()) {
    return NeedsAttention(worker, key, "The printer's port cannot be opened.", Json::object(),
                          baseline);
  }
  if (kind == "receipt") {
    return ReconcileReceipt(worker, session, key, baseline, close_paid, steps);
  }
  if (kind == "report z") return ReconcileZ(worker, session, key, baseline, steps);
  return ReconcileCash(worker, session, key, baseline, steps);
}

JobResult ReconcileStored(Journal& journal, PrinterWorker& worker, PrinterSession& session,
                          const JobRecord& job, bool close_paid) {
  // Another reconciliation of the same job may have ended it meanwhile: its outcome stands.
  if (const auto now = journal.Find(job.key);
      now && now->state != "interrupted" && now->state != "attention") {
    Json body = Json::parse(now->result, nullptr, false);
    return JobResult{now->state, now->http_status, body.is_discarded() ? Json() : body};
  }
  const std::vector<StepRecord> recorded = journal.Steps(job.key);
  const Json baseline = BaselineOf(recorded);
  int last = 0;
  for (const StepRecord& s : recorded) last = std::max(last, s.number);
  std::vector<StepRecord> pending;
  const StepWriter write = [&](int n, const std::string& name, const char* phase,
                               const Json& detail, StepCommit) {
    pending.push_back(StepRecord{n, name, phase,
                                 detail.dump(-1, ' ', false, Json::error_handler_t::replace),
                                 Journal::Now()});
  };
  JobResult result;
  const bool only_reads = std::all_of(recorded.begin(), recorded.end(),
                                      [](const StepRecord& r) { return r.name == "read before"; });
  if (!baseline.is_object() && only_reads) {
    // Stopped before anything that changes the printer was sent.
    result =
        NotPrinted(worker, job.key, job.kind == "receipt" ? "receipt" : job.kind,
                   "The service stopped before the job sent anything that prints.", Json::object());
  } else if (!baseline.is_object()) {
    // Something was sent, but nothing to compare with was recorded before it.
    result = NeedsAttention(worker, job.key,
                            "The job's steps were sent without a reading of the printer before "
                            "them, so what it printed cannot be told.",
                            Json::object(), Json::object());
  } else {
    result = Reconcile(worker, session, job.kind, job.key, baseline, close_paid, last + 1, write);
  }
  journal.Finish(job.key, result.state, result.http_status,
                 result.body.dump(-1, ' ', false, Json::error_handler_t::replace), pending);
  return result;
}

void ResolveByHand(Journal& journal, const JobRecord& job, bool printed, const Json& receipt,
                   const std::string& detail) {
  int last = 0;
  for (const StepRecord& s : journal.Steps(job.key)) last = std::max(last, s.number);
  const std::string now = Journal::Now();
  JobResult result;
  if (printed) {
    result = JobResult{
        "done", 200,
        Json{{"kind", job.kind}, {"receipt", receipt}, {"resolved", "by an administrator"}}};
  } else {
    result = JobResult{"not printed", 422,
                       MakeProblem(422, "not-printed", "Not printed",
                                   "An administrator found that the job did not print; a new "
                                   "attempt needs a new Idempotency-Key.")};
  }
  journal.Finish(job.key, result.state, result.http_status, result.body.dump(),
                 {StepRecord{last + 1, "resolved by an administrator", "before", detail, now},
                  StepRecord{last + 1, "resolved by an administrator", "after", "{}", now}});
}

}  // namespace molvex::service
