// The frame every printer entry shares: port test, pre-read, outcome capture, the failure mask,
// the error codes, the link's own failures, and exceptions turned into error information.
#include <fstream>
#include <functional>
#include <stdexcept>

#include "object/object_ids.h"
#include "tests/object/object_fixture.h"

namespace molvex::testing {
namespace {

// Status bytes as the printer sends them: top bit set.
Status Wire(Status s) {
  for (auto& b : s) b |= 0x80;
  return s;
}

// Each printer entry of this group, called once; returns its functional result as a number.
struct Entry {
  const char* name;
  std::function<long(TTECRFiscImpl&)> call;
  long refused;
};

std::vector<Entry> PrinterEntries() {
  return {
      {"ClearRegDisplay",
       [](TTECRFiscImpl& o) {
         VARIANT_BOOL r = 1;
         o.ClearRegDisplay(&r);
         return long{r};
       },
       0},
      {"DisplayUP",
       [](TTECRFiscImpl& o) {
         Bstr t("x");
         VARIANT_BOOL r = 1;
         o.DisplayUP(t.get(), &r);
         return long{r};
       },
       0},
      {"DisplayDown",
       [](TTECRFiscImpl& o) {
         Bstr t("x");
         VARIANT_BOOL r = 1;
         o.DisplayDown(t.get(), &r);
         return long{r};
       },
       0},
      {"OpenDrawer",
       [](TTECRFiscImpl& o) {
         VARIANT_BOOL r = 1;
         o.OpenDrawer(5, &r);
         return long{r};
       },
       0},
      {"ReceiptCut",
       [](TTECRFiscImpl& o) {
         LONG r = 9;
         o.ReceiptCut(&r);
         return long{r};
       },
       0},
      {"DispDayTime",
       [](TTECRFiscImpl& o) {
         LONG r = 9;
         o.DispDayTime(&r);
         return long{r};
       },
       0},
      {"WriteDateTime",
       [](TTECRFiscImpl& o) {
         Bstr d("01-02-15"), t("10:20:30");
         LONG r = 9;
         o.WriteDateTime(d.get(), t.get(), &r);
         return long{r};
       },
       -1},
      {"DateTime",
       [](TTECRFiscImpl& o) {
         Bstr v;
         o.get_DateTime(v.out());
         return long(v.utf8().size());
       },
       0},
      {"GetSerNumber",
       [](TTECRFiscImpl& o) {
         Bstr n;
         LONG r = 9;
         o.GetSerNumber(n.out(), &r);
         return long{r};
       },
       0},
      {"IsPresent",
       [](TTECRFiscImpl& o) {
         VARIANT_BOOL r = 1;
         o.IsPresent(&r);
         return long{r};
       },
       0},
      {"GetStatusFP",
       [](TTECRFiscImpl& o) {
         VARIANT_BOOL r = 1;
         o.GetStatusFP(VARIANT_FALSE, &r);
         return long{r};
       },
       0},
  };
}

TEST_F(ObjectTest, EveryPrinterEntryRefusesBeforeAPortIsOpen) {
  for (const Entry& e : PrinterEntries()) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(e.call(obj), e.refused);
    EXPECT_EQ(CallStatus(), -1);
    EXPECT_EQ(Error(), 1);
  }
  EXPECT_TRUE(port.requests().empty());
}

TEST_F(ObjectTest, EveryPrinterEntryRefusesAfterTheLinkRefusesItsText) {
  // A text longer than a request frame holds: the link sends nothing and never calls back.
  Open();
  const std::string huge(100000, 'A');
  Bstr text(huge);
  VARIANT_BOOL ok = 1;
  ASSERT_EQ(obj.DisplayUP(text.get(), &ok), S_OK);
  EXPECT_EQ(ok, VARIANT_FALSE);
  EXPECT_EQ(CallStatus(), -1);
  EXPECT_EQ(Error(), 1);
  ASSERT_EQ(obj.DisplayDown(text.get(), &ok), S_OK);
  EXPECT_EQ(ok, VARIANT_FALSE);
  Bstr date("01-02-15"), time("10:20:30");
  LONG r = 9;
  ASSERT_EQ(obj.WriteDateTime(text.get(), time.get(), &r), S_OK);
  EXPECT_EQ(r, -1);
  ASSERT_EQ(obj.WriteDateTime(date.get(), text.get(), &r), S_OK);
  EXPECT_EQ(r, -1);
  EXPECT_EQ(CallStatus(), -1);
  // Only the pre-reads went out.
  EXPECT_EQ(Commands(), (std::vector<int>{74, 74, 74, 74}));
  // The link is still usable.
  ASSERT_EQ(obj.IsPresent(&ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
}

TEST_F(ObjectTest, APrinterEntrySendsThePreReadThenItsCommand) {
  Open();
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(obj.ClearRegDisplay(&ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
  ASSERT_EQ(port.requests().size(), 2u);
  EXPECT_EQ(port.requests()[0].command, 74);
  EXPECT_EQ(port.requests()[0].data, "W");
  EXPECT_EQ(port.requests()[1].command, 33);
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_EQ(Error(), 0);
}

// The error word's bits, set through the status bytes of the deciding reply: which ones fail
// the entry, and the code GetError gives for them.
TEST_F(ObjectTest, StatusBitsDecideSuccessAndErrorCode) {
  struct Case {
    const char* what;
    Status status;
    bool fails;
    LONG code;
  };
  const Case cases[] = {
      {"bit 0", {0x01, 0, 0, 0, 0, 0}, true, 2},
      {"bit 1", {0x02, 0, 0, 0, 0, 0}, true, 3},
      {"bit 2", {0x04, 0, 0, 0, 0, 0}, true, 4},
      {"bit 3", {0x10, 0, 0, 0, 0, 0}, true, 5},
      {"bit 4", {0, 0x01, 0, 0, 0, 0}, true, 6},
      {"bit 5", {0, 0x02, 0, 0, 0, 0}, true, 7},
      {"bit 6", {0, 0x04, 0, 0, 0, 0}, true, 8},
      {"bit 7 only", {0, 0x08, 0, 0, 0, 0}, false, 0},
      {"bit 8", {0, 0x10, 0, 0, 0, 0}, true, 10},
      {"bit 9", {0, 0, 0x01, 0, 0, 0}, true, 11},
      {"bit 10", {0, 0, 0x08, 0, 0, 0}, false, 0},
      {"bit 11", {0, 0, 0x20, 0, 0, 0}, false, 0},
      {"bit 12", {0, 0x20, 0, 0, 0, 0}, false, 0},
      {"bit 13", {0, 0, 0, 0, 0x04, 0}, true, 12},
      {"bit 14", {0, 0, 0, 0, 0, 0x20}, false, 0},
      {"bit 16", {0, 0, 0, 0, 0x01, 0}, true, 14},
      {"bit 17", {0, 0, 0, 0, 0x10, 0}, true, 15},
      {"bit 18", {0, 0, 0, 0, 0, 0x01}, true, 16},
      {"bit 19 only: fails without a code", {0, 0, 0, 0, 0, 0x04}, true, 0},
      {"bits 20 to 23", {0, 0, 0, 0, 0x08, 0x02 | 0x08 | 0x10}, false, 0},
      {"bit 27", {0x20, 0, 0, 0, 0, 0}, true, 20},
      {"bit 28", {0, 0, 0, 0, 0x20, 0}, true, 20},
      {"bits 0 and 18: the lower bit's code", {0x01, 0, 0, 0, 0, 0x01}, true, 2},
      {"bits 7 and 17", {0, 0x08, 0, 0, 0x10, 0}, true, 15},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ArmStatus(33, Wire(c.status));
    VARIANT_BOOL ok = 7;
    ASSERT_EQ(obj.ClearRegDisplay(&ok), S_OK);
    EXPECT_EQ(ok, c.fails ? VARIANT_FALSE : VARIANT_TRUE);
    EXPECT_EQ(CallStatus(), c.fails ? -2 : 0);
    EXPECT_EQ(Error(), c.code);
    // The saved status bytes are the reply's, top bits cleared; with status the failure is no
    // time-out.
    const auto saved = SavedStatus();
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(saved[i], c.status[i]) << i;
    EXPECT_FALSE(TimedOut());
  }
}

TEST_F(ObjectTest, LinkFailuresGiveTheirCodes) {
  struct Case {
    const char* what;
    sim::Fault fault;
    int requests;  // the pre-read and the command; a silent pre-read is the last request
    LONG code;
    bool timed_out;  // no status bytes arrived
  };
  const Case cases[] = {{"silence", sim::Fault::Silence, 1, 19, true},
                        {"NAK", sim::Fault::Nak, 2, 18, true},
                        // The frame arrived whole but for its check digits: its status bytes
                        // were received, so this is no time-out.
                        {"check mismatch", sim::Fault::BadCheck, 2, 17, false}};
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    port.printer().ClearRequests();
    port.printer().Arm(c.fault, c.requests);
    VARIANT_BOOL ok = 7;
    ASSERT_EQ(obj.ClearRegDisplay(&ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(CallStatus(), -2);
    EXPECT_EQ(Error(), c.code);
    EXPECT_EQ(TimedOut(), c.timed_out);
    EXPECT_EQ(SavedStatus() == (std::array<int, 6>{}), c.timed_out);
    EXPECT_EQ(port.requests().size(), static_cast<std::size_t>(c.requests));
    EXPECT_EQ(port.printer().armed(), 0u);
  }
  // A success afterwards clears the time-out.
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(obj.ClearRegDisplay(&ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
  EXPECT_FALSE(TimedOut());
}

TEST_F(ObjectTest, AFailedPreReadDoesNotDecideTheOutcome) {
  Open();
  port.printer().Arm(sim::Fault::Nak, 1);
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(obj.ClearRegDisplay(&ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_EQ(Error(), 0);
}

// A pre-read without any reply ends the entry at once as unanswered: one wait, and nothing sent
// that could print. Streams that make no frame end like silence; SYN only up to the busy limit.
TEST_F(ObjectTest, APreReadWithoutReplyEndsTheCallWithNothingMoreSent) {
  const struct {
    const char* what;
    sim::Fault fault;
    LONG code;
    std::int64_t waits_ms;  // on the fake clock, within a second
  } cases[] = {
      {"silence", sim::Fault::Silence, 19, 5000},
      {"a scale's text without end", sim::Fault::Garbage, 19, 5000},
      {"SYN without end", sim::Fault::SynForever, 21, 120000},
  };
  Open();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    port.printer().ClearFaults();
    port.printer().ClearRequests();
    port.printer().Arm(c.fault);
    const std::int64_t before = clock.MonotonicMs();
    Bstr text("1");
    VARIANT_BOOL ok = 7;
    ASSERT_EQ(obj.DisplayUP(text.get(), &ok), S_OK);
    const std::int64_t waited = clock.MonotonicMs() - before;
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(CallStatus(), -2);
    EXPECT_EQ(Error(), c.code);
    EXPECT_TRUE(TimedOut());
    EXPECT_EQ(Commands(), (std::vector<int>{74}));
    EXPECT_GE(waited, c.waits_ms);
    EXPECT_LT(waited, c.waits_ms + 1000);
  }
  // A printer that answers again: the next call is whole.
  port.printer().ClearFaults();
  port.printer().ClearRequests();
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(obj.ClearRegDisplay(&ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
  EXPECT_EQ(Commands(), (std::vector<int>{74, 33}));
}

// Entries of several commands, and those with values of their own: after a silent pre-read each
// sends nothing more and gives the value of a call without an answer.
TEST_F(ObjectTest, EveryKindOfEntryEndsAtASilentPreRead) {
  Open();
  const Bstr none("");
  const Bstr password("0");
  const struct {
    const char* what;
    std::function<void()> call;
    bool saves_outcome = true;  // CurrentTotals leaves the saved state as it was
  } entries[] = {
      {"IsPresent",
       [&] {
         VARIANT_BOOL ok = 7;
         ASSERT_EQ(obj.IsPresent(&ok), S_OK);
         EXPECT_EQ(ok, VARIANT_FALSE);
       }},
      {"OpenFiscReceipt",
       [&] {
         VARIANT_BOOL ok = 7;
         ASSERT_EQ(obj.OpenFiscReceipt(1, 1, none.get(), &ok), S_OK);
         EXPECT_EQ(ok, VARIANT_FALSE);
       }},
      {"SellArtCash",
       [&] {
         VARIANT_BOOL ok = 7;
         ASSERT_EQ(obj.SellArtCash(VARIANT_TRUE, 1, 1.0, 0.0, 0.0, &ok), S_OK);
         EXPECT_EQ(ok, VARIANT_FALSE);
       }},
      {"XReport",
       [&] {
         VARIANT_BOOL ok = 7;
         ASSERT_EQ(obj.XReport(password.get(), &ok), S_OK);
         EXPECT_EQ(ok, VARIANT_FALSE);
       }},
      {"CashInfo",
       [&] {
         double value = 7;
         ASSERT_EQ(obj.get_CashInfo(&value), S_OK);
         EXPECT_EQ(value, -1.0);
       }},
      {"CurrentTotals",
       [&] {
         Bstr value;
         EXPECT_EQ(obj.get_CurrentTotals(value.out()), -1);  // a failed reply's HRESULT
       },
       false},
  };
  for (const auto& entry : entries) {
    SCOPED_TRACE(entry.what);
    port.printer().ClearRequests();
    port.printer().Arm(sim::Fault::Silence);
    entry.call();
    EXPECT_EQ(Commands(), (std::vector<int>{74}));
    if (!entry.saves_outcome) continue;
    EXPECT_EQ(Error(), 19);
    EXPECT_EQ(CallStatus(), -2);
  }
  // The next entry begins afresh, one without a pre-read too: CloseComPort sends its status read.
  port.printer().ClearRequests();
  int closed = 0;
  ASSERT_EQ(obj.CloseComPort(1, &closed), S_OK);
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(Commands(), (std::vector<int>{74}));
}

// [Link] BusySeconds in ZRepRec.ini sets the busy limit when SetComPort reads it.
TEST_F(ObjectTest, TheBusyLimitComesFromTheSettingsFile) {
  std::ofstream(dir / "ZRepRec.ini")
      << "[Identification]\nIdReastaurant=4\n[Link]\nBusySeconds=10\n";
  int result = 0;
  ASSERT_EQ(obj.SetComPort(1, 115200, &result), S_OK);
  ASSERT_EQ(result, 1);
  port.printer().Arm(sim::Fault::SynForever);
  const std::int64_t before = clock.MonotonicMs();
  VARIANT_BOOL ok = 7;
  ASSERT_EQ(obj.IsPresent(&ok), S_OK);
  EXPECT_EQ(ok, VARIANT_FALSE);
  EXPECT_EQ(Error(), 21);
  EXPECT_GE(clock.MonotonicMs() - before, 10000);
  EXPECT_LT(clock.MonotonicMs() - before, 11000);
}

TEST_F(ObjectTest, FPIndexStatusKeepsOnlyZeroToFive) {
  const std::pair<LONG, LONG> cases[] = {{0, 0}, {3, 3}, {5, 5}, {6, 0}, {-1, 0}, {INT32_MIN, 0}};
  for (const auto& [written, read] : cases) {
    ASSERT_EQ(obj.put_FPIndexStatus(3), S_OK);
    ASSERT_EQ(obj.put_FPIndexStatus(written), S_OK);
    LONG v = 99;
    ASSERT_EQ(obj.get_FPIndexStatus(&v), S_OK);
    EXPECT_EQ(v, read) << written;
  }
}

TEST_F(ObjectTest, FPStatusReadsTheMostRecentTransactionEvenAfterARefusal) {
  Open();
  // IsPresent: the second status read decides and FPStatus sees it.
  ArmStatus(74, Wire({0, 0, 0, 0, 0, 0}));
  ArmStatus(74, Wire({0, 0, 0, 0, 0, 0x08}));
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(obj.IsPresent(&ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
  ASSERT_EQ(obj.put_FPIndexStatus(5), S_OK);
  LONG v = 0;
  ASSERT_EQ(obj.get_FPStatus(&v), S_OK);
  EXPECT_EQ(v, 0x08);
  // A refused drawer pulse leaves the pre-read as the last transaction; its reply had status
  // byte 1 = 0x08 (bit 7, no failure).
  ArmStatus(74, Wire({0, 0x08, 0, 0, 0, 0}));
  ASSERT_EQ(obj.OpenDrawer(4, &ok), S_OK);
  EXPECT_EQ(ok, VARIANT_FALSE);
  ASSERT_EQ(obj.put_FPIndexStatus(1), S_OK);
  ASSERT_EQ(obj.get_FPStatus(&v), S_OK);
  EXPECT_EQ(v, 0x08);
  // Status0..5 keep the saved deciding reply of IsPresent; the refusal did not touch them.
  EXPECT_EQ(SavedStatus(), (std::array<int, 6>{0, 0, 0, 0, 0, 0x08}));
}

TEST_F(ObjectTest, PresenceChecksSendTwoWaitingStatusReads) {
  Open();
  for (VARIANT_BOOL no_wait : {VARIANT_FALSE, VARIANT_TRUE}) {
    port.printer().ClearRequests();
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(obj.GetStatusFP(no_wait, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    ASSERT_EQ(port.requests().size(), 2u);
    for (const auto& r : port.requests()) {
      EXPECT_EQ(r.command, 74);
      EXPECT_EQ(r.data, "W");
    }
  }
  // The second read decides: a failure there fails the check.
  port.printer().ClearRequests();
  ArmStatus(74, Wire({0, 0, 0, 0, 0, 0}));
  ArmStatus(74, Wire({0x01, 0, 0, 0, 0, 0}));
  VARIANT_BOOL ok = 7;
  ASSERT_EQ(obj.IsPresent(&ok), S_OK);
  EXPECT_EQ(ok, VARIANT_FALSE);
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 2);
}

TEST_F(ObjectTest, ReadOnlyEntriesChangeNothing) {
  Open();
  ArmStatus(33, Wire({0, 0, 0, 0, 0, 0x04}));
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(obj.ClearRegDisplay(&ok), S_OK);
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(CallStatus(), -2);
    EXPECT_EQ(Error(), 0);
    EXPECT_FALSE(TimedOut());
    EXPECT_EQ(SavedStatus(), (std::array<int, 6>{0, 0, 0, 0, 0, 0x04}));
    Bstr version;
    ASSERT_EQ(obj.GetVerDLL(version.out()), S_OK);
    ASSERT_EQ(obj.get_VersionDLL(version.out()), S_OK);
  }
  EXPECT_EQ(Commands(), (std::vector<int>{74, 33}));
}

TEST_F(ObjectTest, NullOutPointersAreRefusedWithoutAnything) {
  Open();
  EXPECT_EQ(obj.ClearRegDisplay(nullptr), E_POINTER);
  EXPECT_EQ(obj.SetComPort(1, 9600, nullptr), E_POINTER);
  Bstr n;
  EXPECT_EQ(obj.GetSerNumber(n.out(), nullptr), E_POINTER);
  EXPECT_EQ(obj.get_DateTime(nullptr), E_POINTER);
  EXPECT_TRUE(port.requests().empty());
}

// Exceptions raised below an entry (here by the port driver) end the call with error
// information instead of leaving the object.
class ThrowingFactory final : public PortFactory {
 public:
  std::function<void()> raise;
  ByteChannel* Open(std::int32_t, std::int32_t) override {
    raise();
    return nullptr;
  }
};

TEST_F(ObjectTest, ExceptionsBecomeErrorInformation) {
  ThrowingFactory factory;
  LinkSetPortFactory(&factory);
  struct Case {
    const char* what;
    std::function<void()> raise;
    std::string description;
  };
  const Case cases[] = {
      {"runtime error", [] { throw std::runtime_error("port driver failed"); },
       "port driver failed"},
      // The message is UTF-8; the description comes out as the same characters.
      {"UTF-8 message", [] { throw std::runtime_error("Порт COM1"); }, "Порт COM1"},
      {"out of memory", [] { throw std::bad_alloc(); }, std::bad_alloc().what()},
      {"not a std::exception", [] { throw 42; }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    factory.raise = c.raise;
    int result = 77;
    EXPECT_EQ(obj.SetComPort(1, 9600, &result), DISP_E_EXCEPTION);
    EXPECT_EQ(static_cast<std::uint32_t>(DISP_E_EXCEPTION), 0x80020009u);
    EXPECT_EQ(result, 77);  // out value not set
    ErrorInfoRecord info;
    ASSERT_TRUE(TakeErrorInfo(info));
    EXPECT_EQ(info.description, c.description);
    EXPECT_EQ(info.source, "MolvexECR.TECRFisc");
    EXPECT_TRUE(IsEqualGUID(info.guid, IID_ITECRFisc));
    EXPECT_FALSE(TakeErrorInfo(info));  // taking clears it
  }
  // The object goes on working once the driver behaves.
  LinkSetPortFactory(&port);
  int result = 0;
  ASSERT_EQ(obj.SetComPort(1, 9600, &result), S_OK);
  EXPECT_EQ(result, 100);
}

TEST_F(ObjectTest, EntriesThatReachANeverOpenedLinkEndWithARefusal) {
  // The link refuses without calling back; nothing waits for a callback that never comes.
  Bstr id;
  ASSERT_EQ(obj.get_ID_DEV(id.out()), S_OK);
  EXPECT_EQ(id.utf8(), "");
  EXPECT_EQ(CallStatus(), -1);
  EXPECT_EQ(Error(), 1);
  int result = 0;
  ASSERT_EQ(obj.CloseComPort(-1, &result), S_OK);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(CallStatus(), -1);
  EXPECT_TRUE(port.requests().empty());
}

}  // namespace
}  // namespace molvex::testing
