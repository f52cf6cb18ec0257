// Two printers driven at the same time from two threads, each object on its own context (link,
// state, settings) against its own virtual printer: each roll holds exactly its own sale, each
// object reads back its own receipt, and the process's context is never touched.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "object/TECRFiscImpl.h"
#include "object/local_object.h"
#include "object/printer_context.h"
#include "platform/clock.h"
#include "sim/wire/in_process_port.h"
#include "trace/protocol_trace.h"

namespace molvex::testing {
namespace {

// One printer with its own clock, virtual printer, context and object. An article is keyed into
// the printer first, as on the device itself.
struct Printer {
  Printer(int number, const char* price, const char* article_name)
      : article(number), name(article_name) {
    const sim::Reply r = port.device().Execute(sim::Request{
        0, 107, "P\xC0" + std::to_string(number) + ",1," + price + ",," + article_name});
    EXPECT_EQ(r.data, "P") << article_name;
    context.link.SetPortFactory(&port);
    context.link.SetClock(&clock);
  }

  FakeClock clock;
  sim::InProcessPort port{clock, sim::PrinterOptions{0.0, 0}};
  PrinterContext context;
  LocalObject object{context};
  int article;
  std::string name;

  // What the sale's thread saw.
  int opened = 0;
  std::string failed;        // the calls that did not pass
  std::vector<double> sums;  // the receipt's sum after each sale, as the object read it
  int receipt_number = -1;
};

// Opens the port, sells `sales` times one of the printer's article, reads the sum back after
// each, pays in cash and closes the receipt. Every call must pass.
void Sell(Printer& p, int sales) {
  if (p.object.SetComPort(1, 115200, &p.opened) != S_OK) p.failed += "SetComPort ";
  VARIANT_BOOL ok = VARIANT_FALSE;
  const auto passed = [&p, &ok](const char* call, HRESULT hr) {
    if (hr != S_OK || ok != VARIANT_TRUE) p.failed += std::string(call) + " ";
    ok = VARIANT_FALSE;
  };
  BSTR password = SysAllocStringLen(nullptr, 0);
  passed("OpenFiscReceipt", p.object.OpenFiscReceipt(1, 1, password, &ok));
  SysFreeString(password);
  for (int i = 0; i < sales; ++i) {
    passed("SellArtCash", p.object.SellArtCash(VARIANT_TRUE, p.article, 1, 0, 0, &ok));
    double sum = -1;
    if (p.object.GetReceiptSum(&sum) != S_OK) p.failed += "GetReceiptSum ";
    p.sums.push_back(sum);
  }
  passed("Payment", p.object.Payment(0, 0, &ok));
  passed("CloseFiscReceipt", p.object.CloseFiscReceipt(&ok));
  if (p.object.get_NumbRec(&p.receipt_number) != S_OK) p.failed += "NumbRec ";
}

class TwoPrintersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("molvex-two-printers-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    ::setenv("MOLVEXECR_DIR", dir.c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::filesystem::path dir;
};

// Runs both printers' sales at the same time, one thread each.
void SellAtTheSameTime(Printer& a, Printer& b, int sales) {
  std::atomic<bool> go{false};
  const auto run = [&go, sales](Printer& p) {
    while (!go) std::this_thread::yield();
    Sell(p, sales);
  };
  std::thread first(run, std::ref(a));
  std::thread second(run, std::ref(b));
  go = true;
  first.join();
  second.join();
}

TEST_F(TwoPrintersTest, TwoSalesAtTheSameTimeEachOnItsOwnPrinter) {
  constexpr int kSales = 40;
  Printer bread(1, "12.50", "BREAD");
  Printer milk(2, "30.00", "MILK");
  const int process_port = PrinterContext::Process().state.PortNumber;

  SellAtTheSameTime(bread, milk, kSales);

  struct Expected {
    Printer& printer;
    std::int64_t unit;  // hundredths
    const char* other_name;
  };
  for (const Expected& e : {Expected{bread, 1250, "MILK"}, Expected{milk, 3000, "BREAD"}}) {
    Printer& p = e.printer;
    SCOPED_TRACE(p.name);
    EXPECT_EQ(p.opened, 100) << "port opened, no settings file";
    EXPECT_EQ(p.failed, "");
    // The object read its own receipt after every sale: n units of its own article.
    ASSERT_EQ(p.sums.size(), static_cast<std::size_t>(kSales));
    for (int i = 0; i < kSales; ++i) {
      EXPECT_DOUBLE_EQ(p.sums[static_cast<std::size_t>(i)], (i + 1) * e.unit / 100.0) << i;
    }
    EXPECT_EQ(p.receipt_number, 1);
    // The printer holds exactly its own sale: one document, its article only, paid in cash.
    const sim::Device& device = p.port.device();
    ASSERT_EQ(device.journal().size(), 1u);
    const std::string& paper = device.journal().begin()->second;
    EXPECT_NE(paper.find(p.name), std::string::npos) << paper;
    EXPECT_EQ(paper.find(e.other_name), std::string::npos) << paper;
    EXPECT_EQ(device.state().day.payments[0], kSales * e.unit);
    EXPECT_EQ(device.receipt().kind, sim::ReceiptKind::None);
    // And its object's state is its own: the last reply was its own receipt number's.
    EXPECT_TRUE(p.context.state.PortOpen);
    EXPECT_EQ(p.context.state.CallStatus, 0);
    EXPECT_EQ(p.context.state.LastResult.Command, kCmdLastReceiptNumber);
  }
  EXPECT_EQ(PrinterContext::Process().state.PortNumber, process_port)
      << "the process's context is not touched";
}

// With the trace on, each thread's entries make blocks of their own: every sale's block holds
// the sale command of its own article only, and no block is lost or cut.
TEST_F(TwoPrintersTest, TracedEntriesOfTwoThreadsKeepTheirBlocksApart) {
  constexpr int kSales = 200;
  Printer a(1, "1.00", "A");
  Printer b(2, "2.00", "B");
  const std::filesystem::path file = dir / "trace.log";
  TraceStart(file.string(), 0, TraceOrigin::Explicit);
  SellAtTheSameTime(a, b, kSales);
  TraceStop();
  ASSERT_EQ(a.failed + b.failed, "");

  std::ifstream in(file);
  std::vector<std::string> blocks;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != ' ') blocks.emplace_back();  // an entry's first line
    ASSERT_FALSE(blocks.empty()) << line;
    blocks.back() += line + "\n";
  }
  int sales[2] = {0, 0};
  for (const std::string& block : blocks) {
    if (block.find("SellArtCash(") == std::string::npos) continue;
    const bool first = block.find("NumArt=1,") != std::string::npos;
    EXPECT_NE(first, block.find("NumArt=2,") != std::string::npos) << block;
    // The entry's pre-read and its sale, each with its reply, and its results.
    EXPECT_NE(block.find(first ? "\"1*1.000\"" : "\"2*1.000\""), std::string::npos) << block;
    EXPECT_EQ(block.find(first ? "\"2*1.000\"" : "\"1*1.000\""), std::string::npos) << block;
    std::size_t replies = 0;
    for (std::size_t at = block.find("reply after"); at != std::string::npos;
         at = block.find("reply after", at + 1)) {
      ++replies;
    }
    EXPECT_EQ(replies, 2u) << block;
    EXPECT_NE(block.find("  = Result=true"), std::string::npos) << block;
    ++sales[first ? 0 : 1];
  }
  EXPECT_EQ(sales[0], kSales);
  EXPECT_EQ(sales[1], kSales);
}

// A context's SetComPort and CloseComPort act on its own link only: the process's link and
// another context's port stay as they are.
TEST_F(TwoPrintersTest, ClosingOneContextsPortLeavesTheOthersOpen) {
  Printer a(1, "1.00", "A");
  Printer b(2, "2.00", "B");
  int result = 0;
  ASSERT_EQ(a.object.SetComPort(1, 115200, &result), S_OK);
  ASSERT_EQ(result, 100);
  ASSERT_EQ(b.object.SetComPort(1, 115200, &result), S_OK);
  ASSERT_EQ(result, 100);
  ASSERT_TRUE(a.port.is_open());
  ASSERT_TRUE(b.port.is_open());

  ASSERT_EQ(a.object.CloseComPort(1, &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_FALSE(a.port.is_open());
  EXPECT_TRUE(b.port.is_open());
  VARIANT_BOOL present = VARIANT_FALSE;
  ASSERT_EQ(b.object.IsPresent(&present), S_OK);
  EXPECT_EQ(present, VARIANT_TRUE);
  ASSERT_EQ(a.object.IsPresent(&present), S_OK);
  EXPECT_EQ(present, VARIANT_FALSE);
}

}  // namespace
}  // namespace molvex::testing
