// The generated parts of docs/entries.md, the reference of the interface entries: whatever the
// interface table knows (names, slots, kinds, dispatch identifiers, parameters and their types)
// and the example scripts of examples/, so that the page cannot drift from either. The rest of
// the page is written by hand around the generated blocks.
//
// A generated block is the text between a line "<!-- generated: WHAT -->" and the next line
// "<!-- end of generated -->"; WHAT is one of
//   "slot table"        every slot in slot order, with a link to its entry and its duty group;
//   "entry NAME"        heading, call and signature of the entry NAME (all its slots);
//   "example PATH"      the script at PATH (from the repository root) as a code block.
// Every entry of the interface has exactly one entry block; the "## " heading above an entry
// block is its duty group, and within a group the entries follow slot order.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace molvex::docs {

// Reads a file of the repository by its path from the root; nullopt when it cannot.
using FileReader = std::function<std::optional<std::string>(std::string_view path)>;

struct Rendered {
  std::string page;                   // the page with every generated block refreshed
  std::vector<std::string> problems;  // what keeps the page from describing the interface
};

// Refreshes the generated blocks of `page` and checks its structure.
Rendered RenderEntriesPage(std::string_view page, const FileReader& read);

// The generated text of the entry block for `name` (without the marker lines); empty when the
// interface has no entry of that name.
std::string EntryBlock(std::string_view name);

}  // namespace molvex::docs
