#include "server/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace molvex {
namespace {

struct SwitchCase {
  std::vector<std::wstring> args;
  ServerAction action;
};

TEST(ServerCommandLine, SwitchesChooseTheAction) {
  const SwitchCase cases[] = {
      {{L"/regserver"}, ServerAction::Register},
      {{L"-REGSERVER"}, ServerAction::Register},
      {{L"/RegServer"}, ServerAction::Register},
      {{L"-UnRegServer"}, ServerAction::Unregister},
      {{L"/unregserver"}, ServerAction::Unregister},
      // REGSERVER is tested before UNREGSERVER, and both before the serving switches.
      {{L"/UnregServer", L"/RegServer"}, ServerAction::Register},
      {{L"/Automation", L"-UnregServer"}, ServerAction::Unregister},
      {{L"/Automation", L"-Embedding"}, ServerAction::Serve},
      {{L"-embedding"}, ServerAction::Serve},
      {{L"/AUTOMATION"}, ServerAction::Serve},
      {{L"/RegServerPerUser"}, ServerAction::RegisterUser},
      {{L"-unregserverperuser"}, ServerAction::UnregisterUser},
      {{L"/Automation", L"/RegServerPerUser"}, ServerAction::RegisterUser},
      // The machine-wide switches come first.
      {{L"/RegServerPerUser", L"/UnregServer"}, ServerAction::Unregister},
      {{L"/UnregServerPerUser", L"/RegServerPerUser"}, ServerAction::RegisterUser},
      {{}, ServerAction::RegisterAndServe},
      // Not switches: no prefix, another prefix, a longer or shorter word.
      {{L"regserver"}, ServerAction::RegisterAndServe},
      {{L"\\regserver"}, ServerAction::RegisterAndServe},
      {{L"/regserverx"}, ServerAction::RegisterAndServe},
      {{L"/reg"}, ServerAction::RegisterAndServe},
      {{L"/"}, ServerAction::RegisterAndServe},
      {{L""}, ServerAction::RegisterAndServe},
  };
  for (const auto& c : cases) {
    std::wstring shown;
    for (const auto& a : c.args) shown += a + L" ";
    EXPECT_EQ(ChooseAction(c.args), c.action) << std::string(shown.begin(), shown.end());
  }
}

TEST(ServerCommandLine, AutomationSwitchIsSeenAmongOthers) {
  EXPECT_TRUE(HasSwitch({L"-Embedding", L"/automation"}, L"AUTOMATION"));
  EXPECT_FALSE(HasSwitch({L"-Embedding"}, L"AUTOMATION"));
}

TEST(ServerCommandLine, LocalServerCommandUsesTheShortPathOnlyForSpacedPaths) {
  EXPECT_EQ(LocalServerCommand(L"C:\\ECR\\MolvexECR.exe", L"C:\\ECR\\MOLVEX~1.EXE"),
            L"C:\\ECR\\MolvexECR.exe /Automation");
  EXPECT_EQ(LocalServerCommand(L"C:\\Program Files\\MolvexECR.exe", L"C:\\PROGRA~1\\MOLVEX~1.EXE"),
            L"C:\\PROGRA~1\\MOLVEX~1.EXE /Automation");
  EXPECT_EQ(LocalServerCommand(L"C:\\a\tb\\MolvexECR.exe", L"C:\\AB~1\\MOLVEX~1.EXE"),
            L"C:\\AB~1\\MOLVEX~1.EXE /Automation");
  // Without a short form (8.3 names switched off) the full path goes in quotes, so that it is
  // not cut at its first blank.
  EXPECT_EQ(LocalServerCommand(L"C:\\Program Files\\MolvexECR.exe", L""),
            L"\"C:\\Program Files\\MolvexECR.exe\" /Automation");
}

}  // namespace
}  // namespace molvex
