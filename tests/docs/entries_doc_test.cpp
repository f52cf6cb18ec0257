// docs/entries.md: every slot of the interface documented, the generated parts current, and the
// checks that keep it so.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "object/interface_table.h"
#include "tools/docgen/entries_doc.h"

namespace molvex::docs {
namespace {

const std::filesystem::path kRoot = MOLVEX_SOURCE_DIR;

std::optional<std::string> ReadRepoFile(std::string_view path) {
  std::ifstream in(kRoot / std::string(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Mentions(const std::vector<std::string>& problems, const std::string& text) {
  return std::any_of(problems.begin(), problems.end(),
                     [&](const std::string& p) { return p.find(text) != std::string::npos; });
}

TEST(EntriesPage, IsCurrentWithTheInterfaceTableAndTheExamples) {
  const std::optional<std::string> page = ReadRepoFile("docs/entries.md");
  ASSERT_TRUE(page.has_value());
  const Rendered rendered = RenderEntriesPage(*page, ReadRepoFile);
  for (const std::string& p : rendered.problems) ADD_FAILURE() << p;
  EXPECT_TRUE(rendered.page == *page)
      << "docs/entries.md is out of date: build entries_doc and run "
         "entries_doc --update docs/entries.md";
}

TEST(EntriesPage, DocumentsEverySlot) {
  const std::optional<std::string> page = ReadRepoFile("docs/entries.md");
  ASSERT_TRUE(page.has_value());
  std::size_t found = 0;
  for (const SlotInfo& slot : InterfaceSlots()) {
    const std::string name(slot.name);
    const std::string in_table = "| " + std::to_string(slot.slot) + " | [" + name + "](#";
    const std::string in_entry = "| " + std::to_string(slot.slot) + " | " +
                                 (slot.kind == EntryKind::Method    ? "method"
                                  : slot.kind == EntryKind::PropGet ? "property read"
                                                                    : "property write") +
                                 " | " + std::to_string(slot.dispid) + " (";
    const std::size_t heading = page->find("\n### " + name + "\n");
    EXPECT_NE(page->find(in_table), std::string::npos) << "slot table: " << name;
    ASSERT_NE(heading, std::string::npos) << "no section for " << name;
    // The slot's row follows its own heading, before the next entry's.
    const std::size_t row = page->find(in_entry, heading);
    const std::size_t next = page->find("\n### ", heading + 1);
    EXPECT_TRUE(row != std::string::npos && row < next) << "slot " << slot.slot << " " << name;
    ++found;
  }
  EXPECT_EQ(found, kInterfaceSlotCount);
}

// A page made of every entry block, in one group, in slot order.
std::string FullPage(const std::vector<std::string>& names) {
  std::string page = "# Entries\n\n<!-- generated: slot table -->\n<!-- end of generated -->\n";
  page += "\n## All\n\n";
  for (const std::string& name : names) {
    page += "<!-- generated: entry " + name + " -->\n" + EntryBlock(name) +
            "<!-- end of generated -->\nHand-written text.\n\n";
  }
  return page;
}

std::vector<std::string> AllNames() {
  std::vector<std::string> names;
  for (const SlotInfo& slot : InterfaceSlots()) {
    if (std::find(names.begin(), names.end(), slot.name) == names.end()) {
      names.emplace_back(slot.name);
    }
  }
  return names;
}

std::optional<std::string> NoFiles(std::string_view) {
  return std::nullopt;
}

TEST(EntriesPage, TheCheckFindsWhatIsWrong) {
  const std::vector<std::string> names = AllNames();
  {
    const Rendered r = RenderEntriesPage(FullPage(names), NoFiles);
    EXPECT_TRUE(r.problems.empty()) << r.problems.front();
    EXPECT_NE(r.page.find("| 31 | [ProgramArt](#programart) | method | 31 | All |"),
              std::string::npos);
    EXPECT_NE(r.page.find("Hand-written text."), std::string::npos);
  }
  struct Case {
    const char* what;
    std::string page;
    std::string problem;
  };
  std::vector<std::string> missing = names;
  missing.erase(std::find(missing.begin(), missing.end(), "TotalIdx"));
  std::vector<std::string> twice = names;
  twice.push_back("CashInfo");
  std::vector<std::string> swapped = names;
  std::swap(swapped[0], swapped[1]);
  std::vector<std::string> unknown = names;
  unknown.push_back("PrintEverything");
  std::string no_group = FullPage(names);
  no_group.replace(no_group.find("\n## All\n"), 8, "\n");
  std::string no_end = FullPage(names);
  no_end.erase(no_end.rfind("<!-- end of generated -->"), 25);
  const Case cases[] = {
      {"an entry missing", FullPage(missing), "entry \"TotalIdx\" is missing"},
      {"an entry twice", FullPage(twice), "entry \"CashInfo\" appears twice"},
      {"out of slot order", FullPage(swapped), "out of slot order"},
      {"not in the interface", FullPage(unknown), "\"PrintEverything\" is not in the interface"},
      {"outside any group", no_group, "stands in no duty group"},
      {"no end marker", no_end, "has no end marker"},
      {"an example that cannot be read",
       FullPage(names) +
           "<!-- generated: example examples/none.vbs -->\n<!-- end of generated -->\n",
       "example \"examples/none.vbs\" cannot be read"},
      {"an unknown block",
       FullPage(names) + "<!-- generated: weather -->\n<!-- end of generated -->\n",
       "unknown block \"weather\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Rendered r = RenderEntriesPage(c.page, NoFiles);
    EXPECT_TRUE(Mentions(r.problems, c.problem))
        << (r.problems.empty() ? std::string("no problem found") : r.problems.front());
  }
}

TEST(EntriesPage, StaleGeneratedTextIsReplacedAndExamplesAreCopied) {
  std::string page = FullPage(AllNames());
  const std::string row = "| 66 | property write | 64 (0x40) | `Value` I4 | none |";
  ASSERT_NE(page.find(row), std::string::npos);
  page.replace(page.find(row), row.size(), "| 66 | property write | 99 | `Value` R8 | none |");
  page += "<!-- generated: example examples/x.vbs -->\nold\n<!-- end of generated -->\n";
  const Rendered r = RenderEntriesPage(page, [](std::string_view path) {
    return path == "examples/x.vbs" ? std::optional<std::string>("o.TotalIdx = 1") : std::nullopt;
  });
  EXPECT_TRUE(r.problems.empty());
  EXPECT_NE(r.page.find(row), std::string::npos);
  EXPECT_EQ(r.page.find("| 66 | property write | 99 |"), std::string::npos);
  EXPECT_NE(r.page.find("```vb\no.TotalIdx = 1\n```\n<!-- end of generated -->"),
            std::string::npos);
  EXPECT_EQ(r.page.find("\nold\n"), std::string::npos);
}

TEST(EntriesPage, EntryBlocksShowHowAScriptCallsEachKind) {
  EXPECT_NE(EntryBlock("ProgramArt")
                .find("`Result = o.ProgramArt(Tax, NumArt, Group, Price, Password, Name)`"),
            std::string::npos);
  const std::string service_in = EntryBlock("ServiceIn");
  EXPECT_NE(service_in.find("`Value = o.ServiceIn`  \n`o.ServiceIn = Value`\n"), std::string::npos);
  EXPECT_NE(service_in.find("| 23 | property read | 17 (0x11) | none | `Value` R8 |"),
            std::string::npos);
  EXPECT_NE(service_in.find("| 24 | property write | 17 (0x11) | `Value` R8 | none |"),
            std::string::npos);
  EXPECT_NE(EntryBlock("GetSerNumber").find("`Number` BSTR (out)"), std::string::npos);
  EXPECT_NE(
      EntryBlock("ClearOperatorPassword")
          .find("`Call o.ClearOperatorPassword(AdministatorPassword, OperatorNum, (Result))`"),
      std::string::npos);
  EXPECT_EQ(EntryBlock("NoSuchEntry"), "");
}

}  // namespace
}  // namespace molvex::docs
