// Private to object/.
// The entry side of the protocol trace. Each traced entry of the object (object/entry_slots.cpp,
// produced from object/entries.def) opens an EntryTrace with its slot and its parameters in the
// order of its declaration. With the trace off that costs one test; with it on, the entry's
// block begins with its name and input arguments (Secret parameters as ***) and ends with its
// output values, HRESULT when it is not S_OK, StatusBytes and GetError.
#pragma once

#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

#include "object/object_state.h"
#include "platform/automation.h"
#include "trace/protocol_trace.h"

namespace molvex {

// One parameter of an entry as the trace reads it: an input value, or where an output goes.
class TraceArg {
 public:
  enum class Kind { Integer, Real, Text, OutInteger, OutReal, OutText };

  template <class T>
  requires std::is_integral_v<T> TraceArg(const T& value)
      : kind_(Kind::Integer), integer_(static_cast<long long>(value)) {}
  TraceArg(const double& value) : kind_(Kind::Real), real_(value) {}
  TraceArg(const BSTR& text) : kind_(Kind::Text), text_(text) {}
  template <class T>
  requires(std::is_integral_v<T> && !std::is_same_v<T, OLECHAR>) TraceArg(T* const& out)
      : kind_(Kind::OutInteger), out_(out), read_(&ReadInteger<T>) {}
  TraceArg(double* const& out) : kind_(Kind::OutReal), out_(out) {}
  TraceArg(BSTR* const& out) : kind_(Kind::OutText), out_(out) {}

  Kind kind() const { return kind_; }
  bool is_output() const { return kind_ >= Kind::OutInteger; }
  long long integer() const;  // the input, or the output as it stands now
  double real() const;
  BSTR text() const;
  bool out_missing() const { return is_output() && out_ == nullptr; }

 private:
  template <class T>
  static long long ReadInteger(const void* p) {
    return static_cast<long long>(*static_cast<const T*>(p));
  }

  Kind kind_;
  long long integer_ = 0;
  double real_ = 0;
  BSTR text_ = nullptr;
  const void* out_ = nullptr;
  long long (*read_)(const void*) = nullptr;
};

class EntryTrace {
 public:
  // `slot` is 1-based, as in the interface table.
  // `state` is the object state of the entry's context, whose call status ends the block.
  template <class... A>
  explicit EntryTrace(const ObjectState& state, int slot, const A&... args) : state_(state) {
    if (TraceOn() && !TraceInEntry()) Begin(slot, {TraceArg(args)...});
  }
  ~EntryTrace() {
    if (active_) End();
  }
  EntryTrace(const EntryTrace&) = delete;
  EntryTrace& operator=(const EntryTrace&) = delete;

 private:
  void Begin(int slot, std::initializer_list<TraceArg> args);
  void End() noexcept;

  struct Output {
    std::string name;
    bool boolean;  // an automation boolean: shown as true or false
    TraceArg arg;
  };
  const ObjectState& state_;
  bool active_ = false;
  std::vector<Output> outputs_;
};

// The HRESULT and exception message of the running entry, when it is not S_OK (RunGuarded and
// the entries with HRESULTs of their own tell it).
void EntryTraceNote(HRESULT result, const char* message = nullptr) noexcept;

}  // namespace molvex
