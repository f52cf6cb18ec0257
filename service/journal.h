// The journal of jobs: one SQLite file (write-ahead log, every commit synchronous to the disk).
// A job is written with its idempotency key, the hash of its request, the request (passwords
// masked) and its state before anything of it goes to the printer; each step of it is written
// before it is sent and again with its outcome; the job's result is written before the client is
// answered. What a restart finds there decides what a repeated request gets.
//
// Steps are written in one of two ways. A step a restart compares with, or one that begins what
// a restart must find out about (opening and closing a receipt, a report, a cash movement), is
// committed before its bytes go to the printer (`Steps`). The steps in between (a receipt's
// lines and payments, reads) are written behind (`StepsBehind`): the journal's own thread commits
// them while the printer works, and every commit of the first kind takes the ones still waiting
// with it, so the file always holds the steps in their order, without gaps.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct sqlite3;

namespace molvex::service {

// States of a job.
//   queued       written, waiting for its printer
//   running      its first step has begun
//   done         finished as asked; the result is kept
//   refused      the printer refused it (nothing left open); the result is kept
//   offline      the printer did not answer before anything was sent; the same key runs again
//   attention    it ended without a clean answer part-way and what the printer did could not
//                be read back: the printer must be looked at
//   not printed  it ended without a clean answer, and the printer shows that nothing of it
//                stands (a retry needs a new key)
//   interrupted  the service stopped while it ran (found at start)
struct JobRecord {
  std::int64_t seq = 0;
  std::string key;
  std::string printer;
  std::string kind;
  std::string body_hash;
  std::string request;
  std::string state;
  int http_status = 0;
  std::string result;  // JSON
  std::string created;
  std::string updated;
};

struct StepRecord {
  int number = 0;
  std::string name;
  std::string phase;   // "before" or "after"
  std::string detail;  // JSON: what the printer held, or the outcome
  std::string at;
};

class Journal {
 public:
  // Opens or creates the file; throws std::runtime_error with the reason when it cannot.
  explicit Journal(const std::string& path);
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  enum class Admission { New, Replay, Running, OtherBody, RunAgain };
  // Admits a job under `key`: a new key is written as queued (New); a key that exists with the
  // same hash gives its record (Replay when finished, Running while queued or running, RunAgain
  // for an offline job, which is queued again); with another hash OtherBody.
  Admission Admit(const JobRecord& job, JobRecord& existing);

  void SetState(const std::string& key, const std::string& state);
  void Step(const std::string& key, int number, const std::string& name, const std::string& phase,
            const std::string& detail);
  // Several steps in one commit: the outcome of one step with the start of the next, which is
  // written before anything of the next goes to the printer.
  void Steps(const std::string& key, const std::vector<StepRecord>& steps);
  // Steps handed to the journal's thread, which commits them soon; returns at once. A commit
  // that fails is tried again with the next commit of `Steps` or `Finish`, which then throws.
  void StepsBehind(const std::string& key, std::vector<StepRecord> steps);
  // The job's end, with the steps not written yet, in one commit.
  void Finish(const std::string& key, const std::string& state, int http_status,
              const std::string& result, const std::vector<StepRecord>& steps = {});

  std::optional<JobRecord> Find(const std::string& key);
  std::vector<StepRecord> Steps(const std::string& key);
  // Jobs created at or after `since` (RFC 3339 UTC text), oldest first, at most `limit`.
  std::vector<JobRecord> Since(const std::string& since, std::size_t limit);
  // Jobs in `state`, oldest first, at most `limit`.
  std::vector<JobRecord> InState(const std::string& state, std::size_t limit);
  // The last jobs of a printer, newest first.
  std::vector<JobRecord> Last(const std::string& printer, std::size_t limit);

  // At start: jobs still queued become offline (nothing of them was sent), running ones
  // interrupted. Returns how many were interrupted.
  int MarkUnfinished();

  // The current time as the journal writes it: "2026-12-11T06:31:02.125Z".
  static std::string Now();

 private:
  struct Behind {
    std::string key;
    StepRecord step;
  };
  void Exec(const char* sql);
  std::vector<JobRecord> Jobs(const char* sql, const std::string& a, std::int64_t b);
  // One transaction with the steps still waiting first, then `body`; the caller holds
  // `mutex_`. When it fails, the waiting steps go back to the front of the queue.
  template <class Body>
  void CommitWithBehind(Body body);
  void WriteBehind();  // the journal's thread

  sqlite3* db_ = nullptr;
  std::mutex mutex_;  // the connection
  std::mutex queue_mutex_;
  std::condition_variable queue_changed_;
  std::vector<Behind> queue_;
  bool closing_ = false;
  std::thread writer_;
};

// FNV-1a, 64 bits, as 16 hexadecimal digits: tells requests under one key apart.
std::string BodyHash(const std::string& canonical);

}  // namespace molvex::service
