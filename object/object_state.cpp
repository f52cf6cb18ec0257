#include "object/object_state.h"

namespace molvex {
namespace {

ObjectState shared_state;

}  // namespace

ObjectState& SharedObjectState() {
  return shared_state;
}

void ResetObjectState() {
  shared_state = ObjectState{};
}

}  // namespace molvex
