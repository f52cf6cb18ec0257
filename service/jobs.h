// What each job does at the printer, through the object's entries, one step at a time: each step
// is written to the journal before it is sent and again with its outcome (see `StepCommit` for
// when it is on the disk).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "service/documents.h"
#include "service/exact_json.h"
#include "service/printer_worker.h"

namespace molvex::service {

// How a job ended: its journal state, the HTTP status of its answer and the answer itself (a
// result, or a problem document).
struct JobResult {
  std::string state;
  int http_status = 200;
  Json body;
};

// When a step's "before" is on the disk: before any of its bytes go to the printer (a step a
// restart compares with or must find out about: opening and closing a receipt, a report, a cash
// movement, a call), or written behind while the printer works (a receipt's lines and payments,
// reads), yet always before the next step of the first kind.
enum class StepCommit { BeforeItsBytes, Behind };

// Writes one step: its number, name, "before" or "after", what it holds, and for "before" when
// it must be on the disk.
using StepWriter = std::function<void(int number, const std::string& name, const char* phase,
                                      const Json& detail, StepCommit commit)>;

// A problem document: type (a short name), title, status, detail, and more members.
Json MakeProblem(int status, const std::string& type, const std::string& title,
                 const std::string& detail, Json extra = Json::object());
// A problem from the printer or the object, with the driver's codes.
Json PrinterProblem(int status, const std::string& type, const std::string& detail,
                    const CallOutcome& outcome);

// The job as its reconciliation needs it: its key, and whether a fully paid receipt of its own
// found open is closed (else cancelled).
struct JobContext {
  std::string key;
  bool close_paid = true;
};

// A receipt, a Z report and cash in or out record what they will compare before they change
// the printer; a step without a clean answer is reconciled (service/reconcile.h).
JobResult RunReceipt(PrinterWorker& worker, PrinterSession& session, const ReceiptDocument& doc,
                     const StepWriter& write, const JobContext& job = JobContext{});
JobResult RunNonFiscal(PrinterWorker& worker, PrinterSession& session,
                       const std::vector<std::string>& lines, const StepWriter& write);

enum class ReportKind { X, Z, PeriodicByNumber, PeriodicByDate };
struct ReportRequest {
  ReportKind kind = ReportKind::X;
  bool full = false;
  std::int32_t from = 0;
  std::int32_t to = 0;
  std::string from_date;
  std::string to_date;
};
JobResult RunReport(PrinterWorker& worker, PrinterSession& session, const ReportRequest& report,
                    const StepWriter& write, const JobContext& job = JobContext{});

// Service cash into (in) or out of the drawer, hundredths.
JobResult RunCash(PrinterWorker& worker, PrinterSession& session, bool in, std::int64_t amount,
                  const StepWriter& write, const JobContext& job = JobContext{});

// Any entry by name, with its arguments as JSON values (one per parameter the caller gives:
// the in-parameters, in order).
JobResult RunCall(PrinterWorker& worker, PrinterSession& session, const std::string& name,
                  const Json& args, const StepWriter& write);
// Checks a call before it is queued: the entry exists and its arguments convert. Empty when fine.
std::string CheckCall(const std::string& name, const Json& args);

// Reads the printer's state (nothing printed, nothing changed).
JobResult ReadStatus(PrinterWorker& worker, PrinterSession& session);
JobResult ReadTotals(PrinterWorker& worker, PrinterSession& session);
JobResult ReadClock(PrinterWorker& worker, PrinterSession& session);
JobResult WriteClock(PrinterWorker& worker, PrinterSession& session, const std::string& date,
                     const std::string& time);
JobResult OpenDrawer(PrinterWorker& worker, PrinterSession& session, int pulse);
JobResult ShowOnDisplay(PrinterWorker& worker, PrinterSession& session, bool clear,
                        const std::optional<std::string>& upper,
                        const std::optional<std::string>& lower);

}  // namespace molvex::service
