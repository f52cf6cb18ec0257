#include "service/jobs.h"

#include <cmath>

#include "platform/text_codec.h"
#include "service/reconcile.h"
#include "tools/ecrfisc/entry_bindings.h"

namespace molvex::service {
namespace {

const char* const kReceiptKinds[] = {"none", "fiscal", "refund", "non-fiscal"};

std::string ReceiptKindName(LONG kind) {
  return kind >= 0 && kind <= 3 ? kReceiptKinds[kind] : "unknown";
}

// Runs steps and writes each to the journal before and after it.
class Stepper {
 public:
  Stepper(PrinterSession& session, const StepWriter& write) : session_(session), write_(write) {}

  // `call` fills the step's detail (what it read) and says whether it went as it should.
  template <class F>
  bool Run(const std::string& name, F call, const Json& before = Json::object(),
           StepCommit commit = StepCommit::BeforeItsBytes) {
    const int number = ++count_;
    if (write_) write_(number, name, "before", before, commit);
    Json detail = Json::object();
    const bool ok = call(detail);
    last_ = session_.Outcome();
    detail["ok"] = ok;
    detail["outcome"] = last_.ToJson();
    if (write_) write_(number, name, "after", detail, commit);
    last_name_ = name;
    return ok;
  }
  // A step written behind: a line, a payment or a read between the steps that wait for the disk.
  template <class F>
  bool Behind(const std::string& name, F call) {
    return Run(name, call, Json::object(), StepCommit::Behind);
  }
  const CallOutcome& last() const { return last_; }
  const std::string& last_name() const { return last_name_; }
  int count() const { return count_; }

