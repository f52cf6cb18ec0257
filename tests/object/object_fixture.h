// A fresh object state, link and archive settings for every test, with the virtual printer
// plugged into the link on a fake clock (time-outs take no real time) and an empty settings
// directory.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_settings.h"
#include "link/link.h"
#include "object/TECRFiscImpl.h"
#include "object/object_state.h"
#include "platform/clock.h"
#include "platform/error_info.h"
#include "platform/text_codec.h"
#include "sim/wire/in_process_port.h"

namespace molvex::testing {

// The six status bytes of a reply, as the printer sends them (top bit set).
using Status = std::array<std::uint8_t, 6>;
// No bit set: the printer has nothing to report.
constexpr Status kClean = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80};

// Owns a BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::string_view utf8) {
    const auto wide = Utf8ToWide(utf8);
    p_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  ~Bstr() { SysFreeString(p_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR get() const { return p_; }
  BSTR* out() {
    SysFreeString(p_);
    p_ = nullptr;
    return &p_;
  }
  std::string utf8() const { return WideToUtf8(p_, SysStringLen(p_)); }

 private:
  BSTR p_ = nullptr;
};

class ObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LinkReset();
    ResetObjectState();
    ResetArchiveSettings();
    SetPrinterCodePage(kDefaultPrinterCodePage);
    ClearErrorInfo();
    LinkSetPortFactory(&port);
    LinkSetClock(&clock);
    dir = std::filesystem::temp_directory_path() /
          ("molvex-object-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    ::setenv("MOLVEXECR_DIR", dir.c_str(), 1);
  }
  void TearDown() override {
    LinkReset();
    LinkSetPortFactory(nullptr);
    LinkSetClock(nullptr);
    std::filesystem::remove_all(dir);
  }

  // Opens port 1 (no settings file: result 100) and forgets the requests so far.
  void Open() {
    int result = 0;
    ASSERT_EQ(obj.SetComPort(1, 115200, &result), S_OK);
    ASSERT_EQ(result, 100);
    port.printer().ClearRequests();
  }

  // Command codes the printer received since the last ClearRequests.
  std::vector<int> Commands() const {
    std::vector<int> codes;
    for (const auto& r : port.requests()) codes.push_back(r.command);
    return codes;
  }
  std::string LastData() const {
    return port.requests().empty() ? std::string("<none>") : port.requests().back().data;
  }

  LONG CallStatus() {
    LONG v = 99;
    EXPECT_EQ(obj.get_StatusBytes(&v), S_OK);
    return v;
  }
  LONG Error() {
    LONG v = 99;
    EXPECT_EQ(obj.GetError(&v), S_OK);
    return v;
  }
  bool TimedOut() {
    VARIANT_BOOL v = 1;
    EXPECT_EQ(obj.get_TimeOutFP(&v), S_OK);
    EXPECT_TRUE(v == VARIANT_TRUE || v == VARIANT_FALSE);
    return v == VARIANT_TRUE;
  }
  std::array<int, 6> SavedStatus() {
    HRESULT(TTECRFiscImpl::*const readers[])
    (char*) = {&TTECRFiscImpl::get_Status0, &TTECRFiscImpl::get_Status1,
               &TTECRFiscImpl::get_Status2, &TTECRFiscImpl::get_Status3,
               &TTECRFiscImpl::get_Status4, &TTECRFiscImpl::get_Status5};
    std::array<int, 6> bytes{};
    for (int i = 0; i < 6; ++i) {
      char c = 0;
      EXPECT_EQ((obj.*readers[i])(&c), S_OK);
      bytes[static_cast<std::size_t>(i)] = static_cast<unsigned char>(c);  // 0..127: no top bit
    }
    return bytes;
  }
  // Error information that an earlier call left on the thread and nobody took: an address that
  // is no dotted number makes WriteNetParams raise (nothing is sent). Needs an open port.
  void LeaveErrorInfo() {
    const Bstr bad("1.2.3.x");
    const Bstr good("1.2.3.4");
    LONG result = 0;
    ASSERT_EQ(obj.put_StatIPPr(bad.get()), S_OK);
    ASSERT_EQ(obj.WriteNetParams(&result), DISP_E_EXCEPTION);
    ASSERT_EQ(obj.put_StatIPPr(good.get()), S_OK);
  }
  // True when the thread holds error information (taking it clears it).
  bool ErrorInfoLeft() {
    ErrorInfoRecord info;
    return TakeErrorInfo(info);
  }
  // The description of the thread's error information, "<none>" without any (taking clears it);
  // fails the test when it holds another source than the object's.
  std::string ErrorDescription() {
    ErrorInfoRecord info;
    if (!TakeErrorInfo(info)) return "<none>";
    EXPECT_EQ(info.source, "MolvexECR.TECRFisc");
    return info.description;
  }

  // The next reply to `command` carries these status bytes and no data.
  void ArmStatus(int command, Status status, const std::string& data = "") {
    port.printer().ArmReply(command, data, status);
  }

  FakeClock clock;
  sim::InProcessPort port{clock, sim::PrinterOptions{0.0, 0}};
  TTECRFiscImpl obj;
  std::filesystem::path dir;
};

}  // namespace molvex::testing
