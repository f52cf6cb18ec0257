#include "tools/docgen/entries_doc.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <sstream>

#include "object/interface_table.h"

namespace molvex::docs {
namespace {

constexpr std::string_view kOpen = "<!-- generated: ";
constexpr std::string_view kOpenEnd = " -->";
constexpr std::string_view kClose = "<!-- end of generated -->";
constexpr std::string_view kEntry = "entry ";
constexpr std::string_view kExample = "example ";
constexpr std::string_view kSlotTable = "slot table";

std::vector<const SlotInfo*> SlotsNamed(std::string_view name) {
  std::vector<const SlotInfo*> slots;
  for (const SlotInfo& slot : InterfaceSlots()) {
    if (slot.name == name) slots.push_back(&slot);
  }
  return slots;
}

// The entry names in slot order of their first slot.
std::vector<std::string_view> EntryNames() {
  std::vector<std::string_view> names;
  for (const SlotInfo& slot : InterfaceSlots()) {
    if (std::find(names.begin(), names.end(), slot.name) == names.end()) {
      names.push_back(slot.name);
    }
  }
  return names;
}

std::string KindText(EntryKind kind) {
  switch (kind) {
    case EntryKind::Method:
      return "method";
    case EntryKind::PropGet:
      return "property read";
    case EntryKind::PropPut:
      return "property write";
  }
  return "?";
}

// The heading anchor a Markdown renderer gives an entry's heading: the name in lower case.
std::string Anchor(std::string_view name) {
  std::string anchor(name);
  for (char& c : anchor) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return anchor;
}

std::string Hex(int value) {
  std::ostringstream out;
  out << "0x" << std::uppercase << std::hex << value;
  return out.str();
}

std::string Param(const ParamInfo& p) {
  return "`" + std::string(p.name) + "` " + std::string(AutoTypeName(p.type));
}

// How a script calls the slot.
std::string CallLine(const SlotInfo& slot) {
  std::string result;
  std::vector<std::string> args;
  bool writes_argument = false;
  for (const ParamInfo& p : slot.params) {
    if (p.dir == ParamDir::Retval) {
      result = std::string(p.name);
    } else {
      // A declared input that the entry writes: a script passes it as a value, in parentheses.
      args.push_back(p.dir == ParamDir::InRef ? "(" + std::string(p.name) + ")"
                                              : std::string(p.name));
      writes_argument = writes_argument || p.dir == ParamDir::InRef;
    }
  }
  const std::string name(slot.name);
  if (slot.kind == EntryKind::PropGet) return result + " = o." + name;
  if (slot.kind == EntryKind::PropPut) return "o." + name + " = " + args.front();
  std::string list;
  for (const std::string& a : args) list += (list.empty() ? "" : ", ") + a;
  if (result.empty()) return (writes_argument ? "Call o." : "o.") + name + "(" + list + ")";
  return result + " = o." + name + "(" + list + ")";
}

std::string ParameterCell(const SlotInfo& slot) {
  std::string cell;
  for (const ParamInfo& p : slot.params) {
    if (p.dir == ParamDir::Retval) continue;
    std::string text = Param(p);
    if (p.dir == ParamDir::Out) text += " (out)";
    if (p.dir == ParamDir::InRef) text += " (declared in, written by the entry)";
    cell += (cell.empty() ? "" : ", ") + text;
  }
  return cell.empty() ? "none" : cell;
}

std::string ResultCell(const SlotInfo& slot) {
  for (const ParamInfo& p : slot.params) {
    if (p.dir == ParamDir::Retval) return Param(p);
  }
  return "none";
}

std::string SlotTable(const std::map<std::string, std::string, std::less<>>& groups) {
  std::string text =
      "| Slot | Entry | Kind | Dispatch id | Duty |\n"
      "|---|---|---|---|---|\n";
  for (const SlotInfo& slot : InterfaceSlots()) {
    const auto group = groups.find(slot.name);
    text += "| " + std::to_string(slot.slot) + " | [" + std::string(slot.name) + "](#" +
            Anchor(slot.name) + ") | " + KindText(slot.kind) + " | " + std::to_string(slot.dispid) +
            " | " + (group != groups.end() ? group->second : "?") + " |\n";
  }
  return text;
}

std::string ExampleBlock(std::string_view path, const std::string& script) {
  std::string text = "`" + std::string(path) + "`:\n\n```vb\n" + script;
  if (!script.empty() && script.back() != '\n') text += '\n';
  return text + "```\n";
}

struct Block {
  std::size_t first_line = 0;  // the marker line
  std::size_t last_line = 0;   // the end marker
  std::string what;
  std::string group;  // the "## " heading above it
};

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::string EntryBlock(std::string_view name) {
  const std::vector<const SlotInfo*> slots = SlotsNamed(name);
  if (slots.empty()) return "";
  std::string text = "### " + std::string(name) + "\n\n";
  for (const SlotInfo* slot : slots) text += "`" + CallLine(*slot) + "`  \n";
  text.erase(text.size() - 3);  // no line break after the last call
  text +=
      "\n\n| Slot | Kind | Dispatch id | Parameters | Result |\n"
      "|---|---|---|---|---|\n";
  for (const SlotInfo* slot : slots) {
    text += "| " + std::to_string(slot->slot) + " | " + KindText(slot->kind) + " | " +
            std::to_string(slot->dispid) + " (" + Hex(slot->dispid) + ") | " +
            ParameterCell(*slot) + " | " + ResultCell(*slot) + " |\n";
  }
  return text;
}

Rendered RenderEntriesPage(std::string_view page, const FileReader& read) {
  Rendered out;
  const std::vector<std::string> lines = Lines(page);

  // First pass: the blocks and the group each one stands in.
  std::vector<Block> blocks;
  std::string group;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (StartsWith(line, "## ")) group = line.substr(3);
    if (line == kClose) {
      out.problems.push_back("line " + std::to_string(i + 1) + ": an end marker without a block");
      continue;
    }
    if (!StartsWith(line, kOpen)) continue;
    if (line.size() < kOpen.size() + kOpenEnd.size() ||
        line.substr(line.size() - kOpenEnd.size()) != kOpenEnd) {
      out.problems.push_back("line " + std::to_string(i + 1) + ": malformed marker");
      continue;
    }
    Block block;
    block.first_line = i;
    block.what = line.substr(kOpen.size(), line.size() - kOpen.size() - kOpenEnd.size());
    block.group = group;
    std::size_t end = i + 1;
    while (end < lines.size() && lines[end] != kClose && !StartsWith(lines[end], kOpen)) ++end;
    if (end == lines.size() || lines[end] != kClose) {
      out.problems.push_back("line " + std::to_string(i + 1) + ": block \"" + block.what +
                             "\" has no end marker");
      continue;
    }
    block.last_line = end;
    blocks.push_back(block);
    i = end;
  }

