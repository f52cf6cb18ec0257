// The object fixture with a few receipt helpers: articles keyed into the printer, the requests
// as (command, data) and short calls of the receipt entries.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/object/object_fixture.h"

namespace molvex::testing {

using Sent = std::vector<std::pair<int, std::string>>;  // requests: command and data
// "not allowed" with the general error: error-word bits 5 and 27, GetError 7.
constexpr Status kNotAllowed = {0xA0, 0x82, 0x80, 0x80, 0x80, 0x80};

class ReceiptTest : public ObjectTest {
 protected:
  // Programs an article in the printer as if keyed in on it (tax byte 0xC0..0xC4).
  void Program(int number, char tax, const std::string& price, const std::string& name) {
    const sim::Reply r = port.device().Execute(sim::Request{
        0, 107, "P" + std::string(1, tax) + std::to_string(number) + ",1," + price + ",," + name});
    ASSERT_EQ(r.data, "P") << name;
  }

  Sent Requests() const {
    Sent all;
    for (const auto& r : port.requests()) all.emplace_back(r.command, r.data);
    return all;
  }

  bool OpenSale(const char* password = "") {
    Bstr text(password);
    VARIANT_BOOL r = 7;
    EXPECT_EQ(obj.OpenFiscReceipt(1, 1, text.get(), &r), S_OK);
    return r == VARIANT_TRUE;
  }
  bool OpenRefund() {
    Bstr text("");
    VARIANT_BOOL r = 7;
    EXPECT_EQ(obj.OpenRefundReceipt(1, 1, text.get(), &r), S_OK);
    return r == VARIANT_TRUE;
  }
  bool Sell(LONG article, double quantity, double percent = 0, double amount = 0) {
    VARIANT_BOOL r = 7;
    EXPECT_EQ(obj.SellArtCash(VARIANT_TRUE, article, quantity, percent, amount, &r), S_OK);
    return r == VARIANT_TRUE;
  }
  bool Pay(double amount, int type) {
    VARIANT_BOOL r = 7;
    EXPECT_EQ(obj.Payment(amount, type, &r), S_OK);
    return r == VARIANT_TRUE;
  }
  bool Close() {
    VARIANT_BOOL r = 7;
    EXPECT_EQ(obj.CloseFiscReceipt(&r), S_OK);
    return r == VARIANT_TRUE;
  }
  double Sum() {
    double v = 7;
    EXPECT_EQ(obj.GetReceiptSum(&v), S_OK);
    return v;
  }
  double Paid() {
    double v = 7;
    EXPECT_EQ(obj.GetReceiptPay(&v), S_OK);
    return v;
  }
  int LastReceipt() {
    int v = 7;
    EXPECT_EQ(obj.get_NumbRec(&v), S_OK);
    return v;
  }
  LONG ReceiptKind() {
    LONG v = 7;
    EXPECT_EQ(obj.get_Receipt(&v), S_OK);
    return v;
  }
  LONG NonFiscalOpen() {
    LONG v = 7;
    EXPECT_EQ(obj.get_NonFiscal(&v), S_OK);
    return v;
  }
};

}  // namespace molvex::testing
