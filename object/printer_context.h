// What the object's entries run against: one printer's link, the object state the entries keep
// and the settings SetComPort reads for it. The process has one context (PrinterContext::
// Process()): its link is the process link, its state SharedObjectState(), its settings
// SharedArchiveSettings(); every TTECRFiscImpl made without a context uses it, so all objects of a
// process share one port and state. A program that drives several printers at once gives each
// its own context (and each context's objects run on one thread at a time).
//
// The printer's code page stays one for the process (platform/text_codec.h): every text
// conversion of the object reads it, and SetComPort of any context sets it from the one settings
// file of the process, so all contexts agree on it.
#pragma once

#include <memory>

#include "archive/archive_settings.h"
#include "link/link.h"
#include "object/object_state.h"

namespace molvex {

class PrinterContext {
 public:
  // A context with a link, state and settings of its own.
  PrinterContext();
  ~PrinterContext();
  PrinterContext(const PrinterContext&) = delete;
  PrinterContext& operator=(const PrinterContext&) = delete;

  // The context of the process (the automation object's default).
  static PrinterContext& Process();

 private:
  struct Own;
  PrinterContext(Link& link, ObjectState& state, ArchiveSettings& settings);
  std::unique_ptr<Own> own_;  // what a context of its own owns; none for the process's

 public:
  Link& link;
  ObjectState& state;
  ArchiveSettings& settings;  // as SetComPort read them (busy limit, code page, Z archive, trace)
};

}  // namespace molvex
