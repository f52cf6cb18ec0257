// Entries of the interface whose printer logic is not built yet (reports, article
// and operator programming, cash and totals). Each answers E_NOTIMPL and
// leaves the object state alone, so that a client can tell them apart from a printer refusal.
#include "object/TECRFiscImpl.h"

namespace molvex {

HRESULT STDMETHODCALLTYPE TTECRFiscImpl::ZReport(BSTR /*Password*/, VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::XReport(BSTR /*Password*/, VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::PeriodRepByNumb(BSTR /*Password*/, LONG /*NumStart*/,
                                                         LONG /*NumEnd*/,
                                                         VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::PeriodRepByDate(BSTR /*Password*/, BSTR /*DateStart*/,
                                                         BSTR /*DateEnd*/,
                                                         VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::get_ServiceIn(double* /*Value*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::put_ServiceIn(double /*Value*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::get_ServiceOut(double* /*Value*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::put_ServiceOut(double /*Value*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::PeriodRepByNumbFull(BSTR /*Password*/, LONG /*NumStart*/,
                                                             LONG /*NumEnd*/,
                                                             VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::PeriodRepByDateFull(BSTR /*Password*/, BSTR /*DateStart*/,
                                                             BSTR /*DateEnd*/,
                                                             VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::ProgramArt(unsigned char /*Tax*/, int /*NumArt*/,
                                                    int /*Group*/, double /*Price*/,
                                                    BSTR /*Password*/, BSTR /*Name*/,
                                                    VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::DeleteArt(int /*NumArt*/, BSTR /*Password*/,
                                                   VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::ChangePrice(int /*NumArt*/, double /*NewPrice*/,
                                                     BSTR /*Password*/, VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::GetArtInfo(int /*NumArt*/, BSTR* /*InfoArt*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::get_FirstArt(BSTR* /*Value*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::get_NextArt(BSTR* /*Value*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::SetOperatorName(LONG /*OperatorNum*/, BSTR /*Password*/,
                                                         BSTR /*OperatorName*/,
                                                         VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::SetOperatorPassword(LONG /*OperatorNum*/,
                                                             BSTR /*OldPassword*/,
                                                             BSTR /*NewPassword*/,
                                                             VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::ClearOperatorPassword(BSTR /*AdministatorPassword*/,
                                                               LONG /*OperatorNum*/,
                                                               VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::ArticulsReports(LONG /*TypeReport*/, BSTR /*Password*/,
                                                         VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::get_LastZReport(BSTR* /*Value*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::get_CurrentTotals(BSTR* /*Value*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::put_TotalIdx(LONG /*Value*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::get_CashInfo(double* /*Value*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::PrintFiscalCopyKSEF(LONG /*NumFis*/, LONG* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::PrintFiscalCopiesKSEF(LONG /*Num1*/, LONG /*Num2*/,
                                                               LONG* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::PrintReportsTaxKSEF(LONG /*NumFis*/, LONG* /*Result*/) {
  return E_NOTIMPL;
}

}  // namespace molvex
