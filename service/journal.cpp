#include "service/journal.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <stdexcept>

namespace molvex::service {
namespace {

// A prepared statement, finalized when it goes.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string("journal: ") + sqlite3_errmsg(db));
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, const std::string& text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
  }
  // True while a row is there.
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) throw std::runtime_error(std::string("journal: ") + sqlite3_errmsg(db_));
    return false;
  }
  std::string Text(int column) const {
    const auto* p = sqlite3_column_text(stmt_, column);
    return p == nullptr
               ? std::string()
               : std::string(reinterpret_cast<const char*>(p),
                             static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
  }
  std::int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

constexpr const char* kJobColumns =
    "seq, key, printer, kind, body_hash, request, state, http_status, result, created, updated";

JobRecord ReadJob(const Statement& s) {
  JobRecord j;
  j.seq = s.Int(0);
  j.key = s.Text(1);
  j.printer = s.Text(2);
  j.kind = s.Text(3);
  j.body_hash = s.Text(4);
  j.request = s.Text(5);
  j.state = s.Text(6);
  j.http_status = static_cast<int>(s.Int(7));
  j.result = s.Text(8);
  j.created = s.Text(9);
  j.updated = s.Text(10);
  return j;
}

void InsertStep(sqlite3* db, const std::string& key, const StepRecord& step) {
  Statement s(db,
              "INSERT OR REPLACE INTO steps (key, number, name, phase, detail, at)"
              " VALUES (?, ?, ?, ?, ?, ?)");
  s.Bind(1, key).Bind(2, static_cast<std::int64_t>(step.number)).Bind(3, step.name);
  s.Bind(4, step.phase).Bind(5, step.detail).Bind(6, step.at.empty() ? Journal::Now() : step.at);
  s.Step();
}

}  // namespace

std::string BodyHash(const std::string& canonical) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : canonical) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  char out[17];
  std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h));
  return out;
}

std::string Journal::Now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &t);
#else
  gmtime_r(&t, &utc);
#endif
  char out[64];
  std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(ms.count()));
  return out;
}

