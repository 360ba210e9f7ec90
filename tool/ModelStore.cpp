#include "tool/ModelStore.h"

ModelStore& theModelStore() {
  // Static storage: every array starts zeroed, and the store lives for the
  // whole run (about 20 MB, most of it texture coordinate room that a model
  // touches only as far as it uses it).
  static ModelStore store;
  return store;
}
