// One printer: its automation object, its worker thread and its first-in-first-out queue. Every
// call of the object runs on the worker, one job after the other; one printer's slow report never
// holds another printer's receipt.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "object/TECRFiscImpl.h"
#include "service/exact_json.h"
#include "service/settings.h"

namespace molvex::service {

// What the object kept of its last call: the driver's codes a client reads to explain it.
struct CallOutcome {
  LONG error = 0;          // GetError
  LONG status_bytes = 0;   // StatusBytes: 0, -1 refused by the object, -2 failed at the printer
  int status[6] = {};      // Status0..Status5
  bool timed_out = false;  // TimeOutFP: no status from the printer at all
  Json ToJson() const;
  // GetError 17, 19, 21: the printer may have carried the command out.
  bool Unclear() const { return error == 17 || error == 19 || error == 21; }
};

// The object as a job sees it on the worker thread, with the texts converted.
class PrinterSession {
 public:
  PrinterSession(TTECRFiscImpl& object, const PrinterSettings& settings)
      : object_(object), settings_(settings) {}

  TTECRFiscImpl& object() { return object_; }
  const PrinterSettings& settings() const { return settings_; }

  // Opens the port when it is not open (SetComPort). False when it cannot be opened.
  bool EnsureOpen();
  void MarkClosed() { open_ = false; }
  CallOutcome Outcome();

  // The entries with UTF-8 texts; each returns what the entry's result says.
  bool Present();
  bool OpenReceipt(bool refund, int operator_number, int till);
  bool SellArticle(std::int32_t article, double quantity, double percent, double amount);
  std::int32_t SellByName(const std::string& name, double price, double quantity, int tax,
                          int group, double percent, double amount);
  bool PrintText(const std::string& text);
  std::int32_t Barcode(int type, const std::string& data);
  bool Subtotal(double percent, double amount);
  bool Pay(int type, double amount, const std::string& code);
  bool CloseReceipt();
  bool CancelReceipt();
  int LastReceiptNumber();
  LONG OpenKind();  // Receipt: 0 none, 1 fiscal, 2 refund, 3 non-fiscal, -1 unknown
  double Sum();
  double Paid();
  bool OpenNonFiscal();
  bool PrintNonFiscal(const std::string& text);
  bool CloseNonFiscal();
  std::string Clock();
  HRESULT WriteClock(const std::string& date, const std::string& time, LONG& result);

 private:
  TTECRFiscImpl& object_;
  const PrinterSettings& settings_;
  bool open_ = false;
};

// The printer's state as the status page and GET …/status show it.
struct PrinterView {
  std::string state;  // "ready", "busy", "offline", "needs attention"
  std::size_t queue = 0;
  Json last;  // the last status read, when there was one
};

class PrinterWorker {
 public:
  using Task = std::function<void(PrinterSession&)>;

  PrinterWorker(PrinterSettings settings, std::unique_ptr<TTECRFiscImpl> object,
                std::size_t queue_limit);
  ~PrinterWorker();
  PrinterWorker(const PrinterWorker&) = delete;
  PrinterWorker& operator=(const PrinterWorker&) = delete;

  // Queues a task; false when the queue is full or the worker stops. `done` runs after it, once
  // the worker shows as idle again.
  bool Post(Task task, std::function<void()> done = nullptr);
  // Runs `task` and waits for it at most `wait_ms`: Done, Late (it still runs later) or
  // NotQueued (the queue is full or the worker stops; it never runs).
  enum class Wait { Done, Late, NotQueued };
  Wait Run(Task task, int wait_ms);

  const PrinterSettings& settings() const { return settings_; }
  std::size_t waiting();
  bool busy();
  PrinterView View();

  // Set by jobs on the worker thread.
  void SetOffline(bool offline);
  void SetAttention(bool attention);
  void SetLastStatus(Json status);

 private:
  void Loop();

  PrinterSettings settings_;
  std::unique_ptr<TTECRFiscImpl> object_;
  PrinterSession session_;
  std::size_t queue_limit_;
  std::mutex mutex_;
  std::condition_variable wake_;
  struct Queued {
    Task task;
    std::function<void()> done;
  };
  std::deque<Queued> queue_;
  bool running_ = false;
  bool stop_ = false;
  bool offline_ = false;
  bool attention_ = false;
  Json last_status_;
  std::thread thread_;
};

}  // namespace molvex::service