 private:
  PrinterSession& session_;
  const StepWriter& write_;
  int count_ = 0;
  CallOutcome last_;
  std::string last_name_;
};

JobResult Offline(PrinterWorker& worker, const std::string& detail, const CallOutcome& outcome) {
  worker.SetOffline(true);
  return JobResult{"offline", 503,
                   PrinterProblem(503, "printer-offline",
                                  "The printer " + worker.settings().id + " does not answer (" +
                                      detail + "); nothing was printed. Try again when it is on.",
                                  outcome)};
}

JobResult PortNotOpen(PrinterWorker& worker) {
  worker.SetOffline(true);
  return JobResult{"offline", 503,
                   MakeProblem(503, "printer-offline", "The printer is offline",
                               "The port of printer " + worker.settings().id +
                                   " cannot be opened; nothing was printed.",
                               Json{{"printer", worker.settings().id}})};
}

// A step that failed: a clean refusal ends the job refused (an open receipt is cancelled, so
// that it blocks nothing); an answer that did not come whole leaves everything as it is and the
// printer needing attention.
JobResult Failed(PrinterWorker& worker, PrinterSession& session, Stepper& steps, bool opened,
                 const char* what) {
  const CallOutcome outcome = steps.last();
  const std::string step = steps.last_name();
  if (outcome.Unclear()) {
    worker.SetAttention(true);
    return JobResult{
        "attention", 502,
        PrinterProblem(502, "printer-answer-lost",
                       "The printer's answer to the step \"" + step +
                           "\" did not come whole; it may have carried it out. Nothing more was "
                           "sent: look at the printer and its paper before printing again.",
                       outcome)};
  }
  bool cancelled = false;
  if (opened) {
    cancelled = steps.Run("cancel", [&](Json&) { return session.CancelReceipt(); });
  }
  Json problem = PrinterProblem(
      422, "printer-refused",
      std::string("The printer refused the step \"") + step + "\" of the " + what + "." +
          (opened
               ? cancelled ? " The receipt was cancelled." : " The receipt could not be cancelled."
               : ""),
      outcome);
  problem["step"] = step;
  if (opened && !cancelled) worker.SetAttention(true);
  return JobResult{"refused", 422, std::move(problem)};
}

// Reads what a later look compares with: the last receipt's number and what is open. Returns
// false with `result` set when the printer cannot take the job.
bool Before(PrinterWorker& worker, PrinterSession& session, Stepper& steps, int& number,
            JobResult& result, const Json& more) {
  if (!session.EnsureOpen()) {
    result = PortNotOpen(worker);
    return false;
  }
  LONG kind = -1;
  steps.Behind("read before", [&](Json& d) {
    number = session.LastReceiptNumber();
    kind = number >= 0 ? session.OpenKind() : -1;
    d["receipt_number"] = number;
    d["open"] = ReceiptKindName(kind);
    d["last_z"] = kind >= 0 ? LastZNumber(session) : -1;
    for (auto it = more.begin(); it != more.end(); ++it) d[it.key()] = it.value();
    return number >= 0 && kind >= 0;
  });
  if (number < 0 || kind < 0) {
    result = Offline(worker, "no answer to a status read", steps.last());
    return false;
  }
  worker.SetOffline(false);
  if (kind != 0) {
    worker.SetAttention(true);
    result = JobResult{"refused", 409,
                       PrinterProblem(409, "receipt-open",
                                      "A " + ReceiptKindName(kind) +
                                          " receipt is open on the printer; nothing was sent. "
                                          "Close or cancel it first.",
                                      steps.last())};
    return false;
  }
  worker.SetAttention(false);
  return true;
}

double Units(std::int64_t units, int decimals) {
  return DecimalToDouble(units, decimals);
}

}  // namespace

Json MakeProblem(int status, const std::string& type, const std::string& title,
                 const std::string& detail, Json extra) {
  Json p = {{"type", "urn:molvexecr:problem:" + type},
            {"title", title},
            {"status", status},
            {"detail", detail}};
  for (auto it = extra.begin(); it != extra.end(); ++it) p[it.key()] = it.value();
  return p;
}

Json PrinterProblem(int status, const std::string& type, const std::string& detail,
                    const CallOutcome& outcome) {
  const char* title = status == 503   ? "The printer is offline"
                      : status == 502 ? "The printer's answer was lost"
                      : status == 409 ? "The printer is not ready for this"
                                      : "The printer refused";
  Json extra = outcome.ToJson();
  return MakeProblem(status, type, title, detail, extra);
}

JobResult RunReceipt(PrinterWorker& worker, PrinterSession& session, const ReceiptDocument& doc,
                     const StepWriter& write, const JobContext& job) {
  Stepper steps(session, write);
  int before = -1;
  JobResult result;
  Json baseline = {{"receipt_kind", doc.refund ? 2 : 1}};
  if (doc.total) baseline["expected_total_hundredths"] = *doc.total;
  if (!Before(worker, session, steps, before, result, baseline)) return result;
  baseline["receipt_number"] = before;
  const char* what = doc.refund ? "refund receipt" : "receipt";
  // The non-fiscal lines after a receipt that stands on the paper.
  const auto print_after = [&](Json& reply) {
    if (doc.after.empty()) return;
    const JobResult after = RunNonFiscal(worker, session, doc.after, nullptr);
    reply["after"] = after.state == "done" ? Json("printed") : after.body;
  };
  // A step without a clean answer: what the printer did is read back, never guessed.
  const auto failed = [&](bool opened) {
    if (!NeedsReadBack(steps.last())) return Failed(worker, session, steps, opened, what);
    JobResult read_back = Reconcile(worker, session, "receipt", job.key, baseline, job.close_paid,
                                    steps.count() + 1, write);
    if (read_back.state == "done") print_after(read_back.body);
    return read_back;
  };

  if (!steps.Run("open", [&](Json&) {
        return session.OpenReceipt(doc.refund, doc.operator_number, doc.till);
      })) {
    return failed(false);
  }
  for (std::size_t i = 0; i < doc.lines.size(); ++i) {
    const ReceiptLine& line = doc.lines[i];
    const double percent = line.adjust && line.adjust->percent ? Units(line.adjust->value, 2) : 0.0;
    const double amount = line.adjust && !line.adjust->percent ? Units(line.adjust->value, 2) : 0.0;
    const bool ok = steps.Behind("line " + std::to_string(i + 1), [&](Json& d) {
      switch (line.type) {
        case LineType::Article:
          return session.SellArticle(line.article, Units(line.quantity, 3), percent, amount);
        case LineType::Item:
          return session.SellByName(line.name, Units(line.price, 2), Units(line.quantity, 3),
                                    line.tax, line.group, percent, amount) == 1;
        case LineType::Text:
          return session.PrintText(line.text);
        case LineType::Barcode: {
          const std::int32_t r = session.Barcode(line.barcode_type, line.text);
          d["result"] = r;
          return r > 0;
        }
        case LineType::Subtotal:
          return session.Subtotal(percent, amount);
      }
      return false;
    });
    if (!ok) return failed(true);
  }
  for (std::size_t i = 0; i < doc.payments.size(); ++i) {
    const ReceiptPayment& pay = doc.payments[i];
    if (!steps.Behind("payment " + std::to_string(i + 1), [&](Json&) {
          return session.Pay(pay.type, pay.amount ? Units(*pay.amount, 2) : 0.0, pay.code);
        })) {
      return failed(true);
    }
  }
  std::int64_t total = -1;
  std::int64_t paid = -1;
  if (!steps.Behind("sums", [&](Json& d) {
        const double sum = session.Sum();
        const double pay = sum >= 0 ? session.Paid() : -1.0;
        total = sum >= 0 ? DoubleToUnits(sum, 2) : -1;
        paid = pay >= 0 ? DoubleToUnits(pay, 2) : -1;
        d["total"] = FormatDecimal(total, 2);
        d["paid"] = FormatDecimal(paid, 2);
        return total >= 0 && paid >= 0;
      })) {
    return failed(true);
  }
  // Committed before the close is sent: a restart that finds it reads the printer back.
  baseline["total_hundredths"] = total;
  baseline["paid_hundredths"] = paid;
  if (!steps.Run(
          "closing", [&](Json&) { return session.CloseReceipt(); },
          Json{{"expected_number", before + 1},
               {"total_hundredths", total},
               {"paid_hundredths", paid}})) {
    return failed(true);
  }
  int number = -1;
  steps.Behind("read after", [&](Json& d) {
    number = session.LastReceiptNumber();
    d["receipt_number"] = number;
    return number >= 0;
  });
  Json reply = {{"kind", doc.refund ? "refund" : "sale"},
                {"receipt", number >= 0 ? Json(number) : Json(nullptr)},
                {"total", FormatDecimal(total, 2)},
                {"paid", FormatDecimal(paid, 2)},
                {"change", FormatDecimal(paid > total ? paid - total : 0, 2)}};
  print_after(reply);
  return JobResult{"done", 200, std::move(reply)};
}

JobResult RunNonFiscal(PrinterWorker& worker, PrinterSession& session,
                       const std::vector<std::string>& lines, const StepWriter& write) {
  Stepper steps(session, write);
  if (!session.EnsureOpen()) return PortNotOpen(worker);
  if (!steps.Run("open non-fiscal", [&](Json&) { return session.OpenNonFiscal(); })) {
    if (steps.last().timed_out && steps.last().status_bytes == -2 && steps.last().error != 17) {
      return Offline(worker, "no answer to the status read", steps.last());
    }
    return Failed(worker, session, steps, false, "non-fiscal receipt");
  }
  worker.SetOffline(false);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!steps.Behind("text " + std::to_string(i + 1),
                      [&](Json&) { return session.PrintNonFiscal(lines[i]); })) {
      return Failed(worker, session, steps, false, "non-fiscal receipt");
    }
  }
  if (!steps.Run("close non-fiscal", [&](Json&) { return session.CloseNonFiscal(); })) {
    return Failed(worker, session, steps, false, "non-fiscal receipt");
  }
  return JobResult{"done", 200, Json{{"lines", lines.size()}}};
}

