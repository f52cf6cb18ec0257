#include "tests/idl/idl_slots.h"

#include <regex>
#include <stdexcept>

namespace molvex::test {
namespace {

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

std::string AutomationType(std::string type) {
  std::string suffix;
  type = Trim(type);
  if (!type.empty() && type.back() == '*') {
    suffix = "*";
    type = Trim(type.substr(0, type.size() - 1));
  }
  static const std::pair<const char*, const char*> kTypes[] = {
      {"int", "INT"},   {"long", "I4"},   {"char", "I1"},           {"unsigned char", "UI1"},
      {"double", "R8"}, {"BSTR", "BSTR"}, {"VARIANT_BOOL", "BOOL"},
  };
  for (const auto& [idl, automation] : kTypes) {
    if (type == idl) return automation + suffix;
  }
  throw std::runtime_error("unknown parameter type: " + type);
}

// One parameter: "[in] double Summa" or "[out, retval] BSTR* Version".
std::string Param(const std::string& text) {
  static const std::regex kParam(R"(^\[([^\]]*)\]\s*(.*?)\s*(\w+)$)");
  std::smatch m;
  const std::string t = Trim(text);
  if (!std::regex_match(t, m, kParam)) throw std::runtime_error("parameter not understood: " + t);
  const std::string attrs = m[1];
  const char* dir = attrs.find("retval") != std::string::npos ? "retval"
                    : attrs.find("out") != std::string::npos  ? "out"
                                                              : "in";
  return m[3].str() + ":" + AutomationType(m[2]) + ":" + dir;
}

}  // namespace

std::vector<std::string> IdlSlots(const std::string& idlText, const std::string& interfaceName) {
  // Drop comments, then take the body of the interface.
  const std::string text = std::regex_replace(idlText, std::regex(R"(//[^\n]*)"), "");
  const std::regex kHead("interface\\s+" + interfaceName + "\\s*:\\s*IDispatch\\s*\\{");
  std::smatch head;
  if (!std::regex_search(text, head, kHead)) throw std::runtime_error("interface not found");
  const auto bodyStart = static_cast<std::size_t>(head.position(0) + head.length(0));
  const auto bodyEnd = text.find("};", bodyStart);
  if (bodyEnd == std::string::npos) throw std::runtime_error("interface body not closed");
  const std::string body = text.substr(bodyStart, bodyEnd - bodyStart);

  static const std::regex kEntry(R"(\[([^\]]*)\]\s*HRESULT\s+(\w+)\s*\(([^;]*)\)\s*;)");
  static const std::regex kId(R"(id\((0x[0-9A-Fa-f]+|\d+)\))");
  std::vector<std::string> slots;
  for (auto it = std::sregex_iterator(body.begin(), body.end(), kEntry);
       it != std::sregex_iterator(); ++it) {
    const std::string attrs = (*it)[1];
    std::smatch id;
    if (!std::regex_search(attrs, id, kId)) throw std::runtime_error("no id for " + (*it)[2].str());
    const char* kind = attrs.find("propget") != std::string::npos   ? "propget"
                       : attrs.find("propput") != std::string::npos ? "propput"
                                                                    : "method";
    std::string line = "slot " + std::to_string(slots.size() + 1) + " " + (*it)[2].str() + " " +
                       kind + " " + std::to_string(std::stol(id[1].str(), nullptr, 0));
    // Split the parameter list at the commas outside the attribute brackets.
    const std::string params = (*it)[3];
    std::string current;
    int depth = 0;
    for (char ch : params + ",") {
      if (ch == '[') ++depth;
      if (ch == ']') --depth;
      if (ch == ',' && depth == 0) {
        if (!Trim(current).empty() && Trim(current) != "void") line += " " + Param(current);
        current.clear();
      } else {
        current += ch;
      }
    }
    slots.push_back(line);
  }
  return slots;
}

}  // namespace molvex::test
