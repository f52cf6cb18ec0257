// What each job does at the printer, through the object's entries, one step at a time: each step
// is written to the journal before it is sent and again with its outcome.
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

// Writes one step: its number, name, "before" or "after", and what it holds.
using StepWriter =
    std::function<void(int number, const std::string& name, const char* phase, const Json& detail)>;

// A problem document: type (a short name), title, status, detail, and more members.
Json MakeProblem(int status, const std::string& type, const std::string& title,
                 const std::string& detail, Json extra = Json::object());
// A problem from the printer or the object, with the driver's codes.
Json PrinterProblem(int status, const std::string& type, const std::string& detail,
                    const CallOutcome& outcome);

JobResult RunReceipt(PrinterWorker& worker, PrinterSession& session, const ReceiptDocument& doc,
                     const StepWriter& write);
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
                    const StepWriter& write);

// Service cash into (in) or out of the drawer, hundredths.
JobResult RunCash(PrinterWorker& worker, PrinterSession& session, bool in, std::int64_t amount,
                  const StepWriter& write);

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
