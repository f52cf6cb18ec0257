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

const EntryBinding kBindings[] = {
#define MOLVEX_ENTRY(slot, dispid, kind, name, params) \
  Bind<&TTECRFiscImpl::MOLVEX_MEMBER(kind, name)>(slot, #name, EntryKind::kind),
#include "object/entries.def"
};
static_assert(std::size(kBindings) == kInterfaceSlotCount);

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
