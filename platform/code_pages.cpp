// The printer's code page: which code pages it may be, and the one it is.
#include <atomic>

#include "platform/text_codec.h"

namespace molvex {
namespace {

std::atomic<unsigned> printer_code_page{kDefaultPrinterCodePage};

}  // namespace

bool CodePageKnown(unsigned code_page) {
  switch (code_page) {
    case 437:
    case 850:
    case 852:
    case 855:
    case 857:
    case 869:
    case 874:
    case 20866:
    case 21866:
    case 28603:
    case 28605:
      return true;
    default:
      return (code_page >= 860 && code_page <= 866) || (code_page >= 1250 && code_page <= 1258) ||
             (code_page >= 28591 && code_page <= 28599);
  }
}

void SetPrinterCodePage(unsigned code_page) {
  printer_code_page = code_page;
}

unsigned PrinterCodePage() {
  return printer_code_page;
}

bool PrinterCodePageKnown() {
  return CodePageKnown(printer_code_page);
}

}  // namespace molvex
