// The scene-graph type registry: a process-wide map from type names to ints.
// Ids are handed out 0, 1, 2, ... in the order in which names are first asked
// for; asking again for a name returns its id. The map and its counter are
// made at the first call. Safe to call from several threads.
#pragma once

namespace sg {

// Returns the id of `typeName` (a null name is treated as ""); never fails
// except by std::bad_alloc.
int getTypeId(const char* typeName);

}  // namespace sg
