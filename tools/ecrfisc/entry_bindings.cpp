#include "tools/ecrfisc/entry_bindings.h"

#include <array>
#include <tuple>
#include <type_traits>
#include <utility>

#include "tools/ecrfisc/text_utf.h"

namespace molvex::ecrfisc {
namespace {

// The object's wide characters are UTF-16 units on every platform (wchar_t on Windows).
static_assert(sizeof(OLECHAR) == sizeof(char16_t));
const OLECHAR* AsOle(const char16_t* text) {
  return reinterpret_cast<const OLECHAR*>(text);
}
const char16_t* AsUtf16(const OLECHAR* text) {
  return reinterpret_cast<const char16_t*>(text);
}

// The C++ type of each automation type.
template <AutoType>
struct CppOf;
template <>
struct CppOf<AutoType::Int> {
  using type = int;
};
template <>
struct CppOf<AutoType::I4> {
  using type = LONG;
};
template <>
struct CppOf<AutoType::I1> {
  using type = char;
};
template <>
struct CppOf<AutoType::UI1> {
  using type = unsigned char;
};
template <>
struct CppOf<AutoType::R8> {
  using type = double;
};
template <>
struct CppOf<AutoType::Bool> {
  using type = VARIANT_BOOL;
};
template <>
struct CppOf<AutoType::Bstr> {
  using type = BSTR;
};

template <class P>
constexpr bool kWritten = std::is_pointer_v<P> && !std::is_same_v<P, BSTR>;

template <class P>
using ValueOf = std::conditional_t<kWritten<P>, std::remove_pointer_t<P>, P>;

template <class V>
constexpr unsigned TypesOf() {
  unsigned bits = 0;
  auto add = [&bits]<AutoType T>() {
    if (std::is_same_v<V, typename CppOf<T>::type>) bits |= TypeBit(T);
  };
  add.template operator()<AutoType::Int>();
  add.template operator()<AutoType::I4>();
  add.template operator()<AutoType::I1>();
  add.template operator()<AutoType::UI1>();
  add.template operator()<AutoType::R8>();
  add.template operator()<AutoType::Bool>();
  add.template operator()<AutoType::Bstr>();
  return bits;
}

// An in-argument converted to its C++ type for the duration of the call.
template <class P>
class InArg {
 public:
  explicit InArg(const ArgValue& v) {
    if constexpr (std::is_floating_point_v<P>) {
      value_ = static_cast<P>(v.real);
    } else {
      value_ = static_cast<P>(v.integer);  // the parser checked the range of the type
    }
  }
  P get() const { return value_; }
  void Store(ArgValue&) const {}

 private:
  P value_{};
};

template <>
class InArg<BSTR> {
 public:
  explicit InArg(const ArgValue& v) {
    const std::u16string wide = Utf8ToUtf16(v.text).value_or(std::u16string());
    value_ = SysAllocStringLen(AsOle(wide.data()), static_cast<UINT>(wide.size()));
  }
  ~InArg() { SysFreeString(value_); }
  InArg(const InArg&) = delete;
  InArg& operator=(const InArg&) = delete;
  BSTR get() const { return value_; }
  void Store(ArgValue&) const {}

 private:
  BSTR value_ = nullptr;
};

// Storage for a value the entry writes through a pointer.
template <class V>
class OutArg {
 public:
  explicit OutArg(const ArgValue&) {}
  V* get() { return &value_; }
  void Store(ArgValue& out) const {
    if constexpr (std::is_floating_point_v<V>) {
      out.real = value_;
    } else if constexpr (std::is_same_v<V, char>) {
      // I1 is signed whatever the signedness of char.
      const int byte = static_cast<unsigned char>(value_);
      out.integer = byte > 127 ? byte - 256 : byte;
    } else {
      out.integer = value_;
    }
  }

 private:
  V value_{};
};

template <>
class OutArg<BSTR> {
 public:
  explicit OutArg(const ArgValue&) {}
  ~OutArg() { SysFreeString(value_); }
  OutArg(const OutArg&) = delete;
  OutArg& operator=(const OutArg&) = delete;
  BSTR* get() { return &value_; }
  void Store(ArgValue& out) const {
    out.text = value_ == nullptr
                   ? std::string()
                   : Utf16ToUtf8(std::u16string_view(AsUtf16(value_), SysStringLen(value_)));
  }

 private:
  BSTR value_ = nullptr;
};

template <class P>
using Holder = std::conditional_t<kWritten<P>, OutArg<std::remove_pointer_t<P>>, InArg<P>>;

template <class M>
struct MemberTraits;
template <class... P>
struct MemberTraits<HRESULT (STDMETHODCALLTYPE TTECRFiscImpl::*)(P...)> {
  static constexpr std::array<CppParam, sizeof...(P)> kParams = {
      CppParam{TypesOf<ValueOf<P>>(), kWritten<P>}...};

