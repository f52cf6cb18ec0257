// The status read (74), the diagnostic (90) and the identity (255).
#include "sim/model/device.h"
#include "sim/model/text_util.h"

namespace molvex::sim {

Reply Device::ReadStatus(const std::string& data) {
  if (!data.empty() && data != "W" && data != "X") return Syntax();
  return {};
}

Reply Device::Diagnostic(const std::string& data) {
  if (data != "0" && data != "1") return Syntax();
  // The first 20 characters: model, firmware version and firmware date, separated by blanks.
  std::string text = std::string(kModel) + " " + kFirmware + " " + kFirmwareDate;
  text += ",3A7F,00000000,5,";
  text += kSerialNumber;
  text += ",";
  text += kFiscalNumber;
  if (data == "1") {
    PrintDocument(PaperLine("DIAGNOSTICS") + "\n" + PaperLine("FIRMWARE", kFirmware) + "\n" +
                  PaperLine("CHECKSUM", "3A7F") + "\n");
  }
  return Reply{text, 0, 0};
}

Reply Device::Identity(const std::string&) {
  return Reply{kIdentity, 0, 0};
}

}  // namespace molvex::sim
