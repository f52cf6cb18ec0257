#include "service/printer_worker.h"

#include <chrono>

#include "platform/text_codec.h"

namespace molvex::service {
namespace {

// A BSTR from UTF-8 for the duration of a call.
class Text {
 public:
  explicit Text(const std::string& utf8) {
    const auto wide = Utf8ToWide(utf8);
    p_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  ~Text() { SysFreeString(p_); }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  BSTR get() const { return p_; }

 private:
  BSTR p_ = nullptr;
};

bool True(VARIANT_BOOL v) {
  return v == VARIANT_TRUE;
}

}  // namespace

Json CallOutcome::ToJson() const {
  return Json{{"GetError", error},
              {"StatusBytes", status_bytes},
              {"Status", {status[0], status[1], status[2], status[3], status[4], status[5]}},
              {"TimeOutFP", timed_out}};
}

bool PrinterSession::EnsureOpen() {
  if (open_) return true;
  int result = -1;
  object_.SetComPort(settings_.port, settings_.speed, &result);
  open_ = result != -1;
  return open_;
}

CallOutcome PrinterSession::Outcome() {
  CallOutcome o;
  object_.GetError(&o.error);
  object_.get_StatusBytes(&o.status_bytes);
  char bytes[6] = {};
  object_.get_Status0(&bytes[0]);
  object_.get_Status1(&bytes[1]);
  object_.get_Status2(&bytes[2]);
  object_.get_Status3(&bytes[3]);
  object_.get_Status4(&bytes[4]);
  object_.get_Status5(&bytes[5]);
  for (int i = 0; i < 6; ++i) o.status[i] = static_cast<unsigned char>(bytes[i]);
  VARIANT_BOOL timed_out = VARIANT_FALSE;
  object_.get_TimeOutFP(&timed_out);
  o.timed_out = True(timed_out);
  return o;
}

bool PrinterSession::Present() {
  VARIANT_BOOL r = VARIANT_FALSE;
  object_.IsPresent(&r);
  return True(r);
}

bool PrinterSession::OpenReceipt(bool refund, int operator_number, int till) {
  const Text password(settings_.operator_password);
  VARIANT_BOOL r = VARIANT_FALSE;
  if (refund) {
    object_.OpenRefundReceipt(operator_number, till, password.get(), &r);
  } else {
    object_.OpenFiscReceipt(operator_number, till, password.get(), &r);
  }
  return True(r);
}

bool PrinterSession::SellArticle(std::int32_t article, double quantity, double percent,
                                 double amount) {
  VARIANT_BOOL r = VARIANT_FALSE;
  object_.SellArtCash(VARIANT_TRUE, article, quantity, percent, amount, &r);
  return True(r);
}

std::int32_t PrinterSession::SellByName(const std::string& name, double price, double quantity,
                                        int tax, int group, double percent, double amount) {
  const Text n(name);
  const Text password(settings_.admin_password);
  LONG r = 0;
  const HRESULT hr = object_.SellArticul(n.get(), price, quantity, static_cast<unsigned char>(tax),
                                         group, password.get(), percent, amount, &r);
  return hr == S_OK ? r : 0;
}

bool PrinterSession::PrintText(const std::string& text) {
  const Text t(text);
  VARIANT_BOOL r = VARIANT_FALSE;
  object_.StrPrntCash(t.get(), &r);
  return True(r);
}

std::int32_t PrinterSession::Barcode(int type, const std::string& data) {
  const Text d(data);
  LONG r = 0;
  object_.MakeBarcode(type, d.get(), &r);
  return r;
}

bool PrinterSession::Subtotal(double percent, double amount) {
  VARIANT_BOOL r = VARIANT_FALSE;
  object_.SubTotalDS(VARIANT_TRUE, VARIANT_FALSE, percent, amount, &r);
  return True(r);
}

bool PrinterSession::Pay(int type, double amount, const std::string& code) {
  VARIANT_BOOL r = VARIANT_FALSE;
  if (code.empty()) {
    object_.Payment(amount, type, &r);
  } else {
    const Text c(code);
    object_.NewPayment(VARIANT_TRUE, amount, type, c.get(), &r);
  }
  return True(r);
}

bool PrinterSession::CloseReceipt() {
  VARIANT_BOOL r = VARIANT_FALSE;
  object_.CloseFiscReceipt(&r);
  return True(r);
}

bool PrinterSession::CancelReceipt() {
  VARIANT_BOOL r = VARIANT_FALSE;
  object_.ReceiptCancel(&r);
  return True(r);
}

int PrinterSession::LastReceiptNumber() {
  int n = -1;
  object_.get_NumbRec(&n);
  return n;
}

LONG PrinterSession::OpenKind() {
  LONG kind = -1;
  object_.get_Receipt(&kind);
  return kind;
}

double PrinterSession::Sum() {
  double v = -1;
  object_.GetReceiptSum(&v);
  return v;
}

double PrinterSession::Paid() {
  double v = -1;
  object_.GetReceiptPay(&v);
  return v;
}

bool PrinterSession::OpenNonFiscal() {
  VARIANT_BOOL r = VARIANT_FALSE;
  object_.OpenNonFiscReceipt(&r);
  return True(r);
}

bool PrinterSession::PrintNonFiscal(const std::string& text) {
  const Text t(text);
  VARIANT_BOOL r = VARIANT_FALSE;
  object_.PrntNonFiscal(t.get(), &r);
  return True(r);
}

bool PrinterSession::CloseNonFiscal() {
  VARIANT_BOOL r = VARIANT_FALSE;
  object_.CloseNonFiscReceipt(&r);
  return True(r);
}

std::string PrinterSession::Clock() {
  BSTR value = nullptr;
  object_.get_DateTime(&value);
  std::string text = value == nullptr ? std::string() : WideToUtf8(value, SysStringLen(value));
  SysFreeString(value);
  return text;
}

HRESULT PrinterSession::WriteClock(const std::string& date, const std::string& time, LONG& result) {
  const Text d(date);
  const Text t(time);
  return object_.WriteDateTime(d.get(), t.get(), &result);
}

PrinterWorker::PrinterWorker(PrinterSettings settings, std::unique_ptr<TTECRFiscImpl> object,
                             std::size_t queue_limit)
    : settings_(std::move(settings)),
      object_(std::move(object)),
      session_(*object_, settings_),
      queue_limit_(queue_limit),
      thread_([this] { Loop(); }) {}

PrinterWorker::~PrinterWorker() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

bool PrinterWorker::Post(Task task, std::function<void()> done) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stop_ || queue_.size() >= queue_limit_) return false;
    queue_.push_back(Queued{std::move(task), std::move(done)});
  }
  wake_.notify_all();
  return true;
}

