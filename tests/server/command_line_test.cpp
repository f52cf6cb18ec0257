#include "server/command_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace molvex {
namespace {

std::string Shown(const std::vector<std::wstring>& args) {
  std::wstring shown;
  for (const auto& a : args) shown += a + L" ";
  return std::string(shown.begin(), shown.end());
}

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
  for (const auto& c : cases) EXPECT_EQ(ChooseAction(c.args), c.action) << Shown(c.args);
}

struct UseCase {
  std::vector<std::wstring> args;
  ServerAction action;
  ClassUse use;
};

// "PERCLIENT" goes beside the other switches: it chooses how objects are served and never what
// the process does.
TEST(ServerCommandLine, PerClientSwitchChoosesTheClassUseBesideTheAction) {
  const UseCase cases[] = {
      {{L"/RegServer", L"/PerClient"}, ServerAction::Register, ClassUse::PerClient},
      {{L"-perclient", L"-REGSERVER"}, ServerAction::Register, ClassUse::PerClient},
      {{L"/RegServerPerUser", L"/PERCLIENT"}, ServerAction::RegisterUser, ClassUse::PerClient},
      {{L"/UnregServer", L"/PerClient"}, ServerAction::Unregister, ClassUse::PerClient},
      // The registered command as the runtime starts it.
      {{L"/Automation", L"/PerClient", L"-Embedding"}, ServerAction::Serve, ClassUse::PerClient},
      {{L"/PerClient"}, ServerAction::RegisterAndServe, ClassUse::PerClient},
      {{L"/RegServer"}, ServerAction::Register, ClassUse::Shared},
      {{L"/Automation", L"-Embedding"}, ServerAction::Serve, ClassUse::Shared},
      // Not the switch.
      {{L"/RegServer", L"PerClient"}, ServerAction::Register, ClassUse::Shared},
      {{L"/RegServer", L"/PerClients"}, ServerAction::Register, ClassUse::Shared},
      {{L"/RegServer", L"/Per"}, ServerAction::Register, ClassUse::Shared},
      {{L"/RegServer/PerClient"}, ServerAction::RegisterAndServe, ClassUse::Shared},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseAction(c.args), c.action) << Shown(c.args);
    EXPECT_EQ(ChooseClassUse(c.args), c.use) << Shown(c.args);
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

TEST(ServerCommandLine, PerClientCommandCarriesTheSwitchAfterEveryFormOfThePath) {
  const ClassUse use = ClassUse::PerClient;
  EXPECT_EQ(LocalServerCommand(L"C:\\ECR\\MolvexECR.exe", L"C:\\ECR\\MOLVEX~1.EXE", use),
            L"C:\\ECR\\MolvexECR.exe /Automation /PerClient");
  EXPECT_EQ(
      LocalServerCommand(L"C:\\Program Files\\MolvexECR.exe", L"C:\\PROGRA~1\\MOLVEX~1.EXE", use),
      L"C:\\PROGRA~1\\MOLVEX~1.EXE /Automation /PerClient");
  EXPECT_EQ(LocalServerCommand(L"C:\\Program Files\\MolvexECR.exe", L"", use),
            L"\"C:\\Program Files\\MolvexECR.exe\" /Automation /PerClient");
}

// What registering writes is what the server started from it reads: the registered command,
// split at its blanks as the runtime passes it on with "-Embedding" added, serves the same way.
TEST(ServerCommandLine, RegisteredCommandStartsAServerOfItsOwnKind) {
  for (const ClassUse use : {ClassUse::Shared, ClassUse::PerClient}) {
    std::wistringstream command(LocalServerCommand(L"C:\\Program Files\\MolvexECR.exe",
                                                   L"C:\\PROGRA~1\\MOLVEX~1.EXE", use) +
                                L" -Embedding");
    std::vector<std::wstring> args;
    for (std::wstring word; command >> word;) args.push_back(word);
    ASSERT_FALSE(args.empty());
    args.erase(args.begin());  // the program
    EXPECT_EQ(ChooseAction(args), ServerAction::Serve) << Shown(args);
    EXPECT_EQ(ChooseClassUse(args), use) << Shown(args);
  }
}

}  // namespace
}  // namespace molvex