JobResult RunReport(PrinterWorker& worker, PrinterSession& session, const ReportRequest& report,
                    const StepWriter& write, const JobContext& job) {
  Stepper steps(session, write);
  if (!session.EnsureOpen()) return PortNotOpen(worker);
  Json baseline = Json::object();
  if (report.kind == ReportKind::Z) {
    // The Z number a lost answer is compared with.
    int last_z = -1;
    steps.Behind("read before", [&](Json& d) {
      last_z = LastZNumber(session);
      d["last_z"] = last_z;
      return last_z >= 0;
    });
    if (last_z < 0) return Offline(worker, "no answer to a status read", steps.last());
    baseline["last_z"] = last_z;
  }
  TTECRFiscImpl& o = session.object();
  const auto password = Utf8ToWide(session.settings().admin_password);
  BSTR pw = SysAllocStringLen(password.data(), static_cast<UINT>(password.size()));
  Json reply = Json::object();
  HRESULT hr = S_OK;
  bool ok = false;
  switch (report.kind) {
    case ReportKind::X:
      reply["report"] = "x";
      ok = steps.Run("x report", [&](Json&) {
        VARIANT_BOOL r = VARIANT_FALSE;
        o.XReport(pw, &r);
        return r == VARIANT_TRUE;
      });
      break;
    case ReportKind::Z:
      reply["report"] = "z";
      ok = steps.Run("z report", [&](Json& d) {
        VARIANT_BOOL r = VARIANT_FALSE;
        hr = o.ZReport(pw, &r);
        d["hresult"] = hr;
        return r == VARIANT_TRUE || hr == -101 || hr == -102;
      });
      break;
    case ReportKind::PeriodicByNumber:
      reply["report"] = "periodic";
      ok = steps.Run("periodic report", [&](Json&) {
        VARIANT_BOOL r = VARIANT_FALSE;
        if (report.full) {
          o.PeriodRepByNumbFull(pw, report.from, report.to, &r);
        } else {
          o.PeriodRepByNumb(pw, report.from, report.to, &r);
        }
        return r == VARIANT_TRUE;
      });
      break;
    case ReportKind::PeriodicByDate: {
      reply["report"] = "periodic";
      const auto a = Utf8ToWide(report.from_date);
      const auto b = Utf8ToWide(report.to_date);
      BSTR from = SysAllocStringLen(a.data(), static_cast<UINT>(a.size()));
      BSTR to = SysAllocStringLen(b.data(), static_cast<UINT>(b.size()));
      ok = steps.Run("periodic report", [&](Json&) {
        VARIANT_BOOL r = VARIANT_FALSE;
        if (report.full) {
          o.PeriodRepByDateFull(pw, from, to, &r);
        } else {
          o.PeriodRepByDate(pw, from, to, &r);
        }
        return r == VARIANT_TRUE;
      });
      SysFreeString(from);
      SysFreeString(to);
      break;
    }
  }
  SysFreeString(pw);
  const CallOutcome outcome = steps.last();
  if (report.kind == ReportKind::Z && (hr == -101 || hr == -102)) {
    // -102 before the day was closed: the archive folder takes no file and nothing was sent.
    if (outcome.status_bytes == -1) {
      return JobResult{"refused", 422,
                       PrinterProblem(422, "archive-unavailable",
                                      "The archive folder cannot take the day's file; the day "
                                      "was not closed and nothing was sent.",
                                      outcome)};
    }
    reply["archive"] = hr;
    reply["detail"] = hr == -101 ? "The day is closed; its data could not be read back for the "
                                   "archive. Do not repeat the Z report; see infoZ.log."
                                 : "The day is closed; its archive file could not be written and "
                                   "the data waits in the spool. Do not repeat the Z report.";
    return JobResult{"done", 200, std::move(reply)};
  }
  if (!ok) {
    if (report.kind == ReportKind::Z && NeedsReadBack(outcome)) {
      return Reconcile(worker, session, "report z", job.key, baseline, job.close_paid,
                       steps.count() + 1, write);
    }
    if (outcome.timed_out && outcome.error != 17) {
      // Every report makes its status reads first: no answer there means nothing printed.
      return Offline(worker, "no answer", outcome);
    }
    return Failed(worker, session, steps, false, "report");
  }
  worker.SetOffline(false);
  if (report.kind == ReportKind::Z) reply["archive"] = "written";
  return JobResult{"done", 200, std::move(reply)};
}

