#pragma once

// Records that no walk from node 1 reaches: what a graft (paste, import) or a comb leaves
// behind of the part it replaced. A save leaves them out; in memory they take room in the
// 16-bit tables until they are dropped to make room for more.

#include "model/Workspace.h"

#include <cstdint>
#include <vector>

namespace valmora {

// Room for `nodes` and `terminals` more records. When the tables lack it but the records in
// use leave it, the unreachable ones are dropped first (dropUnreachableRecords); `moved`
// then holds where every node went. False, with nothing changed, when even that is not enough.
struct RecordMoves {
    std::vector<int16_t> nodes;     // old node index -> new one, 0 for a node dropped
    std::vector<int16_t> terminals; // likewise for terminal records
    bool empty() const { return nodes.empty(); }
};
bool makeRoomFor(Project& project, int nodes, int terminals, RecordMoves& moved);

// Drops every record that no walk from node 1 reaches; those that stay keep their order,
// so the tree and its file stay the same. Returns where every record went; the designer's
// sets of the verification follow their nodes.
RecordMoves dropUnreachableRecords(Project& project);
// The results and the session follow the records moved: every result stays the same, and
// the cursor's nodes follow their node (node 1 when theirs was dropped).
void followMoves(const RecordMoves& moves, NetworkResults& results, Session& session);

} // namespace valmora
