// SellArticul: a sale by name and price. The article is looked for in the printer's article
// table under numbers derived from its description, programmed there when a free number comes
// first, and sold by number.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <system_error>

#include "link/commands.h"
#include "object/TECRFiscImpl.h"
#include "object/automation_text.h"
#include "object/call_pattern.h"
#include "object/object_error.h"
#include "object/sell_articul.h"

namespace molvex {
namespace {

constexpr std::size_t kNameLength = 48;
constexpr std::size_t kNameLine = 24;
constexpr int kArticleRecordFields = 10;  // P,number,tax,group,price,...,name
constexpr HRESULT kNegativePrice = -4;    // 0xFFFFFFFC

// Tax group letters А..Д (Windows-1251 0xC0..0xC4), given as 0..4 or as the letter itself; 0
// for any other value, which is refused (sold under А it would be taxed as another group).
char TaxLetter(unsigned char tax) {
  if (tax < kPrnTaxGroups) return static_cast<char>(kPrnTaxLetterFirst + tax);
  if (PrnIsTaxLetter(tax)) return static_cast<char>(tax);
  return 0;
}

// A decimal number of the printer, "." as separator whatever the locale. False when the text
// is not one number.
bool DecimalValue(std::string_view text, double& value) {
  if (text.empty() || text.front() == '+') return false;
  const auto result =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  return result.ec == std::errc{} && result.ptr == text.data() + text.size();
}

struct Wanted {
  char letter;
  std::int32_t group;
  double price;  // as its two-decimal text reads back: what the printer holds once programmed
  const std::string& name;
};

// The article record of the last query reply is the one wanted: tax letter (field 3), group
// (field 4), price (field 5) and name (field 10).
bool Matches(const PrinterContext& ctx, const Wanted& wanted) {
  std::int64_t group = 0;
  double price = 0;
  return ReplyField(ctx, 3)[0] == wanted.letter && ReplyInteger(ctx, 4, group) &&
         group == wanted.group && DecimalValue(ReplyField(ctx, 5), price) &&
         price == wanted.price && wanted.name == ReplyField(ctx, 10);
}

HRESULT SellByName(PrinterContext& ctx, const std::string& name, double price, double quantity,
                   unsigned char tax, int group_asked, const std::string& password, double percent,
                   double discount, LONG* Result) {
  const auto refuse = [&ctx, Result] {
    *Result = 0;
    SaveRefusal(ctx);
    return S_OK;
  };
  const char letter = TaxLetter(tax);
  // A tax or group the printer would read as another, or a quantity it would refuse only after
  // the article was programmed: refused before anything is sent.
  if (letter == 0 || group_asked < 1 || group_asked > 99 || !std::isfinite(quantity) ||
      quantity < 0) {
    return refuse();
  }
  const std::int32_t group = group_asked;
  // The longest text of the call programs the article under a number of up to five digits.
  const PrnRequest longest = PrnBuildArticleProgram(letter, kArticleTableSize, group, price,
                                                    password.c_str(), name.c_str());
  if (!PortTestFitsAndPreRead(ctx, longest)) {
    *Result = 0;
    return S_OK;
  }
  if (price == 0) {  // the saved error word stays as it was
    *Result = 0;
    ctx.state.CallStatus = kCallRefused;
    return S_OK;
  }
  if (price < 0) return kNegativePrice;  // Result is not written
  if (!std::isfinite(price)) return refuse();

  const std::string price_text = FixedText(price, 2);
  const std::string description = std::string(1, letter) + "," + std::to_string(group) + "," +
                                  price_text + "," + password + "," + name;
  Wanted wanted{letter, group, 0.0, name};
  DecimalValue(price_text, wanted.price);

  *Result = 0;
  std::int32_t number = DescriptionValue(description) % kArticleTableSize + 1;
  bool found = false;
  // Every number of the table once at most: a full table of other articles, or a printer that
  // answers the query without the fields compared, ends the call as refused.
  for (std::int32_t probes = 0; probes < kArticleTableSize && !found; ++probes) {
    if (RunSaved(ctx, PrnBuildArticleRead, number) != Outcome::Succeeded) return S_OK;
    if (ReplyField(ctx, 1)[0] == 'F') {  // a free number: the article goes there
      if (RunSaved(ctx, PrnBuildArticleProgram, letter, number, group, price, password.c_str(),
                   name.c_str()) != Outcome::Succeeded) {
        return S_OK;
      }
      if (ReplyField(ctx, 1)[0] != 'P') return refuse();
      found = true;
    } else if (ctx.state.LastResult.FieldCount < kArticleRecordFields) {
      return refuse();
    } else if (Matches(ctx, wanted)) {
      found = true;
    } else {
      number = number % kArticleTableSize + 1;
    }
  }
  if (!found) return refuse();
  *Result = RunSaved(ctx, PrnBuildSale, char{1}, number, quantity, percent, discount) ==
                    Outcome::Succeeded
                ? 1
                : 0;
  return S_OK;
}

}  // namespace

std::string ArticleName(std::string name) {
  if (name.size() > kNameLength) name.resize(kNameLength);
  if (name.size() > kNameLine) name.insert(kNameLine, 1, '\t');
  return name;
}

std::uint16_t DescriptionValue(std::string_view text) {
  std::uint8_t high = 0;
  std::uint8_t low = 0;
  for (const char c : text) {
    if (c == '\0') break;
    std::uint8_t parity = 0;  // bit k: the parity of bits k..7 of high
    for (int shift = 0; shift < 8; ++shift) parity ^= static_cast<std::uint8_t>(high >> shift);
    high = static_cast<std::uint8_t>(low ^ ((parity & 1u) << 7));
    low = static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) ^ parity);
  }
  return static_cast<std::uint16_t>(high << 8 | low);
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::SellArticul(BSTR NameArt, double Price, double Quantity,
                                                       unsigned char Tax, int Group, BSTR Password,
                                                       double Perc, double dc, LONG* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuardedHresult(
      ctx,
      [&] {
        // Both go into the article's record, fields separated by commas. A text refused gives the
        // refusal value 0 (a negative price leaves Result unwritten).
        std::string name;
        std::string password;
        try {
          name = ArticleName(ClientText(ctx, NameArt, "NameArt", kComma));
          password = ClientText(ctx, Password, "Password", kComma);
        } catch (const ObjectError&) {
          *Result = 0;
          throw;
        }
        return SellByName(ctx, name, Price, Quantity, Tax, Group, password, Perc, dc, Result);
      },
      [](HRESULT) {
        return std::string(
            "SellArticul: the price is negative; nothing was sold. Give the price as a positive "
            "amount (an amount taken back belongs in a refund receipt)");
      });
}

}  // namespace molvex