JobResult RunCash(PrinterWorker& worker, PrinterSession& session, bool in, std::int64_t amount,
                  const StepWriter& write, const JobContext& job) {
  Stepper steps(session, write);
  if (!session.EnsureOpen()) return PortNotOpen(worker);
  TTECRFiscImpl& o = session.object();
  // The drawer's amount a lost answer is compared with.
  std::int64_t drawer_before = -1;
  steps.Behind("read before", [&](Json& d) {
    drawer_before = DrawerAmount(session);
    d["drawer_hundredths"] = drawer_before;
    d["change_hundredths"] = in ? amount : -amount;
    return drawer_before >= 0;
  });
  if (drawer_before < 0) return Offline(worker, "no answer to a status read", steps.last());
  const Json baseline = {{"drawer_hundredths", drawer_before},
                         {"change_hundredths", in ? amount : -amount}};
  const bool ok = steps.Run(in ? "cash in" : "cash out", [&](Json&) {
    if (in) {
      o.put_ServiceIn(Units(amount, 2));
    } else {
      o.put_ServiceOut(Units(amount, 2));
    }
    LONG status = -1;
    o.get_StatusBytes(&status);
    return status == 0;
  });
  if (!ok) {
    // The answer to the movement itself was lost: the drawer tells what happened.
    if (NeedsReadBack(steps.last())) {
      return Reconcile(worker, session, "cash", job.key, baseline, job.close_paid,
                       steps.count() + 1, write);
    }
    if (steps.last().timed_out && steps.last().error != 17) {
      return Offline(worker, "no answer", steps.last());
    }
    return Failed(worker, session, steps, false, "cash movement");
  }
  worker.SetOffline(false);
  double drawer = -1;
  o.get_CashInfo(&drawer);
  Json reply = {{"direction", in ? "in" : "out"}, {"amount", FormatDecimal(amount, 2)}};
  if (drawer >= 0) reply["drawer"] = FormatDecimal(DoubleToUnits(drawer, 2), 2);
  return JobResult{"done", 200, std::move(reply)};
}

