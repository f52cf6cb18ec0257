#include "server/command_line.h"

#include <algorithm>

namespace molvex {
namespace {

wchar_t FoldAscii(wchar_t c) {
  return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
}

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](wchar_t x, wchar_t y) { return FoldAscii(x) == FoldAscii(y); });
}

bool IsWhiteSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

}  // namespace

bool HasSwitch(const std::vector<std::wstring>& args, std::wstring_view name) {
  return std::any_of(args.begin(), args.end(), [name](const std::wstring& arg) {
    return !arg.empty() && (arg[0] == L'-' || arg[0] == L'/') &&
           SameIgnoringCase(std::wstring_view(arg).substr(1), name);
  });
}

ServerAction ChooseAction(const std::vector<std::wstring>& args) {
  if (HasSwitch(args, L"REGSERVER")) return ServerAction::Register;
  if (HasSwitch(args, L"UNREGSERVER")) return ServerAction::Unregister;
  if (HasSwitch(args, L"REGSERVERPERUSER")) return ServerAction::RegisterUser;
  if (HasSwitch(args, L"UNREGSERVERPERUSER")) return ServerAction::UnregisterUser;
  if (HasSwitch(args, L"AUTOMATION") || HasSwitch(args, L"EMBEDDING")) return ServerAction::Serve;
  return ServerAction::RegisterAndServe;
}

ClassUse ChooseClassUse(const std::vector<std::wstring>& args) {
  return HasSwitch(args, L"PERCLIENT") ? ClassUse::PerClient : ClassUse::Shared;
}

std::wstring LocalServerCommand(const std::wstring& path, const std::wstring& shortPath,
                                ClassUse use) {
  const std::wstring switches =
      use == ClassUse::PerClient ? L" /Automation /PerClient" : L" /Automation";
  const bool spaced = std::any_of(path.begin(), path.end(), IsWhiteSpace);
  if (!spaced) return path + switches;
  // Unquoted, a spaced path would be read up to its first blank ("C:\Program.exe").
  if (shortPath.empty()) return L"\"" + path + L"\"" + switches;
  return shortPath + switches;
}

}  // namespace molvex
