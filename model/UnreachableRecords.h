#pragma once

// Records that no walk from node 1 reaches: what a graft (paste, import) or a comb leaves
// behind of the part it replaced. A save leaves them out; in memory they take room in the
// 16-bit tables until they are dropped to make room for more.

#include "model/Project.h"

#include <cstdint>
#include <vector>

namespace valmora {

// Room for `nodes` and `terminals` more records. When the tables lack it but the records in
// use leave it, the unreachable ones are dropped first (dropUnreachableRecords); `moved`
// then holds where every node went. False, with nothing changed, when even that is not enough.
bool makeRoomFor(Project& project, int nodes, int terminals, std::vector<int16_t>& moved);

// Drops every record that no walk from node 1 reaches; those that stay keep their order,
// so the tree, its file and every result stay the same. Returns, by old node index, the
// new one (0 for a node dropped). The project's cursor nodes follow their node (node 1
// when theirs was dropped).
std::vector<int16_t> dropUnreachableRecords(Project& project);

} // namespace valmora