namespace {

// The in-parameters of a slot and the JSON values given for them, as the binding table takes
// them. Empty `error` when they convert.
std::vector<ecrfisc::ArgValue> CallArguments(const SlotInfo& slot, const Json& args,
                                             std::string& error) {
  std::vector<ecrfisc::ArgValue> values(slot.params.size());
  std::size_t next = 0;
  for (std::size_t i = 0; i < slot.params.size(); ++i) {
    const ParamInfo& p = slot.params[i];
    if (p.dir != ParamDir::In && p.dir != ParamDir::InRef) continue;
    if (!args.is_array() || next >= args.size()) {
      error = "argument " + std::to_string(next + 1) + " (" + std::string(p.name) + ") missing";
      return {};
    }
    const Json& v = args[next];
    std::string token;
    if (v.is_string()) {
      token = v.get<std::string>();
    } else if (v.is_boolean()) {
      token = v.get<bool>() ? "true" : "false";
    } else {
      token = NumberText(v);
      if (token.empty()) {
        error = "argument " + std::to_string(next + 1) + " (" + std::string(p.name) +
                ") is no number, text or boolean";
        return {};
      }
    }
    std::string why;
    if (!ecrfisc::ParseArg(token, p.type, values[i], why)) {
      error = "argument " + std::to_string(next + 1) + " (" + std::string(p.name) + " " +
              std::string(AutoTypeName(p.type)) + "): " + why;
      return {};
    }
    ++next;
  }
  if (args.is_array() && next != args.size()) {
    error = std::string(slot.name) + " takes " + std::to_string(next) + " arguments";
    return {};
  }
  return values;
}

const SlotInfo* SlotByName(const std::string& name) {
  // A property: "Name" reads it, "Name=" writes it; else a method.
  if (!name.empty() && name.back() == '=') {
    return FindSlot(name.substr(0, name.size() - 1), EntryKind::PropPut);
  }
  if (const SlotInfo* s = FindSlot(name, EntryKind::Method)) return s;
  return FindSlot(name, EntryKind::PropGet);
}

Json OutValue(const ParamInfo& p, const ecrfisc::ArgValue& v) {
  switch (p.type) {
    case AutoType::Bstr:
      return v.text;
    case AutoType::R8:
      return v.real;
    case AutoType::Bool:
      return v.integer != 0;
    default:
      return v.integer;
  }
}

}  // namespace