Journal::Journal(const std::string& path) {
  if (sqlite3_open_v2(path.c_str(), &db_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    const std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw std::runtime_error("journal " + path + ": " + why);
  }
  sqlite3_busy_timeout(db_, 5000);
  try {
    // The write-ahead log, each commit on the disk before it returns.
    Statement wal(db_, "PRAGMA journal_mode=WAL");
    if (!wal.Step() || wal.Text(0) != "wal")
      throw std::runtime_error("journal: no write-ahead log");
    Exec("PRAGMA synchronous=FULL");
    Exec(
        "CREATE TABLE IF NOT EXISTS jobs ("
        " seq INTEGER PRIMARY KEY AUTOINCREMENT,"
        " key TEXT NOT NULL UNIQUE, printer TEXT NOT NULL, kind TEXT NOT NULL,"
        " body_hash TEXT NOT NULL, request TEXT NOT NULL, state TEXT NOT NULL,"
        " http_status INTEGER NOT NULL DEFAULT 0, result TEXT NOT NULL DEFAULT '',"
        " created TEXT NOT NULL, updated TEXT NOT NULL)");
    Exec("CREATE INDEX IF NOT EXISTS jobs_created ON jobs(created)");
    Exec("CREATE INDEX IF NOT EXISTS jobs_printer ON jobs(printer, seq)");
    Exec(
        "CREATE TABLE IF NOT EXISTS steps ("
        " key TEXT NOT NULL, number INTEGER NOT NULL, name TEXT NOT NULL,"
        " phase TEXT NOT NULL, detail TEXT NOT NULL, at TEXT NOT NULL,"
        " PRIMARY KEY (key, number, phase))");
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
  writer_ = std::thread([this] { WriteBehind(); });
}

template <class Body>
void Journal::CommitWithBehind(Body body) {
  std::vector<Behind> behind;
  {
    std::lock_guard<std::mutex> q(queue_mutex_);
    behind.swap(queue_);
  }
  try {
    Exec("BEGIN IMMEDIATE");
    try {
      for (const Behind& b : behind) InsertStep(db_, b.key, b.step);
      body();
      Exec("COMMIT");
    } catch (...) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  } catch (...) {
    std::lock_guard<std::mutex> q(queue_mutex_);
    queue_.insert(queue_.begin(), std::make_move_iterator(behind.begin()),
                  std::make_move_iterator(behind.end()));
    throw;
  }
}

Journal::~Journal() {
  {
    std::lock_guard<std::mutex> q(queue_mutex_);
    closing_ = true;
  }
  queue_changed_.notify_all();
  writer_.join();
  // The thread ends once nothing waits, or after a commit failed: one more try.
  std::size_t left = 0;
  {
    std::lock_guard<std::mutex> q(queue_mutex_);
    left = queue_.size();
  }
  if (left > 0) {
    try {
      std::lock_guard<std::mutex> lock(mutex_);
      CommitWithBehind([] {});
    } catch (const std::exception& e) {
      std::fprintf(stderr, "ecr-service: %zu steps not written to the journal: %s\n", left,
                   e.what());
    }
  }
  sqlite3_close(db_);
}

void Journal::WriteBehind() {
  std::unique_lock<std::mutex> q(queue_mutex_);
  for (;;) {
    queue_changed_.wait(q, [this] { return closing_ || !queue_.empty(); });
    if (queue_.empty()) return;
    q.unlock();
    bool failed = false;
    try {
      std::lock_guard<std::mutex> lock(mutex_);
      CommitWithBehind([] {});
    } catch (const std::exception&) {
      failed = true;  // the steps wait for the next commit, whose caller hears of the failure
    }
    q.lock();
    if (failed) {
      if (closing_) return;
      queue_changed_.wait_for(q, std::chrono::milliseconds(200), [this] { return closing_; });
    }
  }
}

void Journal::StepsBehind(const std::string& key, std::vector<StepRecord> steps) {
  {
    std::lock_guard<std::mutex> q(queue_mutex_);
    for (StepRecord& step : steps) queue_.push_back(Behind{key, std::move(step)});
  }
  queue_changed_.notify_one();
}

void Journal::Exec(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string why = message != nullptr ? message : "failed";
    sqlite3_free(message);
    throw std::runtime_error("journal: " + why);
  }
}

Journal::Admission Journal::Admit(const JobRecord& job, JobRecord& existing) {
  std::lock_guard<std::mutex> lock(mutex_);
  Exec("BEGIN IMMEDIATE");
  try {
    Statement find(db_,
                   (std::string("SELECT ") + kJobColumns + " FROM jobs WHERE key = ?").c_str());
    find.Bind(1, job.key);
    Admission admission = Admission::New;
    if (find.Step()) {
      existing = ReadJob(find);
      if (existing.body_hash != job.body_hash || existing.printer != job.printer ||
          existing.kind != job.kind) {
        admission = Admission::OtherBody;
      } else if (existing.state == "queued" || existing.state == "running") {
        admission = Admission::Running;
      } else if (existing.state == "offline") {
        admission = Admission::RunAgain;
        Statement again(db_, "UPDATE jobs SET state = 'queued', updated = ? WHERE key = ?");
        again.Bind(1, Now()).Bind(2, job.key).Step();
      } else {
        admission = Admission::Replay;
      }
    } else {
      const std::string now = Now();
      Statement insert(db_,
                       "INSERT INTO jobs (key, printer, kind, body_hash, request, state, created,"
                       " updated) VALUES (?, ?, ?, ?, ?, 'queued', ?, ?)");
      insert.Bind(1, job.key).Bind(2, job.printer).Bind(3, job.kind).Bind(4, job.body_hash);
      insert.Bind(5, job.request).Bind(6, now).Bind(7, now).Step();
    }
    Exec("COMMIT");
    return admission;
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

void Journal::SetState(const std::string& key, const std::string& state) {
  std::lock_guard<std::mutex> lock(mutex_);
  Statement s(db_, "UPDATE jobs SET state = ?, updated = ? WHERE key = ?");
  s.Bind(1, state).Bind(2, Now()).Bind(3, key).Step();
}

void Journal::Step(const std::string& key, int number, const std::string& name,
                   const std::string& phase, const std::string& detail) {
  Steps(key, {StepRecord{number, name, phase, detail, Now()}});
}

void Journal::Steps(const std::string& key, const std::vector<StepRecord>& steps) {
  std::lock_guard<std::mutex> lock(mutex_);
  CommitWithBehind([&] {
    for (const StepRecord& step : steps) InsertStep(db_, key, step);
  });
}

void Journal::Finish(const std::string& key, const std::string& state, int http_status,
                     const std::string& result, const std::vector<StepRecord>& steps) {
  std::lock_guard<std::mutex> lock(mutex_);
  CommitWithBehind([&] {
    for (const StepRecord& step : steps) InsertStep(db_, key, step);
    Statement s(
        db_, "UPDATE jobs SET state = ?, http_status = ?, result = ?, updated = ? WHERE key = ?");
    s.Bind(1, state).Bind(2, static_cast<std::int64_t>(http_status)).Bind(3, result);
    s.Bind(4, Now()).Bind(5, key).Step();
  });
}

std::optional<JobRecord> Journal::Find(const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  Statement s(db_, (std::string("SELECT ") + kJobColumns + " FROM jobs WHERE key = ?").c_str());
  s.Bind(1, key);
  if (!s.Step()) return std::nullopt;
  return ReadJob(s);
}

std::vector<StepRecord> Journal::Steps(const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  Statement s(db_,
              "SELECT number, name, phase, detail, at FROM steps WHERE key = ?"
              " ORDER BY number, phase DESC");
  s.Bind(1, key);
  std::vector<StepRecord> steps;
  while (s.Step())
    steps.push_back(
        StepRecord{static_cast<int>(s.Int(0)), s.Text(1), s.Text(2), s.Text(3), s.Text(4)});
  return steps;
}

std::vector<JobRecord> Journal::Jobs(const char* sql, const std::string& a, std::int64_t b) {
  std::lock_guard<std::mutex> lock(mutex_);
  Statement s(db_, sql);
  s.Bind(1, a).Bind(2, b);
  std::vector<JobRecord> jobs;
  while (s.Step()) jobs.push_back(ReadJob(s));
  return jobs;
}

std::vector<JobRecord> Journal::Since(const std::string& since, std::size_t limit) {
  return Jobs(
      "SELECT seq, key, printer, kind, body_hash, request, state, http_status, result,"
      " created, updated FROM jobs WHERE created >= ? ORDER BY seq LIMIT ?",
      since, static_cast<std::int64_t>(limit));
}

std::vector<JobRecord> Journal::InState(const std::string& state, std::size_t limit) {
  return Jobs(
      "SELECT seq, key, printer, kind, body_hash, request, state, http_status, result,"
      " created, updated FROM jobs WHERE state = ? ORDER BY seq LIMIT ?",
      state, static_cast<std::int64_t>(limit));
}

std::vector<JobRecord> Journal::Last(const std::string& printer, std::size_t limit) {
  return Jobs(
      "SELECT seq, key, printer, kind, body_hash, request, state, http_status, result,"
      " created, updated FROM jobs WHERE printer = ? ORDER BY seq DESC LIMIT ?",
      printer, static_cast<std::int64_t>(limit));
}

int Journal::MarkUnfinished() {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string now = Now();
  Statement queued(db_, "UPDATE jobs SET state = 'offline', updated = ? WHERE state = 'queued'");
  queued.Bind(1, now).Step();
  Statement running(db_,
                    "UPDATE jobs SET state = 'interrupted', updated = ? WHERE state = 'running'");
  running.Bind(1, now).Step();
  return sqlite3_changes(db_);
}

}  // namespace molvex::service
