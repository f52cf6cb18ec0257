// The printer link: one framed request and its reply at a time, over one port. A Link owns its
// port, receiver, counters and result record; the process-wide functions below work on the one
// link of the process (Link::Process()), which the automation object uses.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/byte_channel.h"
#include "platform/clock.h"

// Results of the transaction operations and the command wrappers.
constexpr std::int32_t PRN_OK = 0;
constexpr std::int32_t PRN_BUSY = -10;  // LinkReady is 0: a transaction runs, or no port was opened
constexpr std::int32_t PRN_DATA_TOO_LONG =
    -11;  // the data text does not fit the frame; nothing sent

constexpr int kPrnMaxData = 85;                      // longest data text of a request frame
constexpr std::uint32_t kPrnResultMessage = 0x1099;  // message posted when no callback is stored

// Link outcome bits of the error word.
constexpr std::uint32_t kErrChecksum = 1u << 24;
constexpr std::uint32_t kErrNak = 1u << 25;
constexpr std::uint32_t kErrNoReply = 1u << 26;
// The printer stayed busy (SYN) past the busy limit; no reply was taken.
constexpr std::uint32_t kErrBusyLimit = 1u << 29;

// How long SYN keeps one transaction waiting, by default (see LinkSetBusyLimit).
constexpr std::int32_t kPrnBusyLimitDefaultMs = 120'000;
// A wait ends after this much time without progress in a reply frame (bytes that make no frame
// do not count as progress).
constexpr std::int64_t kPrnSilenceMs = 5'000;

constexpr int kRetDataFields = 20;
constexpr int kRawReplySize = 318;

// The result record of one transaction. All references point into link buffers and stay valid
// until the next transaction starts.
struct RetData {
  std::int32_t FieldCount;
  std::int32_t Command;
  std::int32_t Tag;
  std::uint32_t ErrorWord;
  const char* CommandName;
  const char* RequestData;
  const char* ReplyData;
  char* Fields[kRetDataFields];
  std::uint8_t Status[6];
  char RawReply[kRawReplySize];
};

using PrnCallback = void (*)(RetData&);
using PrnWindow = std::uintptr_t;

// The process link's state, read by tests and fuzzers.
extern std::atomic<std::uint8_t>& LinkReady;  // 1: a transaction may start
extern std::uint8_t& SequenceCounter;         // incremented at the start of every transaction
extern std::uint8_t& LinkFlags;               // 4 NAK, 8 terminator out of place, +1 check mismatch
extern bool& ReplyEnded;                      // the receiver passed the terminator state
extern RetData& LinkResult;                   // the process link's result record

// One request as a value, built before anything is sent: the command and its data text (at most
// kPrnMaxData bytes, ending at its first zero byte as a data text does), whether the text as
// built was too long for a request frame, and the refusal of an argument (-1..-4).
struct PrnRequest {
  static constexpr std::size_t kCapacity = kPrnMaxData + 1;

  std::int32_t command = 0;
  std::int32_t refusal = 0;  // an argument refused: nothing may be sent
  bool too_long = false;     // the text does not fit a request frame: nothing may be sent
  std::size_t length = 0;    // bytes of `data`, without its terminating zero
  // The text's length as built, a zero byte inside counted (the entries refuse a text that does
  // not fit a frame whole); larger than any frame when the builder ran out of room.
  std::size_t built = 0;

  // True when the text as built fits one request frame whole.
  bool FitsWhole() const { return !too_long && built <= static_cast<std::size_t>(kPrnMaxData); }
  char data[kCapacity] = {};

  // What Link::Transact and the wrappers give for it when it cannot be sent, else PRN_OK.
  std::int32_t Refusal() const {
    if (refusal != 0) return refusal;
    return too_long ? PRN_DATA_TOO_LONG : PRN_OK;
  }
};

// Port (serial port by default; see LinkSetPortFactory).
std::int32_t PrnOpenPort(std::int32_t port, std::int32_t baud);
void PrnClosePort();

// Transactions. Each returns 0 once the transaction ran (its outcome is in the error word),
// PRN_BUSY when the link is not ready, PRN_DATA_TOO_LONG when the data text exceeds 85 bytes.
std::int32_t PrnExecute(PrnWindow window, PrnCallback callback, std::int32_t tag,
                        std::int32_t command, const char* data);
std::int32_t PrnExecuteCallback(PrnCallback callback, std::int32_t tag, std::int32_t command,
                                const char* data);
std::int32_t PrnExecuteWnd(PrnWindow window, std::int32_t tag, std::int32_t command,
                           const char* data);