std::string CheckCall(const std::string& name, const Json& args) {
  const SlotInfo* slot = SlotByName(name);
  if (slot == nullptr) return "no entry is called \"" + name + "\"";
  if (!args.is_array()) return "\"args\" is an array of the entry's in-arguments";
  std::string error;
  CallArguments(*slot, args, error);
  return error;
}

JobResult RunCall(PrinterWorker& worker, PrinterSession& session, const std::string& name,
                  const Json& args, const StepWriter& write) {
  const SlotInfo* slot = SlotByName(name);
  std::string error;
  auto values =
      slot == nullptr ? std::vector<ecrfisc::ArgValue>() : CallArguments(*slot, args, error);
  if (slot == nullptr || !error.empty()) {
    return JobResult{"refused", 400,
                     MakeProblem(400, "bad-call", "The call cannot be made", error)};
  }
  // SetComPort and CloseComPort of a caller would take the port from under the service.
  if (slot->name != "SetComPort" && slot->name != "CloseComPort" && !session.EnsureOpen()) {
    return PortNotOpen(worker);
  }
  Stepper steps(session, write);
  HRESULT hr = S_OK;
  std::vector<ecrfisc::ArgValue> outs;
  steps.Run(std::string(slot->name), [&](Json& d) {
    hr = ecrfisc::InvokeSlot(session.object(), *slot, values, outs);
    d["hresult"] = hr;
    return hr == S_OK;
  });
  if (slot->name == "CloseComPort") session.MarkClosed();
  Json reply = {{"entry", slot->name}, {"hresult", hr}};
  Json out = Json::object();
  for (std::size_t i = 0; i < slot->params.size() && i < outs.size(); ++i) {
    const ParamInfo& p = slot->params[i];
    if (!IsOutput(p.dir)) continue;
    if (p.dir == ParamDir::Retval) {
      reply["result"] = OutValue(p, outs[i]);
    } else {
      out[std::string(p.name)] = OutValue(p, outs[i]);
    }
  }
  if (!out.empty()) reply["out"] = out;
  reply["outcome"] = steps.last().ToJson();
  return JobResult{"done", 200, std::move(reply)};
}

JobResult ReadStatus(PrinterWorker& worker, PrinterSession& session) {
  if (!session.EnsureOpen()) return PortNotOpen(worker);
  if (!session.Present()) {
    const CallOutcome outcome = session.Outcome();
    if (outcome.timed_out) return Offline(worker, "no answer to a status read", outcome);
  }
  const CallOutcome outcome = session.Outcome();
  worker.SetOffline(false);
  const LONG kind = session.OpenKind();
  const int number = session.LastReceiptNumber();
  const std::string clock = session.Clock();
  // Paper: status byte 2 bit 0x01 out, status byte 1 bit 0x20 near its end.
  const char* paper = (outcome.status[2] & 0x01) != 0   ? "out"
                      : (outcome.status[1] & 0x20) != 0 ? "near end"
                                                        : "ok";
  if (kind == 0) worker.SetAttention(false);
  Json status = {{"receipt", ReceiptKindName(kind)},
                 {"paper", paper},
                 {"clock", clock},
                 {"last_receipt", number >= 0 ? Json(number) : Json(nullptr)},
                 {"outcome", outcome.ToJson()}};
  worker.SetLastStatus(status);
  return JobResult{"done", 200, std::move(status)};
}

