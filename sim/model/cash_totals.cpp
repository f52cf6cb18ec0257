// Service cash in and out (70).
#include "sim/model/device.h"
#include "sim/model/text_util.h"

namespace molvex::sim {

Reply Device::CashInOut(const std::string& data) {
  if (!data.empty()) {
    std::int64_t amount = 0;
    if (!ParseFixed(data, 2, amount) || amount == 0) return Syntax();
    if (receipt_.kind != ReceiptKind::None) return NotAllowed();
    if (amount > 0) {
      if (state_.cash > 99999999999 - amount) return Reply{"", Bit(Condition::Overflow), 0};
      state_.cash += amount;
      state_.day.service_in += amount;
    } else {
      if (-amount > state_.cash) return NotAllowed();
      state_.cash += amount;
      state_.day.service_out -= amount;
    }
    PrintDocument(PaperLine(amount > 0 ? "SERVICE IN" : "SERVICE OUT",
                            FormatFixed(amount > 0 ? amount : -amount, 2)) +
                  "\n" + PaperLine("CASH IN DRAWER", FormatFixed(state_.cash, 2)) + "\n");
  }
  return Reply{std::to_string(state_.cash) + "," + std::to_string(state_.day.service_in) + "," +
                   std::to_string(state_.day.service_out),
               0, 0};
}

}  // namespace molvex::sim
