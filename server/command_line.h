// Private to server/.
// The server's command line: which switches it carries and what the process does with them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace molvex {

enum class ServerAction {
  Register,          // register, then end
  Unregister,        // unregister, then end
  RegisterUser,      // register for the current user only, then end
  UnregisterUser,    // unregister the current user's registration, then end
  Serve,             // started by the automation runtime: serve without registering
  RegisterAndServe,  // started by hand
};

// True when one argument is the switch: "-" or "/" followed by the name, in any letter case.
bool HasSwitch(const std::vector<std::wstring>& args, std::wstring_view name);

// REGSERVER is tested first, then UNREGSERVER, REGSERVERPERUSER, UNREGSERVERPERUSER, then
// AUTOMATION and EMBEDDING.
ServerAction ChooseAction(const std::vector<std::wstring>& args);

// How objects are served. Shared: one server process serves every object of every client, and
// all of them share its port and state. PerClient (the switch "PERCLIENT" beside a registering
// switch, kept in the registered command so that the runtime starts each server with it): each
// object in a server process of its own, which ends when that object is released.
enum class ClassUse { Shared, PerClient };

ClassUse ChooseClassUse(const std::vector<std::wstring>& args);

// The LocalServer32 command: the executable's path (its short form when the full path holds
// white space, in quotes when there is no short form) followed by " /Automation", and by
// " /PerClient" for a server per object.
std::wstring LocalServerCommand(const std::wstring& path, const std::wstring& shortPath,
                                ClassUse use = ClassUse::Shared);

}  // namespace molvex
