// Report entries: X and Z reports, the periodic reports by number and by date, the articles
// report and the electronic-journal (KSEF) copies and tax report. Each checks the printer's
// status twice before its report; a Z report is sent only when its archive folder can take a
// file, and once it succeeded its data is read back, kept, archived, logged and handed to the
// uploader.
#include <string>

#include "archive/archive_settings.h"
#include "archive/z_archive.h"
#include "archive/z_data.h"
#include "archive/z_spool.h"
#include "link/commands.h"
#include "object/TECRFiscImpl.h"
#include "object/automation_text.h"
#include "object/call_pattern.h"
#include "object/object_error.h"
#include "object/object_ids.h"
#include "object/z_capture.h"
#include "platform/durable_file.h"
#include "platform/error_info.h"
#include "platform/text_codec.h"

namespace molvex {
namespace {

// When the status read after the report runs.
enum class Trailing { Never, AfterSuccess, Always };

// Every report checks the printer's status twice first: the pre-read of the common frame, then
// StatusCheck, whose failure is the call's outcome.

// Port test, status pre-check, the report command with its outcome saved, and the trailing
// status read, which changes nothing the client reads.
template <class Wrapper, class... Args>
Outcome RunReport(PrinterContext& ctx, Trailing trailing, Wrapper wrapper, Args... args) {
  if (!PortTestAndPreRead(ctx)) return Outcome::Refused;
  const Outcome check = StatusCheck(ctx);
  if (check != Outcome::Succeeded) return check;
  const Outcome outcome = RunSaved(ctx, wrapper, args...);
  if (outcome != Outcome::Refused &&
      (trailing == Trailing::Always ||
       (trailing == Trailing::AfterSuccess && outcome == Outcome::Succeeded))) {
    RunCommand(ctx, PrnBuildReadStatus, 0);
  }
  return outcome;
}

// Z report numbers travel as "%04d": a negative one as "-001", which is no number of a Z report.
// Refused before anything is sent.
bool ReportNumbersAccepted(PrinterContext& ctx, LONG first, LONG last) {
  if (first >= 0 && last >= 0) return true;
  SaveRefusal(ctx);
  return false;
}

// KSEF entries: the first reply field as a number on success, -3 on a failed reply, 0 when
// refused.
template <class Wrapper, class... Args>
LONG RunKsef(PrinterContext& ctx, Wrapper wrapper, Args... args) {
  if (!PortTestAndPreRead(ctx)) return 0;
  Outcome outcome = StatusCheck(ctx);
  if (outcome == Outcome::Succeeded) outcome = RunSaved(ctx, wrapper, args...);
  if (outcome != Outcome::Succeeded) return outcome == Outcome::Failed ? -3 : 0;
  const LONG value = LeadingDecimal(ReplyField(ctx, 1));
  RunCommand(ctx, PrnBuildReadStatus, 0);
  return value;
}

ZDataReply ReadZDataChunk(PrinterContext& ctx, std::int32_t chunk) {
  ZDataReply reply;
  reply.ok = RunCommand(ctx, PrnBuildReadZData, chunk) && ctx.state.FailureFlag == 0;
  if (!reply.ok) return reply;
  reply.field_count = ctx.state.LastResult.FieldCount;
  reply.count = ReplyField(ctx, 1);
  reply.chunk = ReplyField(ctx, 2);
  return reply;
}

// How a Z report ended, for the description of an HRESULT of its own.
struct ZReportEnd {
  bool closed = false;   // the printer accepted the report: the day is closed
  bool spooled = false;  // the archive could not take the data, the spool did
  std::string lost;      // the data is kept in this process only: the files that failed
  std::string folder;    // the archive folder that could take no file (nothing was sent)
};

// After the printer accepted the Z report: read its data back and keep it (StoreZData: spool,
// archive file, log, uploader). Returns the call's HRESULT; `end` tells where the data is kept
// when it is not archived.
HRESULT CaptureZReport(PrinterContext& ctx, const ArchiveSettings& settings, ZReportEnd& end) {
  std::string encoded;
  if (GatherZData([&ctx](std::int32_t chunk) { return ReadZDataChunk(ctx, chunk); }, encoded) !=
      ZDataRead::Complete) {
    AppendZLog(settings, kZLogReadFailed);
    DropZReportMark();  // the caller is told (-101); the printer keeps the data
    return kZDataNotRead;
  }
  const std::string decoded = DecodeZData(encoded);
  const ZStored stored = StoreZData(settings, ZCaptureClock().LocalNow(), ZArchiveContent(decoded));
  // Kept on the disk: the mark has done its work. Kept only in this process: the mark stays, so
  // that a restart reads the data back from the printer.
  if (stored.archived || stored.spooled) DropZReportMark();
  if (stored.archived) return S_OK;
  end.spooled = stored.spooled;
  if (!stored.spooled) end.lost = stored.path + " / " + stored.spool;
  return kZArchiveNotWritten;
}

// The description of a Z report that ended with an HRESULT of its own.
std::string ZReportFailure(HRESULT hr, const ZReportEnd& end) {
  if (!end.closed) {
    return "ZReport: nothing was sent and the day is still open: the archive folder '" +
           end.folder +
           "' does not exist or takes no new file; make LocalPath of ZRepRec.ini a directory the "
           "driver can write to, then run the Z report again";
  }
  const std::string done =
      "ZReport: the printer printed the Z report and closed the day (Result is true), ";
  const std::string log = "; infoZ.log in LocalPath tells more. Do not repeat the Z report";
  if (hr == kZDataNotRead) {
    return done + "but its data could not be read back, so no archive file was written" + log +
           ": check the printer's link and keep the printed report";
  }
  if (!end.lost.empty()) {
    return done + "but its data could be written neither to the archive nor to the spool (" +
           end.lost +
           "); it is kept in this process until SetComPort or ZReport can write the archive" + log;
  }
  return done + "but its archive file could not be written" +
         (end.spooled ? "; the data waits in the spool beside ZRepRec.ini and is archived by the "
                        "next SetComPort or ZReport that can write it"
                      : "") +
         log + ": make LocalPath of ZRepRec.ini a directory the driver can write to";
}

HRESULT ZReportBody(PrinterContext& ctx, BSTR Password, VARIANT_BOOL& result, ZReportEnd& end) {
  result = VARIANT_FALSE;
  const std::string password = ClientText(ctx, Password, "Password", kComma);
  if (!PortIsOpen(ctx)) {
    SaveRefusal(ctx);
    return S_OK;
  }
  const ArchiveSettings& settings = ctx.settings;
  // The day is closed only where its archive can be written: nothing is sent otherwise.
  if (!ZArchiveFolderUsable(settings)) {
    SaveRefusal(ctx);
    const std::string folder = FolderOf(settings.LocalPath);
    end.folder = folder.empty() ? std::string(".") : folder;
    AppendZLog(settings, kZLogFolderUnusable + end.folder);
    return kZArchiveNotWritten;
  }
  RecoverUnkeptZReport(ctx);
  WritePendingZArchives(settings);
  PreRead(ctx);
  if (StatusCheck(ctx) != Outcome::Succeeded) {
    AppendZLog(settings, kZLogNoLink);
    return S_OK;
  }
  // From here until its data is kept, a crash leaves the mark to the next start.
  MarkZReportSent(ZArchiveStem(settings, ZCaptureClock().LocalNow()));
  // Refused with nothing sent when the password does not fit a request.
  if (RunSaved(ctx, PrnBuildReport, password.c_str(), '0') != Outcome::Succeeded) {
    DropZReportMark();
    AppendZLog(settings, kZLogReportFailed);
    return S_OK;
  }
  result = VARIANT_TRUE;
  end.closed = true;
  AppendZLog(settings, kZLogReportDone);
  return CaptureZReport(ctx, settings, end);
}

}  // namespace

void RecoverUnkeptZReport(PrinterContext& ctx) {
  const ArchiveSettings& settings = ctx.settings;
  std::string stem;
  if (!ZReportMarked(stem)) return;
  std::string encoded;
  if (GatherZData([&ctx](std::int32_t chunk) { return ReadZDataChunk(ctx, chunk); }, encoded) !=
      ZDataRead::Complete) {
    AppendZLog(settings, kZLogReadFailed);
    return;
  }
  const std::string decoded = DecodeZData(encoded);
  const std::string_view content = ZArchiveContent(decoded);
  // No data, or data kept before: the report never ran, or its data reached the disk.
  if (!content.empty() && !ZDataAlreadyKept(settings, content)) {
    const ZStored stored = StoreZData(settings, stem, content);
    if (!stored.archived && !stored.spooled) return;
  }
  DropZReportMark();
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::XReport(BSTR Password, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(ctx, Password, "Password", kComma);
    *Result = AsBool(RunReport(ctx, Trailing::Never, PrnBuildReport, password.c_str(), '2'));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::ZReport(BSTR Password, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  ZReportEnd end;
  return RunGuardedHresult(
      ctx, [&] { return ZReportBody(ctx, Password, *Result, end); },
      [&](HRESULT hr) { return ZReportFailure(hr, end); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::PeriodRepByNumb(BSTR Password, LONG NumStart,
                                                           LONG NumEnd, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(ctx, Password, "Password", kComma);
    if (!ReportNumbersAccepted(ctx, NumStart, NumEnd)) return;
    *Result = AsBool(RunReport(ctx, Trailing::Always, PrnBuildPeriodShortByNumber, password.c_str(),
                               std::int32_t{NumStart}, std::int32_t{NumEnd}));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::PeriodRepByNumbFull(BSTR Password, LONG NumStart,
                                                               LONG NumEnd, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(ctx, Password, "Password", kComma);
    if (!ReportNumbersAccepted(ctx, NumStart, NumEnd)) return;
    *Result = AsBool(RunReport(ctx, Trailing::AfterSuccess, PrnBuildPeriodFullByNumber,
                               password.c_str(), std::int32_t{NumStart}, std::int32_t{NumEnd}));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::PeriodRepByDate(BSTR Password, BSTR DateStart,
                                                           BSTR DateEnd, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(ctx, Password, "Password", kComma);
    const std::string first = ClientText(ctx, DateStart, "DateStart", kComma);
    const std::string last = ClientText(ctx, DateEnd, "DateEnd", kComma);
    *Result = AsBool(RunReport(ctx, Trailing::AfterSuccess, PrnBuildPeriodShortByDate,
                               password.c_str(), first.c_str(), last.c_str()));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::PeriodRepByDateFull(BSTR Password, BSTR DateStart,
                                                               BSTR DateEnd, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(ctx, Password, "Password", kComma);
    const std::string first = ClientText(ctx, DateStart, "DateStart", kComma);
    const std::string last = ClientText(ctx, DateEnd, "DateEnd", kComma);
    *Result = AsBool(RunReport(ctx, Trailing::AfterSuccess, PrnBuildPeriodFullByDate,
                               password.c_str(), first.c_str(), last.c_str()));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::ArticulsReports(LONG TypeReport, BSTR Password,
                                                           VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(ctx, Password, "Password", kComma);
    if (!PortTestAndPreRead(ctx)) return;
    // Kind "G" of the printer is not reachable from here.
    if (TypeReport != 0 && TypeReport != 1) {
      SaveRefusal(ctx);
      return;
    }
    *Result =
        AsBool(RunSaved(ctx, PrnBuildArticleReport, password.c_str(), TypeReport == 0 ? 'S' : 'P'));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::PrintFiscalCopyKSEF(LONG NumFis, LONG* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] { *Result = RunKsef(ctx, PrnBuildEjCopy, std::int32_t{NumFis}); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::PrintFiscalCopiesKSEF(LONG Num1, LONG Num2,
                                                                 LONG* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = RunKsef(ctx, PrnBuildEjCopies, std::int32_t{Num1}, std::int32_t{Num2});
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::PrintReportsTaxKSEF(LONG NumFis, LONG* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx,
                    [&] { *Result = RunKsef(ctx, PrnBuildEjTaxReports, std::int32_t{NumFis}); });
}

}  // namespace molvex
