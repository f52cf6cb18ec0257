// The print service's libraries as the Windows build links them (cpp-httplib and SQLite built
// from Debian's source packages by scripts/windows-libs.sh), run under Wine: a journal in WAL
// mode with full synchronous commits, and one loopback exchange in which the server keeps the
// posted body in that journal and the client reads it back by the number it was given.
// Usage: service_libs DIR   (DIR\journal.db is made anew)
#include <httplib.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/wine/check.h"

namespace {

// One text value of a query, or "" when the query gives no row or fails.
std::string QueryText(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  std::string text;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    const unsigned char* value = sqlite3_column_text(stmt, 0);
    if (value != nullptr) text = reinterpret_cast<const char*>(value);
  }
  sqlite3_finalize(stmt);
  return text;
}

bool Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The body a job row holds, or "" when there is none.
std::string StoredBody(sqlite3* db, long long id) {
  sqlite3_stmt* stmt = nullptr;
  std::string body;
  if (sqlite3_prepare_v2(db, "SELECT body FROM jobs WHERE id = ?", -1, &stmt, nullptr) ==
          SQLITE_OK &&
      sqlite3_bind_int64(stmt, 1, id) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
    body.assign(static_cast<const char*>(sqlite3_column_blob(stmt, 0)),
                static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0)));
  }
  sqlite3_finalize(stmt);
  return body;
}

long long StoreBody(sqlite3* db, const std::string& body) {
  sqlite3_stmt* stmt = nullptr;
  long long id = 0;
  if (sqlite3_prepare_v2(db, "INSERT INTO jobs(body) VALUES (?)", -1, &stmt, nullptr) ==
          SQLITE_OK &&
      sqlite3_bind_blob(stmt, 1, body.data(), static_cast<int>(body.size()), SQLITE_TRANSIENT) ==
          SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_DONE) {
    id = sqlite3_last_insert_rowid(db);
  }
  sqlite3_finalize(stmt);
  return id;
}

int Run(int argc, char** argv) {
  using namespace std::string_literals;
  CheckCount check;
  if (argc != 2) {
    std::printf("usage: service_libs DIR\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  const std::filesystem::path file = dir / "journal.db";
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm"}) {
    std::filesystem::remove(file.string() + suffix, ignored);
  }

  std::printf("SQLite %s, cpp-httplib %s\n", sqlite3_libversion(), CPPHTTPLIB_VERSION);
  sqlite3* db = nullptr;
  check.Expect(sqlite3_threadsafe() != 0, "SQLite built thread-safe");
  const bool opened =
      sqlite3_open_v2(file.string().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                      nullptr) == SQLITE_OK;
  check.Expect(opened, "the journal opens");
  if (!opened) {
    sqlite3_close(db);
    return check.Finish();
  }
  check.Expect(QueryText(db, "PRAGMA journal_mode=WAL") == "wal", "journal_mode=WAL gives wal");
  check.Expect(Exec(db, "PRAGMA synchronous=FULL") && QueryText(db, "PRAGMA synchronous") == "2",
               "synchronous=FULL reads back as 2");
  check.Expect(Exec(db, "CREATE TABLE jobs(id INTEGER PRIMARY KEY, body BLOB NOT NULL)"),
               "CREATE TABLE");
  const std::string first = "{\"kind\":\"sale\"}";
  check.Expect(StoreBody(db, first) == 1, "a first row written");
  check.Expect(std::filesystem::exists(file.string() + "-wal"),
               "the write-ahead log beside the journal while it is open");

  // The server keeps each posted body and answers with its number; a GET reads it back.
  httplib::Server server;
  server.Post("/jobs", [&](const httplib::Request& req, httplib::Response& res) {
    const long long id = StoreBody(db, req.body);
    if (id == 0) {
      res.status = 500;
      return;
    }
    res.status = 201;
    res.set_content(std::to_string(id), "text/plain");
  });
  server.Get(R"(/jobs/(\d+))", [&](const httplib::Request& req, httplib::Response& res) {
    const std::string body = StoredBody(db, std::stoll(req.matches[1].str()));
    if (body.empty()) {
      res.status = 404;
      return;
    }
    res.set_content(body, "application/json");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  check.Expect(port > 0, "the server binds a port on 127.0.0.1");
  std::thread serving;
  if (port > 0) {
    serving = std::thread([&server] { server.listen_after_bind(); });
    for (int i = 0; i < 500 && !server.is_running(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    check.Expect(server.is_running(), "the server runs within 5 s");

    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(5);
    client.set_read_timeout(5);
    client.set_write_timeout(5);
    // Bytes a text conversion would change on the way: a NUL, CR LF and UTF-8.
    const std::string posted = "{\"line\":\"\xd0\xa7\xd0\xb0\xd0\xb9\"}\r\n\0end"s;
    const httplib::Result created = client.Post("/jobs", posted, "application/json");
    check.Expect(created && created->status == 201 && created->body == "2",
                 "POST /jobs answers 201 with the row's number 2");
    const httplib::Result read = client.Get("/jobs/2");
    check.Expect(read && read->status == 200 && read->body == posted,
                 "GET /jobs/2 gives the posted body byte for byte");
    const httplib::Result missing = client.Get("/jobs/99");
    check.Expect(missing && missing->status == 404, "GET /jobs/99 answers 404");
    server.stop();
    serving.join();
    check.Expect(StoredBody(db, 2) == posted, "the posted body is in the journal");
  }
  check.Expect(sqlite3_close(db) == SQLITE_OK, "the journal closes");

  // A new connection reads both rows: what the commits wrote outlives the connection.
  sqlite3* again = nullptr;
  const bool reopened =
      sqlite3_open_v2(file.string().c_str(), &again, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
  check.Expect(reopened && StoredBody(again, 1) == first &&
                   QueryText(again, "SELECT count(*) FROM jobs") == (port > 0 ? "2" : "1") &&
                   QueryText(again, "PRAGMA journal_mode") == "wal",
               "reopened: the rows are there, the journal stays in WAL mode");
  sqlite3_close(again);
  return check.Finish();
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::printf("FAIL: %s\n0 passed, 1 failed\n", e.what());
  }
  return 1;
}