  // The entries: each once, in a group, in slot order within the group.
  std::map<std::string, std::string, std::less<>> groups;
  std::map<std::string, int, std::less<>> first_slot;
  for (const SlotInfo& slot : InterfaceSlots()) first_slot.emplace(slot.name, slot.slot);
  std::map<std::string, int, std::less<>> last_in_group;
  for (const Block& b : blocks) {
    if (!StartsWith(b.what, kEntry)) continue;
    const std::string name = b.what.substr(kEntry.size());
    const auto slot = first_slot.find(name);
    if (slot == first_slot.end()) {
      out.problems.push_back("entry \"" + name + "\" is not in the interface");
      continue;
    }
    if (!groups.emplace(name, b.group).second) {
      out.problems.push_back("entry \"" + name + "\" appears twice");
      continue;
    }
    if (b.group.empty()) out.problems.push_back("entry \"" + name + "\" stands in no duty group");
    auto [last, fresh] = last_in_group.emplace(b.group, slot->second);
    if (!fresh) {
      if (slot->second < last->second) {
        out.problems.push_back("entry \"" + name + "\" is out of slot order in \"" + b.group +
                               "\"");
      }
      last->second = slot->second;
    }
  }
  for (const std::string_view name : EntryNames()) {
    if (groups.find(name) == groups.end()) {
      out.problems.push_back("entry \"" + std::string(name) + "\" is missing");
    }
  }

  // Second pass: the page with fresh blocks.
  std::size_t next = 0;
  for (const Block& b : blocks) {
    for (; next <= b.first_line; ++next) out.page += lines[next] + "\n";
    std::string body;
    if (b.what == kSlotTable) {
      body = SlotTable(groups);
    } else if (StartsWith(b.what, kEntry)) {
      body = EntryBlock(b.what.substr(kEntry.size()));
    } else if (StartsWith(b.what, kExample)) {
      const std::string path = b.what.substr(kExample.size());
      const std::optional<std::string> script = read(path);
      if (script) {
        body = ExampleBlock(path, *script);
      } else {
        out.problems.push_back("example \"" + path + "\" cannot be read");
      }
    } else {
      out.problems.push_back("unknown block \"" + b.what + "\"");
    }
    if (body.empty()) {  // keep what stood there
      for (std::size_t i = b.first_line + 1; i < b.last_line; ++i) out.page += lines[i] + "\n";
    } else {
      out.page += body;
    }
    next = b.last_line;
  }
  for (; next < lines.size(); ++next) out.page += lines[next] + "\n";
  return out;
}

}  // namespace molvex::docs
