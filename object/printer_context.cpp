#include "object/printer_context.h"

namespace molvex {

struct PrinterContext::Own {
  Link link;
  ObjectState state;
  ArchiveSettings settings;
};

namespace {

ObjectState shared_state;

}  // namespace

PrinterContext::PrinterContext(Link& l, ObjectState& s, ArchiveSettings& a)
    : link(l), state(s), settings(a) {}

PrinterContext::PrinterContext()
    : own_(std::make_unique<Own>()),
      link(own_->link),
      state(own_->state),
      settings(own_->settings) {}

PrinterContext::~PrinterContext() = default;

PrinterContext& PrinterContext::Process() {
  // Never destroyed, like the process link it refers to.
  static PrinterContext* const process =
      new PrinterContext(Link::Process(), shared_state, SharedArchiveSettings());
  return *process;
}

ObjectState& SharedObjectState() {
  return shared_state;
}

void ResetObjectState() {
  shared_state = ObjectState{};
}

}  // namespace molvex
