// entries_doc: refreshes or checks the generated parts of docs/entries.md.
//   entries_doc --check PAGE    exit 0 when PAGE is current and complete, 1 otherwise
//   entries_doc --update PAGE   rewrites PAGE with fresh generated blocks
// Example paths in the page are read from the repository root, the folder above PAGE's folder.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "tools/docgen/entries_doc.h"

namespace {

std::optional<std::string> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The first line where the two texts differ, for the message of a stale page.
std::size_t FirstDifferentLine(const std::string& a, const std::string& b) {
  std::size_t line = 1;
  for (std::size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i) {
    if (a[i] == '\n') ++line;
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 3 ? argv[1] : "";
  if (mode != "--check" && mode != "--update") {
    std::cerr << "usage: entries_doc --check|--update docs/entries.md\n";
    return 2;
  }
  const std::filesystem::path page_path = argv[2];
  const std::optional<std::string> page = ReadFile(page_path);
  if (!page) {
    std::cerr << "entries_doc: cannot read " << page_path << "\n";
    return 2;
  }
  const std::filesystem::path root =
      std::filesystem::absolute(page_path).parent_path().parent_path();
  const molvex::docs::Rendered rendered = molvex::docs::RenderEntriesPage(
      *page, [&root](std::string_view path) { return ReadFile(root / std::string(path)); });
  for (const std::string& problem : rendered.problems) {
    std::cerr << page_path.string() << ": " << problem << "\n";
  }
  if (mode == "--update") {
    std::ofstream out(page_path, std::ios::binary | std::ios::trunc);
    out << rendered.page;
    if (!out) {
      std::cerr << "entries_doc: cannot write " << page_path << "\n";
      return 2;
    }
    return rendered.problems.empty() ? 0 : 1;
  }
  if (rendered.page != *page) {
    std::cerr << page_path.string() << ":" << FirstDifferentLine(rendered.page, *page)
              << ": generated text is out of date; run entries_doc --update " << page_path.string()
              << "\n";
    return 1;
  }
  return rendered.problems.empty() ? 0 : 1;
}
