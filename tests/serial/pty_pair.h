// A pseudo-terminal for serial port tests: the test holds the master side and its own slave
// descriptor (to read back the line settings), and names the slave as a COM port.
#pragma once

#include "tests/support/reply_frame.h"

#include <cstdint>
#include <string>

namespace serialtest {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0 && slave_ >= 0; }
  int master() const { return master_; }
  int slave() const { return slave_; }
  const std::string& path() const { return path_; }

  // Points $MOLVEXECR_COM<port> at the slave (removed again when the pair goes).
  void MapAsPort(std::int32_t port);
  // Closes the master side: the line hangs up for whoever has the slave open.
  void HangUp();

  // Writes bytes from the printer's side.
  bool Send(const std::string& bytes) const;
  // Reads from the printer's side until `last` arrives or `timeout_ms` of silence.
  std::string ReceiveUntil(char last, int timeout_ms) const;
  // Waits until the slave holds `count` unread bytes.
  bool WaitPending(int count, int timeout_ms) const;

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
  std::string mapped_;
};

// Whether another open of `path` with an exclusive lock gets through.
bool DeviceIsFree(const std::string& path);

// Descriptors this process has open.
int OpenDescriptorCount();

using testsupport::ReplyFrame;

}  // namespace serialtest