  template <auto Member, std::size_t... I>
  static HRESULT Call(TTECRFiscImpl& object, const std::vector<ArgValue>& args,
                      std::vector<ArgValue>& outs, std::index_sequence<I...>) {
    std::tuple<Holder<P>...> holders(args[I]...);
    const HRESULT hr = (object.*Member)(std::get<I>(holders).get()...);
    (std::get<I>(holders).Store(outs[I]), ...);
    return hr;
  }
};

template <auto Member>
HRESULT Thunk(TTECRFiscImpl& object, const std::vector<ArgValue>& args,
              std::vector<ArgValue>& outs) {
  using Traits = MemberTraits<decltype(Member)>;
  constexpr std::size_t n = Traits::kParams.size();
  if (args.size() != n || outs.size() != n) return E_INVALIDARG;
  return Traits::template Call<Member>(object, args, outs, std::make_index_sequence<n>());
}

template <auto Member>
constexpr EntryBinding Bind(int slot, std::string_view name, EntryKind kind) {
  return {slot, name, kind, MemberTraits<decltype(Member)>::kParams, &Thunk<Member>};
}

#define MOLVEX_METHOD(slot, name) (Bind<&TTECRFiscImpl::name>(slot, #name, EntryKind::Method))
#define MOLVEX_GET(slot, name) (Bind<&TTECRFiscImpl::get_##name>(slot, #name, EntryKind::PropGet))
#define MOLVEX_PUT(slot, name) (Bind<&TTECRFiscImpl::put_##name>(slot, #name, EntryKind::PropPut))

const EntryBinding kBindings[] = {
    MOLVEX_METHOD(1, GetVerDLL),
    MOLVEX_METHOD(2, SetComPort),
    MOLVEX_METHOD(3, CloseComPort),
    MOLVEX_METHOD(4, IsPresent),
    MOLVEX_METHOD(5, StrPrntCash),
    MOLVEX_METHOD(6, CloseFiscReceipt),
    MOLVEX_GET(7, NumbRec),
    MOLVEX_METHOD(8, Payment),
    MOLVEX_METHOD(9, SellArtCash),
    MOLVEX_METHOD(10, ZReport),
    MOLVEX_METHOD(11, XReport),
    MOLVEX_METHOD(12, PeriodRepByNumb),
    MOLVEX_METHOD(13, PeriodRepByDate),
    MOLVEX_METHOD(14, NullReceipt),
    MOLVEX_METHOD(15, SellArtCashDS),
    MOLVEX_METHOD(16, ClearRegDisplay),
    MOLVEX_METHOD(17, DisplayUP),
    MOLVEX_METHOD(18, DisplayDown),
    MOLVEX_METHOD(19, CloseNonFiscReceipt),
    MOLVEX_METHOD(20, OpenFiscReceipt),
    MOLVEX_METHOD(21, OpenNonFiscReceipt),
    MOLVEX_METHOD(22, ReceiptCancel),
    MOLVEX_GET(23, ServiceIn),
    MOLVEX_PUT(24, ServiceIn),
    MOLVEX_GET(25, ServiceOut),
    MOLVEX_PUT(26, ServiceOut),
    MOLVEX_METHOD(27, PeriodRepByNumbFull),
    MOLVEX_METHOD(28, PeriodRepByDateFull),
    MOLVEX_GET(29, StatusBytes),
    MOLVEX_METHOD(30, OpenRefundReceipt),
    MOLVEX_METHOD(31, ProgramArt),
    MOLVEX_METHOD(32, DeleteArt),
    MOLVEX_METHOD(33, ChangePrice),
    MOLVEX_METHOD(34, GetArtInfo),
    MOLVEX_GET(35, FirstArt),
    MOLVEX_GET(36, NextArt),
    MOLVEX_METHOD(37, PrntNonFiscal),
    MOLVEX_METHOD(38, SubTotalDS),
    MOLVEX_METHOD(39, SetOperatorName),
    MOLVEX_METHOD(40, SetOperatorPassword),
    MOLVEX_METHOD(41, ClearOperatorPassword),
    MOLVEX_METHOD(42, ArticulsReports),
    MOLVEX_METHOD(43, GetReceiptSum),
    MOLVEX_METHOD(44, GetReceiptPay),
    MOLVEX_METHOD(45, GetError),
    MOLVEX_GET(46, Receipt),
    MOLVEX_GET(47, Status0),
    MOLVEX_GET(48, Status1),
    MOLVEX_GET(49, Status2),
    MOLVEX_GET(50, Status3),
    MOLVEX_GET(51, Status4),
    MOLVEX_GET(52, Status5),
    MOLVEX_METHOD(53, GetStatusFP),
    MOLVEX_GET(54, TimeOutFP),
    MOLVEX_METHOD(55, DoCopy),
    MOLVEX_METHOD(56, OpenDrawer),
    MOLVEX_GET(57, FPIndexStatus),
    MOLVEX_PUT(58, FPIndexStatus),
    MOLVEX_GET(59, FPStatus),
    MOLVEX_METHOD(60, WriteDateTime),
    MOLVEX_GET(61, DateTime),
    MOLVEX_METHOD(62, DispDayTime),
    MOLVEX_METHOD(63, GetSerNumber),
    MOLVEX_GET(64, LastZReport),
    MOLVEX_GET(65, CurrentTotals),
    MOLVEX_PUT(66, TotalIdx),
    MOLVEX_METHOD(67, SellArticul),
    MOLVEX_GET(68, VersionDLL),
    MOLVEX_GET(69, NonFiscal),
    MOLVEX_METHOD(70, ReceiptCut),
    MOLVEX_GET(71, CashInfo),
    MOLVEX_GET(72, ID_DEV),
    MOLVEX_METHOD(73, ReportModem),
    MOLVEX_METHOD(74, WriteNetParams),
    MOLVEX_METHOD(75, GetNetParams),
    MOLVEX_PUT(76, PrintReportModem),
    MOLVEX_GET(77, DataDocPr),
    MOLVEX_GET(78, TimeDocPr),
    MOLVEX_GET(79, TimePersPr),
    MOLVEX_GET(80, PersReportPr),
    MOLVEX_GET(81, MBSAM_ErrPr),
    MOLVEX_GET(82, MemCrd_ErrPr),
    MOLVEX_GET(83, KSEF_ErrPr),
    MOLVEX_GET(84, IDDEF_SetPr),
    MOLVEX_GET(85, TechReg_PrfPr),
    MOLVEX_GET(86, Person_PrfPr),
    MOLVEX_GET(87, NetCbl_ConPr),
    MOLVEX_GET(88, Ready_SndPr),
    MOLVEX_GET(89, DatePersPr),
    MOLVEX_GET(90, DHCPworkPr),
    MOLVEX_PUT(91, DHCPworkPr),
    MOLVEX_GET(92, StatIPPr),
    MOLVEX_PUT(93, StatIPPr),
    MOLVEX_GET(94, SubnetMaskPr),
    MOLVEX_PUT(95, SubnetMaskPr),
    MOLVEX_GET(96, BridgeAddrPr),
    MOLVEX_PUT(97, BridgeAddrPr),
    MOLVEX_GET(98, TargetAddrPr),
    MOLVEX_PUT(99, TargetAddrPr),
    MOLVEX_GET(100, TargetPortPr),
    MOLVEX_PUT(101, TargetPortPr),
    MOLVEX_GET(102, RepeatPeriodPr),
    MOLVEX_PUT(103, RepeatPeriodPr),
    MOLVEX_GET(104, RepeatByErrorPr),
    MOLVEX_PUT(105, RepeatByErrorPr),
    MOLVEX_METHOD(106, NewPayment),
    MOLVEX_METHOD(107, PrintFiscalCopyKSEF),
    MOLVEX_METHOD(108, PrintFiscalCopiesKSEF),
    MOLVEX_METHOD(109, PrintReportsTaxKSEF),
    MOLVEX_METHOD(110, MakeBarcode),
};
static_assert(std::size(kBindings) == kInterfaceSlotCount);

#undef MOLVEX_METHOD
#undef MOLVEX_GET
#undef MOLVEX_PUT

}  // namespace

std::span<const EntryBinding> EntryBindings() {
  return kBindings;
}

std::vector<std::string> BindingMismatches() {
  std::vector<std::string> problems;
  const auto slots = InterfaceSlots();
  if (slots.size() != std::size(kBindings)) problems.push_back("slot count differs");
  for (std::size_t i = 0; i < slots.size() && i < std::size(kBindings); ++i) {
    const SlotInfo& s = slots[i];
    const EntryBinding& b = kBindings[i];
    const std::string where = "slot " + std::to_string(s.slot) + " " + std::string(s.name) + ": ";
    if (b.slot != s.slot || b.name != s.name || b.kind != s.kind) {
      problems.push_back(where + "bound to slot " + std::to_string(b.slot) + " " +
                         std::string(b.name) + " " + std::string(EntryKindName(b.kind)));
      continue;
    }
    if (b.params.size() != s.params.size()) {
      problems.push_back(where + "the member takes " + std::to_string(b.params.size()) +
                         " parameters, the table lists " + std::to_string(s.params.size()));
      continue;
    }
    for (std::size_t k = 0; k < s.params.size(); ++k) {
      const ParamInfo& p = s.params[k];
      if ((b.params[k].types & TypeBit(p.type)) == 0 || b.params[k].written != IsOutput(p.dir)) {
        problems.push_back(where + "parameter " + std::string(p.name) + " is not " +
                           std::string(AutoTypeName(p.type)) + (IsOutput(p.dir) ? "*" : "") +
                           " in C++");
      }
    }
  }
  return problems;
}

HRESULT InvokeSlot(TTECRFiscImpl& object, const SlotInfo& slot, const std::vector<ArgValue>& args,
                   std::vector<ArgValue>& outs) {
  const std::size_t index = static_cast<std::size_t>(slot.slot - 1);
  if (slot.slot < 1 || index >= std::size(kBindings)) return E_INVALIDARG;
  outs.assign(args.size(), ArgValue{});
  return kBindings[index].thunk(object, args, outs);
}

}  // namespace molvex::ecrfisc
