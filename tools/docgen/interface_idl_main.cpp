// interface_idl: refreshes or checks the interface block of the type library's IDL.
//   interface_idl --check IDL    exit 0 when the block of IDL is written from the current table
//   interface_idl --update IDL   rewrites the block of IDL from the table
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "tools/docgen/interface_idl.h"

namespace {

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 3 ? argv[1] : "";
  if (mode != "--check" && mode != "--update") {
    std::cerr << "usage: interface_idl --check|--update object/MolvexECR_TLB.idl\n";
    return 2;
  }
  const std::string path = argv[2];
  const std::optional<std::string> idl = ReadFile(path);
  if (!idl) {
    std::cerr << "interface_idl: cannot read " << path << "\n";
    return 2;
  }
  const molvex::docs::RenderedIdl rendered = molvex::docs::RenderIdl(*idl);
  for (const std::string& problem : rendered.problems) std::cerr << path << ": " << problem << "\n";
  if (!rendered.problems.empty()) return 1;
  if (mode == "--update") {
    if (rendered.idl == *idl) return 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << rendered.idl;
    if (!out) {
      std::cerr << "interface_idl: cannot write " << path << "\n";
      return 2;
    }
    return 0;
  }
  if (rendered.idl != *idl) {
    std::cerr << path << ": the interface block is out of date; run interface_idl --update " << path
              << "\n";
    return 1;
  }
  return 0;
}