// Receiver and decoder (driven by the transaction).
std::int32_t PrnReceiveByte();
void PrnDecodeReply();

// Russian command name, Windows-1251 bytes; "Неверная команда" for codes without a name.
const char* PrnCommandName(std::int32_t command);
// The same name as UTF-8, for people reading (the protocol trace).
const char* PrnCommandNameUtf8(std::int32_t command);

// Seams of the process link.
// Where PrnOpenPort gets its channel; nullptr restores the platform serial ports.
void LinkSetPortFactory(molvex::PortFactory* factory);
// The factory PrnOpenPort uses now (it can tell why its last open failed).
molvex::PortFactory& LinkPortFactory();
// How a result is posted to a window when no callback is stored (Windows: PostMessageA).
using PrnPostMessage = void (*)(PrnWindow window, std::uint32_t message, std::uintptr_t wparam,
                                std::intptr_t lparam);
void LinkSetMessagePoster(PrnPostMessage poster);
// Who watches the transactions (the protocol trace). Both run on the calling thread inside the
// transaction: `started` once the request is accepted, before its frame is written; `ended`
// after the reply is decoded and before the result is delivered, with the number of SYN bytes
// the printer sent while busy. nullptr (the default) costs one test per transaction.
// `dropped` is told of every whole reply frame that answered another request (its sequence or
// command byte is not the request's); the wait goes on after it. `data` is the frame's data text.
struct PrnWatch {
  void (*started)(std::int32_t command, const char* data);
  void (*ended)(const RetData& result, std::uint32_t syn_bytes);
  void (*dropped)(std::uint8_t sequence, std::uint8_t command, const char* data);
};
// The watch is one for the process: every Link tells it of its transactions, on the thread that
// runs them.
void LinkSetWatch(const PrnWatch* watch);
// The clock the wait measures its limits with; nullptr restores the system clock.
void LinkSetClock(molvex::Clock* clock);
// How long SYN from a busy printer may keep one transaction waiting, counted from the request;
// past it the transaction ends with kErrBusyLimit. Values below 1 ms take the default.
void LinkSetBusyLimit(std::int32_t ms);
// Back to the state of a fresh process (port closed, counters and receiver at zero).
void LinkReset();

namespace link_state {
struct LinkCore;
}  // namespace link_state

// A printer link over one port: its channel (opened through its port factory), the receiver,
// the sequence counter, the flags, the result record and the copies of request and reply, in
// fixed buffers. One transaction at a time; two links run side by side on two threads.
class Link {
 public:
  Link();
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // The link of the process, behind the process-wide functions.
  static Link& Process();

  // PrnOpenPort and PrnClosePort on this link.
  std::int32_t Open(std::int32_t port, std::int32_t baud);
  void Close();

  // One transaction with the request's text: PRN_OK once it ran (Result() holds its outcome),
  // the request's refusal when it has one, PRN_DATA_TOO_LONG or PRN_BUSY as PrnExecute. Nothing
  // is delivered to a stored callback or window.
  std::int32_t Transact(const PrnRequest& request);
  std::int32_t Transact(std::int32_t command, const char* data);
  // The result record of the last transaction; valid until the next one starts.
  const RetData& Result() const;

  // PrnExecute, PrnExecuteCallback and PrnExecuteWnd on this link.
  std::int32_t Execute(PrnWindow window, PrnCallback callback, std::int32_t tag,
                       std::int32_t command, const char* data);
  std::int32_t ExecuteCallback(PrnCallback callback, std::int32_t tag, std::int32_t command,
                               const char* data);
  std::int32_t ExecuteWnd(PrnWindow window, std::int32_t tag, std::int32_t command,
                          const char* data);

  // The receiver and decoder (driven by the transaction).
  std::int32_t ReceiveByte();
  void DecodeReply();

  // Seams, as LinkSetPortFactory, LinkPortFactory, LinkSetClock and LinkSetBusyLimit.
  void SetPortFactory(molvex::PortFactory* factory);
  molvex::PortFactory& PortFactory();
  void SetClock(molvex::Clock* clock);
  void SetBusyLimit(std::int32_t ms);
  // Back to the state of a fresh link (port closed, counters and receiver at zero).
  void Reset();

  link_state::LinkCore& core() { return *core_; }

 private:
  std::int32_t Run(PrnWindow window, std::int32_t tag, std::int32_t command, const char* data,
                   std::size_t length, bool deliver);

  std::unique_ptr<link_state::LinkCore> core_;
};