JobResult ReadTotals(PrinterWorker& worker, PrinterSession& session) {
  if (!session.EnsureOpen()) return PortNotOpen(worker);
  TTECRFiscImpl& o = session.object();
  static const char* const kIndexes[] = {"sales", "refunds", "payments", "refund_payments"};
  Json totals = Json::object();
  for (int i = 0; i < 4; ++i) {
    o.put_TotalIdx(i);
    BSTR text = nullptr;
    const HRESULT hr = o.get_CurrentTotals(&text);
    if (hr != S_OK) {
      SysFreeString(text);
      const CallOutcome outcome = session.Outcome();
      if (outcome.timed_out) return Offline(worker, "no answer", outcome);
      return JobResult{
          "refused", 422,
          PrinterProblem(422, "printer-refused", "The printer refused the totals", outcome)};
    }
    totals[kIndexes[i]] = WideToUtf8(text, SysStringLen(text));
    SysFreeString(text);
  }
  o.put_TotalIdx(0);
  double cash = -1;
  o.get_CashInfo(&cash);
  if (cash >= 0) totals["drawer"] = FormatDecimal(DoubleToUnits(cash, 2), 2);
  worker.SetOffline(false);
  return JobResult{"done", 200, std::move(totals)};
}

JobResult ReadClock(PrinterWorker& worker, PrinterSession& session) {
  if (!session.EnsureOpen()) return PortNotOpen(worker);
  const std::string clock = session.Clock();
  if (clock.empty()) {
    const CallOutcome outcome = session.Outcome();
    if (outcome.timed_out) return Offline(worker, "no answer", outcome);
    return JobResult{
        "refused", 422,
        PrinterProblem(422, "printer-refused", "The printer refused the clock read", outcome)};
  }
  worker.SetOffline(false);
  return JobResult{"done", 200, Json{{"clock", clock}}};
}

JobResult WriteClock(PrinterWorker& worker, PrinterSession& session, const std::string& date,
                     const std::string& time) {
  if (!session.EnsureOpen()) return PortNotOpen(worker);
  LONG result = -1;
  session.WriteClock(date, time, result);
  if (result != 0) {
    const CallOutcome outcome = session.Outcome();
    if (outcome.timed_out && outcome.error != 17) return Offline(worker, "no answer", outcome);
    return JobResult{"refused", 422,
                     PrinterProblem(422, "printer-refused",
                                    "The printer refused the time (a receipt open, or a time "
                                    "before the last Z report)",
                                    outcome)};
  }
  return JobResult{"done", 200, Json{{"clock", session.Clock()}}};
}

JobResult OpenDrawer(PrinterWorker& worker, PrinterSession& session, int pulse) {
  if (!session.EnsureOpen()) return PortNotOpen(worker);
  VARIANT_BOOL r = VARIANT_FALSE;
  session.object().OpenDrawer(pulse, &r);
  if (r != VARIANT_TRUE) {
    const CallOutcome outcome = session.Outcome();
    if (outcome.timed_out && outcome.error != 17) return Offline(worker, "no answer", outcome);
    return JobResult{
        "refused", 422,
        PrinterProblem(422, "printer-refused", "The printer refused to open the drawer", outcome)};
  }
  return JobResult{"done", 200, Json{{"drawer", "opened"}}};
}

JobResult ShowOnDisplay(PrinterWorker& worker, PrinterSession& session, bool clear,
                        const std::optional<std::string>& upper,
                        const std::optional<std::string>& lower) {
  if (!session.EnsureOpen()) return PortNotOpen(worker);
  TTECRFiscImpl& o = session.object();
  auto show = [&](const std::string& text, bool up) {
    const auto wide = Utf8ToWide(text);
    BSTR b = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    VARIANT_BOOL r = VARIANT_FALSE;
    if (up) {
      o.DisplayUP(b, &r);
    } else {
      o.DisplayDown(b, &r);
    }
    SysFreeString(b);
    return r == VARIANT_TRUE;
  };
  bool ok = true;
  if (clear) {
    VARIANT_BOOL r = VARIANT_FALSE;
    o.ClearRegDisplay(&r);
    ok = r == VARIANT_TRUE;
  }
  if (ok && upper) ok = show(*upper, true);
  if (ok && lower) ok = show(*lower, false);
  if (!ok) {
    const CallOutcome outcome = session.Outcome();
    if (outcome.timed_out && outcome.error != 17) return Offline(worker, "no answer", outcome);
    return JobResult{
        "refused", 422,
        PrinterProblem(422, "printer-refused", "The printer refused the display text", outcome)};
  }
  return JobResult{"done", 200, Json{{"display", "shown"}}};
}

}  // namespace molvex::service
