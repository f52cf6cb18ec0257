// What ecrfisc says when SetComPort gives -1: the device tried, the system's reason and how to
// name another device. The entry's own results stay as they are; this travels beside them as
// one more line (text) or as the "error" member (JSON).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/byte_channel.h"

namespace molvex::ecrfisc {

// How ports are named where ecrfisc runs: devices and MOLVEXECR_COM<n> mappings, or COM ports.
enum class PortStyle { Posix, Windows };
#ifdef _WIN32
inline constexpr PortStyle kNativePortStyle = PortStyle::Windows;
#else
inline constexpr PortStyle kNativePortStyle = PortStyle::Posix;
#endif

struct PortErrorReport {
  std::int32_t port = 0;
  PortOpenError error;
  std::string text;  // the whole explanation, one line
};

// The reason as the JSON names it: "no-such-device", "no-hardware", "no-permission", "in-use",
// "not-serial", "bad-speed", "other", "unknown".
std::string_view ReasonKey(PortFailure reason);

// The reason in words, with the system's own words and what to do about it where there is
// something to do (the group to join, the program to close).
std::string ReasonText(const PortOpenError& error, PortStyle style);

// The explanation of a failed SetComPort(port, speed): the speed when SetComPort refuses it,
// otherwise `error` (from the port factory) with how to name another device. `listed` are the
// COM ports the machine lists (Windows style only).
PortErrorReport ExplainSetComPort(std::int32_t port, std::int32_t speed, PortOpenError error,
                                  PortStyle style, const std::vector<std::int32_t>& listed);

// As above with what the link's port factory says and, on Windows, the ports the system lists.
PortErrorReport ExplainSetComPort(std::int32_t port, std::int32_t speed);

// The speeds SetComPort accepts, ascending.
const std::vector<std::int32_t>& AcceptedSpeeds();

// "9600, 19200" and the last one joined by `last_joint` (", " or " or ").
std::string SpeedList(const std::vector<std::int32_t>& speeds, const char* last_joint);

}  // namespace molvex::ecrfisc
