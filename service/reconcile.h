// Private to service/.
// What the printer really did with a job whose step ended without a clean answer (no answer, a
// refusal of the frame, a wrong check value, a dropped frame) or that a stop of the service cut
// short. A job that changes the printer first records what it will compare (its baseline: the
// last receipt's number, what is open, the last Z number, the expected sum, the drawer); the
// reconciliation reads the same facts now and decides:
//
//   receipt  no receipt open, the number one further: printed, done with that number.
//            Our receipt still open (our kind, the number unchanged, the sum as expected): closed
//            when fully paid and the settings say so (paid_receipt_left_open = close), otherwise
//            cancelled; done or not printed accordingly.
//            No receipt open, the number unchanged: not printed (a retry needs a new key).
//   z report the last Z number one further: done (with the archive's outcome); unchanged: not
//            printed.
//   cash     the drawer moved by the amount: done; unchanged: not printed.
//   anything else (the number moved further, another receipt open, no answer): the job and its
//   printer need attention; the printer's fiscal jobs stop until the same job, reconciled again
//   (its request repeated with the same key, or the next start of the service), is resolved.
//   Nothing is ever cancelled or reset blindly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "service/jobs.h"
#include "service/journal.h"

namespace molvex::service {

// The number of the last Z report (from LastZReport), -1 without an answer.
int LastZNumber(PrinterSession& session);
// The cash in the drawer in hundredths, -1 without an answer.
std::int64_t DrawerAmount(PrinterSession& session);

// A step that ended without a clean answer: GetError 17, 19, 21 (the printer may have carried it
// out) or 18 (NAK: the printer says it did not take it; read back all the same, so that a
// receipt is never cancelled on a refusal of the frame alone).
bool NeedsReadBack(const CallOutcome& outcome);

// Whether jobs of this kind (the journal's kind) are reconciled: "receipt", "report z", "cash".
bool Reconcilable(const std::string& kind);

// The baseline of a job as its steps recorded it: the detail of its step "read before" with the
// sums of its step "closing" (receipt) merged in. Null when the job sent nothing that changes
// the printer (no baseline recorded).
Json BaselineOf(const std::vector<StepRecord>& steps);

// Reconciles a job of `kind` against the printer now; its own steps are written from number
// `first_step` on. `key` names the job whose reconciliation may hold the printer.
JobResult Reconcile(PrinterWorker& worker, PrinterSession& session, const std::string& kind,
                    const std::string& key, const Json& baseline, bool close_paid, int first_step,
                    const StepWriter& write);

// Reconciles a job of the journal that did not finish cleanly (interrupted by a stop, or left
// needing attention) and writes its new outcome. Runs on the printer's worker.
JobResult ReconcileStored(Journal& journal, PrinterWorker& worker, PrinterSession& session,
                          const JobRecord& job, bool close_paid);

// Ends a job that needs attention as an administrator found it on the paper: printed (with its
// receipt number, or null) or not printed; `detail` (what was said) is recorded as its step.
void ResolveByHand(Journal& journal, const JobRecord& job, bool printed, const Json& receipt,
                   const std::string& detail);

}  // namespace molvex::service
