// Cost of an interface entry in the object, without a line: a status read answered at once by
// the virtual printer in the same process (IsPresent: two transactions), with the protocol trace
// off and with it on. The difference is what the trace adds to every entry: one block built in
// memory and appended to the trace file.
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>

#include "link/link.h"
#include "object/TECRFiscImpl.h"
#include "object/object_state.h"
#include "platform/clock.h"
#include "sim/wire/in_process_port.h"
#include "trace/protocol_trace.h"

namespace {

void RunIsPresent(benchmark::State& state, bool traced) {
  molvex::FakeClock clock;
  molvex::sim::InProcessPort port(clock, molvex::sim::PrinterOptions{0.0, 0});
  LinkReset();
  molvex::ResetObjectState();
  LinkSetPortFactory(&port);
  molvex::TTECRFiscImpl object;
  int opened = 0;
  object.SetComPort(1, 115200, &opened);
  const std::string trace = "/tmp/molvex-entry-bench-" + std::to_string(getpid()) + ".log";
  if (traced) molvex::TraceStart(trace, 1024, molvex::TraceOrigin::Explicit);
  for (auto _ : state) {
    VARIANT_BOOL present = VARIANT_FALSE;
    object.IsPresent(&present);
    if (present != VARIANT_TRUE) {
      state.SkipWithError("the printer did not answer");
      break;
    }
  }
  molvex::TraceStop();
  std::remove(trace.c_str());
  std::remove((trace + ".1").c_str());
  LinkReset();
  LinkSetPortFactory(nullptr);
}

void BM_IsPresentTraceOff(benchmark::State& state) {
  RunIsPresent(state, false);
}
BENCHMARK(BM_IsPresentTraceOff);

void BM_IsPresentTraceOn(benchmark::State& state) {
  RunIsPresent(state, true);
}
BENCHMARK(BM_IsPresentTraceOn);

}  // namespace

BENCHMARK_MAIN();