PrinterWorker::Wait PrinterWorker::Run(Task task, int wait_ms) {
  struct Done {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
  };
  auto done = std::make_shared<Done>();
  const bool queued = Post(std::move(task), [done] {
    {
      std::lock_guard<std::mutex> lock(done->mutex);
      done->done = true;
    }
    done->cv.notify_all();
  });
  if (!queued) return Wait::NotQueued;
  std::unique_lock<std::mutex> lock(done->mutex);
  return done->cv.wait_for(lock, std::chrono::milliseconds(wait_ms), [&] { return done->done; })
             ? Wait::Done
             : Wait::Late;
}

std::size_t PrinterWorker::waiting() {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

bool PrinterWorker::busy() {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_;
}

PrinterView PrinterWorker::View() {
  std::lock_guard<std::mutex> lock(mutex_);
  PrinterView view;
  view.queue = queue_.size();
  view.last = last_status_;
  view.state = offline_                      ? "offline"
               : attention_                  ? "needs attention"
               : running_ || !queue_.empty() ? "busy"
                                             : "ready";
  return view;
}

void PrinterWorker::SetOffline(bool offline) {
  std::lock_guard<std::mutex> lock(mutex_);
  offline_ = offline;
}

void PrinterWorker::SetAttention(bool attention) {
  std::lock_guard<std::mutex> lock(mutex_);
  attention_ = attention;
}

void PrinterWorker::SetLastStatus(Json status) {
  std::lock_guard<std::mutex> lock(mutex_);
  last_status_ = std::move(status);
}

void PrinterWorker::Loop() {
  for (;;) {
    Queued next;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
      if (queue_.empty()) return;  // stopping, nothing left
      next = std::move(queue_.front());
      queue_.pop_front();
      running_ = true;
    }
    try {
      next.task(session_);
    } catch (...) {
      // A task reports its own failures; nothing may end the worker.
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      running_ = false;
    }
    if (next.done) next.done();
  }
}

}  // namespace molvex::service
