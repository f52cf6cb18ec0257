// The table of printer commands (link/commands.def): names for the printer's side and the trace,
// where passwords stand, the reply fix-ups.
#include "link/command_table.h"

#include <array>
#include <cstddef>

#include "link/link.h"
#include "platform/cp1251_literal.h"

namespace {

using molvex::Cp1251;

constexpr bool Listed = true;
constexpr bool Unlisted = false;

struct Passwords {
  bool by_article_operation;
  PrnPasswordPlace place;
  constexpr Passwords(int commas, int count) : by_article_operation(false), place{commas, count} {}
  constexpr Passwords(bool by_operation, PrnPasswordPlace p)
      : by_article_operation(by_operation), place(p) {}
};
constexpr Passwords NoPassword{0, 0};
constexpr Passwords ByArticleOperation{true, {0, 0}};

constexpr PrnFixUp NoFixUp = PrnFixUp::None;
constexpr PrnFixUp FirstCharField = PrnFixUp::FirstCharField;
constexpr PrnFixUp DateTimeFields = PrnFixUp::DateTimeFields;
constexpr PrnFixUp SpacesToCommas = PrnFixUp::SpacesToCommas;

// The Windows-1251 names, each a constant of its own converted at compile time.
namespace cp1251 {
// NOLINTNEXTLINE(bugprone-macro-parentheses): `name` is the name being declared
#define PRN_COMMAND(name, code, listed, passwords, fix_up, utf8) constexpr auto name = Cp1251(utf8);
#include "link/commands.def"
}  // namespace cp1251

constexpr PrnCommandRow Row(std::int32_t code, bool listed, Passwords passwords, PrnFixUp fix_up,
                            const char* utf8, const char* cp1251) {
  return {utf8, cp1251, code, passwords.place, listed, passwords.by_article_operation, fix_up};
}

constexpr PrnCommandRow kRows[] = {
#define PRN_COMMAND(name, code, listed, passwords, fix_up, utf8) \
  Row(code, listed, passwords, fix_up, utf8, cp1251::name.c_str()),
#include "link/commands.def"
};
constexpr std::size_t kRowCount = sizeof kRows / sizeof kRows[0];
static_assert(kRowCount < 255, "one byte indexes the rows");

// Row index + 1 by command code, 0 for a code without a row.
constexpr std::array<std::uint8_t, 256> kIndex = [] {
  std::array<std::uint8_t, 256> index{};
  for (std::size_t i = 0; i < kRowCount; ++i) {
    const auto code = static_cast<std::size_t>(kRows[i].code);
    if (code >= index.size() || index[code] != 0) throw "a command code outside 0..255 or twice";
    index[code] = static_cast<std::uint8_t>(i + 1);
  }
  return index;
}();

constexpr auto kInvalidCommand = Cp1251("Неверная команда");

}  // namespace

const PrnCommandRow* PrnCommandRowOf(std::int32_t command) {
  if (command < 0 || command >= static_cast<std::int32_t>(kIndex.size())) return nullptr;
  const std::uint8_t at = kIndex[static_cast<std::size_t>(command)];
  return at == 0 ? nullptr : &kRows[at - 1];
}

const char* PrnCommandName(std::int32_t command) {
  const PrnCommandRow* row = PrnCommandRowOf(command);
  return row != nullptr && row->listed ? row->cp1251 : kInvalidCommand.c_str();
}

const char* PrnCommandNameUtf8(std::int32_t command) {
  const PrnCommandRow* row = PrnCommandRowOf(command);
  return row != nullptr ? row->utf8 : "Неверная команда";
}

PrnPasswordPlace PrnPasswordField(std::int32_t command, const char* data) {
  const PrnCommandRow* row = PrnCommandRowOf(command);
  if (row == nullptr) return {0, 0};
  if (!row->by_article_operation) return row->passwords;
  if (data == nullptr) return {0, 0};
  if (data[0] == 'P') return {3, 1};  // "P%c%d,%d,%-#.2lf,%s,%s"
  if (data[0] == 'C') return {2, 1};  // "C%d,%-#.2lf,%s"
  if (data[0] == 'D') return {1, 1};  // "DA,%s" or "D%d,%s"
  return {0, 0};
}
