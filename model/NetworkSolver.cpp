#include "model/NetworkSolver.h"

#include "model/Calculation.h"
#include "model/Traversal.h"

#include <Eigen/OrderingMethods>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>

#include <algorithm>
#include <cmath>

namespace valmora {

namespace {

constexpr double kExponent = 1.85; // the Hazen-Williams and terminal laws' exponent
// The least gradient of an element's loss, as a share of the source's head per l/min: a section
// without flow would otherwise have none, and its junctions no equation (EPANET floors it
// alike). The solution does not depend on it (at the solution the law holds whatever the
// gradient taken); a floor this high keeps the rounding of the heads (some 1e-16 of the source's)
// from becoming flows in sections that carry nothing, and at 4 bar (1e-3 mm per l/min in mm,
// 1e-7 bar per l/min in bar) only flows below some 0,005 l/min converge the slower for it.
constexpr double kLeastGradientShare = 2.5e-8;
// The heads' balance, as a share of the source's head: an element whose law holds to this has
// settled whatever its step in flow (the converged solution balances its heads alike), and a dry
// terminal flows again once the grade stands above it by more than this.
constexpr double kHeadBalanceShare = 1e-9;
// A source's head below this (in its own unit) is taken as this for the least gradient.
constexpr double kSmallestHead = 1e-3;
// Where every iteration starts: a flow of this size through every section and terminal (the
// solution does not depend on it, Newton's steps do a little).
constexpr double kStartingFlow = 100;
constexpr int kSource = -1;

// The linearised law of one element: Q = (q - y) + p x (head difference).
struct Linearised {
    double p = 0; // 1 / (dh/dQ)
    double y = 0; // what the current flow gives beyond the linear part
};
Linearised linearise(double resistance, double flow, double leastGradient, double exponent = kExponent) {
    const double power = resistance * std::pow(std::abs(flow), exponent - 1);
    const double gradient = std::max(exponent * power, leastGradient);
    return {1 / gradient, power * flow / gradient};
}

// The flow of an element between two known heads, from its law itself.
double flowBetween(double resistance, double headDifference) {
    if (resistance <= 0)
        return 0;
    return std::copysign(std::pow(std::abs(headDifference) / resistance, 1 / kExponent), headDifference);
}

// Which junctions an open way joins to the source: the others carry nothing and have no head
// (an open end cut off from the source stands empty, as the part behind a closed section).
std::vector<bool> reachedJunctions(const SolverNetwork& network) {
    std::vector<std::vector<int>> around(std::size_t(network.junctions));
    std::vector<int> fedBySource;
    for (const SolverNetwork::Link& link : network.links) {
        if (link.closed)
            continue;
        if (link.from == kSource) {
            fedBySource.push_back(link.to);
            continue;
        }
        around[std::size_t(link.from)].push_back(link.to);
        around[std::size_t(link.to)].push_back(link.from);
    }
    return reachedFrom(around, fedBySource);
}

class Solver {
public:
    Solver(const SolverNetwork& network, const SolverOptions& options)
        : net_(network), options_(options), reached_(reachedJunctions(network)),
          unknown_(std::size_t(network.junctions), -1),
          leastGradient_(kLeastGradientShare * std::max(std::abs(network.sourceHead), kSmallestHead)),
          headBalance_(kHeadBalanceShare * std::max(std::abs(network.sourceHead), kSmallestHead)) {
        std::vector<bool> held(std::size_t(net_.junctions), false);
        for (const int end : net_.openEnds)
            held[std::size_t(end)] = true;
        for (int j = 0; j < net_.junctions; ++j)
            if (reached_[std::size_t(j)] && !held[std::size_t(j)])
                unknown_[std::size_t(j)] = unknowns_++;
        carrying_.resize(net_.links.size());
        for (std::size_t k = 0; k < net_.links.size(); ++k)
            carrying_[k] = joinedToTheSource(net_.links[k]) ? 1 : 0;
        const bool warmLinks = options_.startingLinkFlow.size() == net_.links.size();
        flow_.assign(net_.links.size(), 0.0);
        for (std::size_t k = 0; k < net_.links.size(); ++k)
            if (carries(net_.links[k]))
                flow_[k] = warmLinks ? options_.startingLinkFlow[k] : kStartingFlow;
        terminalFlow_.assign(net_.terminals.size(), kStartingFlow);
        dry_.assign(net_.terminals.size(), false);
        if (options_.startingTerminalFlow.size() == net_.terminals.size())
            for (std::size_t t = 0; t < net_.terminals.size(); ++t) {
                // One that discharged nothing starts dry: the settling opens it where the grade
                // now stands above it.
                terminalFlow_[t] = std::max(options_.startingTerminalFlow[t], 0.0);
                dry_[t] = !(terminalFlow_[t] > 0);
            }
        for (std::size_t t = 0; t < net_.terminals.size(); ++t)
            if (!reached_[std::size_t(net_.terminals[t].junction)] ||
                unknown_[std::size_t(net_.terminals[t].junction)] < 0) {
                dry_[t] = true;
                terminalFlow_[t] = 0;
            }
    }

    SolverResult run() {
        SolverResult result;
        head_.assign(std::size_t(net_.junctions), 0.0);
        if (unknowns_ == 0) {
            // Only known heads (the source and open ends): each section's flow from its law.
            for (std::size_t k = 0; k < net_.links.size(); ++k)
                if (carries(net_.links[k]))
                    flow_[k] = flowBetween(net_.links[k].resistance,
                                           headOf(net_.links[k].from) - headOf(net_.links[k].to));
            result.converged = true;
            return finish(result);
        }
        layOutMatrix();
        const bool tree = layOutTree();
        // The unknowns are numbered once in the order that keeps the factor sparse, so that no
        // iteration permutes the matrix nor copies it: the factorisation reads it in place.
        Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>, Eigen::Upper, Eigen::NaturalOrdering<int>> factor;
        if (!tree) {
            numberForFactorising();
            factor.analyzePattern(matrix_);
        }
        Eigen::VectorXd heads(unknowns_);
        for (int iteration = 1; iteration <= options_.maxIterations; ++iteration) {
            result.iterations = iteration;
            assemble();
            if (tree) {
                if (!solveOnTheTree(heads))
                    return finish(result);
            } else {
                factor.factorize(matrix_);
                if (factor.info() != Eigen::Success)
                    return finish(result);
                heads = factor.solve(rhs_);
            }
            for (int j = 0; j < net_.junctions; ++j)
                head_[std::size_t(j)] = unknown_[std::size_t(j)] >= 0 ? heads[unknown_[std::size_t(j)]] : 0.0;
            // Settled: the terminals the grade now stands above flow again, any still taking
            // water back are dry; the heads are worked out again unless none changed.
            if (!updateFlows() || settleTerminals())
                continue;
            result.converged = true;
            break;
        }
        return finish(result);
    }

private:
    bool carries(const SolverNetwork::Link& link) const {
        return carrying_[std::size_t(&link - net_.links.data())] != 0;
    }
    bool joinedToTheSource(const SolverNetwork::Link& link) const {
        return !link.closed && reached_[std::size_t(link.to)] &&
               (link.from == kSource || reached_[std::size_t(link.from)]);
    }

    double headOf(int junction) const {
        return junction == kSource ? net_.sourceHead : head_[std::size_t(junction)];
    }

    // One junction's unknown, or none (the source, an open end).
    int unknownOf(int junction) const { return junction == kSource ? -1 : unknown_[std::size_t(junction)]; }

    // The unknowns numbered anew by the approximate minimum degree ordering of the network's
    // pattern, and the matrix laid out again in that numbering.
    void numberForFactorising() {
        Eigen::PermutationMatrix<Eigen::Dynamic, Eigen::Dynamic, int> inverse;
        Eigen::AMDOrdering<int>()(matrix_, inverse);
        if (inverse.size() != unknowns_)
            return; // no ordering: the numbering stays
        const Eigen::PermutationMatrix<Eigen::Dynamic, Eigen::Dynamic, int> order = inverse.inverse();
        for (int& u : unknown_)
            if (u >= 0)
                u = order.indices()[u];
        layOutMatrix();
    }

    // Where an element's terms stand among the matrix's stored values (its upper triangle):
    // the diagonal at either end, and the entry between them; -1 where there is none.
    struct Slots {
        int atFrom = -1, atTo = -1, between = -1;
    };

    // The pattern is the network's and stays: it is laid out once, with each element's slots,
    // and every iteration only writes the values (no allocation, no sorting).
    void layOutMatrix() {
        std::vector<Eigen::Triplet<double>> entries;
        entries.reserve(std::size_t(unknowns_) + net_.links.size());
        for (int u = 0; u < unknowns_; ++u)
            entries.emplace_back(u, u, 0.0);
        for (const SolverNetwork::Link& link : net_.links) {
            const int a = unknownOf(link.from), b = unknownOf(link.to);
            if (carries(link) && a >= 0 && b >= 0 && a != b)
                entries.emplace_back(std::min(a, b), std::max(a, b), 0.0);
        }
        matrix_.resize(unknowns_, unknowns_);
        matrix_.setFromTriplets(entries.begin(), entries.end());
        matrix_.makeCompressed();
        const auto slot = [this](int row, int column) {
            const int* rows = matrix_.innerIndexPtr();
            const int* begin = rows + matrix_.outerIndexPtr()[column];
            const int* end = rows + matrix_.outerIndexPtr()[column + 1];
            return int(std::lower_bound(begin, end, row) - rows);
        };
        linkSlots_.assign(net_.links.size(), {});
        for (std::size_t k = 0; k < net_.links.size(); ++k) {
            const SolverNetwork::Link& link = net_.links[k];
            if (!carries(link))
                continue;
            const int a = unknownOf(link.from), b = unknownOf(link.to);
            Slots& at = linkSlots_[k];
            at.atFrom = a >= 0 ? slot(a, a) : -1;
            at.atTo = b >= 0 ? slot(b, b) : -1;
            at.between = a >= 0 && b >= 0 && a != b ? slot(std::min(a, b), std::max(a, b)) : -1;
        }
        terminalSlots_.assign(net_.terminals.size(), {});
        for (std::size_t t = 0; t < net_.terminals.size(); ++t) {
            const int a = unknownOf(net_.terminals[t].junction);
            terminalSlots_[t].atFrom = a >= 0 ? slot(a, a) : -1;
        }
        rhs_.resize(unknowns_);
    }

    // Whether the open sections join the unknown heads as a tree, or a forest: a link to a known
    // head (the source, an open end) only adds to its junction's own equation. Then the system is
    // solved by eliminating the farthest unknowns first, each into the one it hangs from, without
    // fill-in and without the general factorisation's orderings and permutations. Lays out that
    // order; false for a network with a loop.
    bool layOutTree() {
        std::vector<int> group(static_cast<std::size_t>(unknowns_));
        for (std::size_t g = 0; g < group.size(); ++g)
            group[g] = int(g);
        const auto root = [&](int u) {
            while (group[std::size_t(u)] != u)
                u = group[std::size_t(u)] = group[std::size_t(group[std::size_t(u)])];
            return u;
        };
        std::vector<std::vector<std::size_t>> around(static_cast<std::size_t>(unknowns_));
        for (std::size_t k = 0; k < net_.links.size(); ++k) {
            const SolverNetwork::Link& link = net_.links[k];
            const int a = unknownOf(link.from), b = unknownOf(link.to);
            if (!carries(link) || a < 0 || b < 0 || a == b)
                continue;
            const int ra = root(a), rb = root(b);
            if (ra == rb)
                return false;
            group[std::size_t(ra)] = rb;
            around[std::size_t(a)].push_back(k);
            around[std::size_t(b)].push_back(k);
        }
        // Each tree from its first unknown, nearest first, every unknown with its link up.
        treeOrder_.clear();
        treeOrder_.reserve(std::size_t(unknowns_));
        upSlot_.assign(std::size_t(unknowns_), -1);
        upUnknown_.assign(std::size_t(unknowns_), -1);
        std::vector<char> placed(std::size_t(unknowns_), 0);
        for (int top = 0; top < unknowns_; ++top) {
            if (placed[std::size_t(top)])
                continue;
            placed[std::size_t(top)] = 1;
            treeOrder_.push_back(top);
            // The walk appends to the order as it goes: everything from `top` on is this tree's.
            for (std::size_t at = treeOrder_.size() - 1; at < treeOrder_.size(); ++at) {
                const int u = treeOrder_[at];
                for (const std::size_t k : around[std::size_t(u)]) {
                    const SolverNetwork::Link& link = net_.links[k];
                    const int other = unknownOf(link.from) == u ? unknownOf(link.to) : unknownOf(link.from);
                    if (placed[std::size_t(other)])
                        continue;
                    placed[std::size_t(other)] = 1;
                    upUnknown_[std::size_t(other)] = u;
                    upSlot_[std::size_t(other)] = linkSlots_[k].between;
                    treeOrder_.push_back(other);
                }
            }
        }
        diagonalSlot_.resize(std::size_t(unknowns_));
        for (int u = 0; u < unknowns_; ++u)
            diagonalSlot_[std::size_t(u)] = diagonalSlotOf(u);
        return true;
    }

    int diagonalSlotOf(int u) const {
        const int* rows = matrix_.innerIndexPtr();
        const int* begin = rows + matrix_.outerIndexPtr()[u];
        const int* end = rows + matrix_.outerIndexPtr()[u + 1];
        return int(std::lower_bound(begin, end, u) - rows);
    }

    // The system solved along the tree laid out: each unknown, farthest first, folded into the
    // one above it; then the heads from the top down.
    bool solveOnTheTree(Eigen::VectorXd& heads) {
        const double* values = matrix_.valuePtr();
        pivot_.resize(std::size_t(unknowns_));
        folded_.resize(std::size_t(unknowns_));
        for (int u = 0; u < unknowns_; ++u) {
            pivot_[std::size_t(u)] = values[diagonalSlot_[std::size_t(u)]];
            folded_[std::size_t(u)] = rhs_[u];
        }
        for (auto it = treeOrder_.rbegin(); it != treeOrder_.rend(); ++it) {
            const auto u = std::size_t(*it);
            if (!(pivot_[u] > 0))
                return false; // the matrix is positive definite: this is no system to solve
            const int up = upUnknown_[u];
            if (up < 0)
                continue;
            const double coupling = values[upSlot_[u]];
            pivot_[std::size_t(up)] -= coupling * coupling / pivot_[u];
            folded_[std::size_t(up)] -= coupling * folded_[u] / pivot_[u];
        }
        for (const int u : treeOrder_) {
            const int up = upUnknown_[std::size_t(u)];
            const double fromAbove = up < 0 ? 0.0 : values[upSlot_[std::size_t(u)]] * heads[up];
            heads[u] = (folded_[std::size_t(u)] - fromAbove) / pivot_[std::size_t(u)];
        }
        return true;
    }

    // One element's linearised law into the matrix and the right-hand side: `fixedTo` is the
    // head beyond a terminal (its static head).
    void addElement(const Slots& at, int from, int to, double fixedTo, const Linearised& law, double flow) {
        double* values = matrix_.valuePtr();
        const int a = unknownOf(from);
        const int b = to < 0 ? -1 : unknownOf(to);
        const double carried = flow - law.y;
        if (a >= 0) {
            values[at.atFrom] += law.p;
            rhs_[a] -= carried;
        } else if (b >= 0) {
            // A known head upstream: its part moves to the right.
            rhs_[b] += law.p * (from == kSource ? net_.sourceHead : 0.0);
        }
        if (b >= 0) {
            values[at.atTo] += law.p;
            rhs_[b] += carried;
        } else if (a >= 0) {
            rhs_[a] += law.p * fixedTo;
        }
        if (at.between >= 0)
            values[at.between] -= law.p;
    }

    void assemble() {
        rhs_.setZero();
        std::fill(matrix_.valuePtr(), matrix_.valuePtr() + matrix_.nonZeros(), 0.0);
        linkLaw_.resize(net_.links.size());
        for (std::size_t k = 0; k < net_.links.size(); ++k) {
            const SolverNetwork::Link& link = net_.links[k];
            if (!carries(link))
                continue;
            linkLaw_[k] = linearise(link.resistance, flow_[k], leastGradient_);
            addElement(linkSlots_[k], link.from, link.to, 0.0, linkLaw_[k], flow_[k]);
        }
        terminalLaw_.resize(net_.terminals.size());
        for (std::size_t t = 0; t < net_.terminals.size(); ++t) {
            if (dry_[t])
                continue;
            const SolverNetwork::Terminal& terminal = net_.terminals[t];
            terminalLaw_[t] =
                linearise(terminal.resistance, terminalFlow_[t], leastGradient_, terminal.exponent);
            addElement(terminalSlots_[t], terminal.junction, -1, terminal.staticHead, terminalLaw_[t],
                       terminalFlow_[t]);
        }
    }

    // The flows from the new heads; true when they have settled.
    bool updateFlows() {
        largestFlow_ = 0;
        for (const double q : flow_)
            largestFlow_ = std::max(largestFlow_, std::abs(q));
        bool settled = true;
        for (std::size_t k = 0; k < net_.links.size(); ++k) {
            const SolverNetwork::Link& link = net_.links[k];
            if (!carries(link))
                continue;
            const Linearised& law = linkLaw_[k];
            const double next = (flow_[k] - law.y) + law.p * (headOf(link.from) - headOf(link.to));
            settled = settled && hasSettled(flow_[k], next, law);
            flow_[k] = next;
        }
        for (std::size_t t = 0; t < net_.terminals.size(); ++t) {
            if (dry_[t])
                continue;
            const SolverNetwork::Terminal& terminal = net_.terminals[t];
            const double above = head_[std::size_t(terminal.junction)] - terminal.staticHead;
            const Linearised& law = terminalLaw_[t];
            const double next = (terminalFlow_[t] - law.y) + law.p * above;
            if (next < 0 && above < 0) {
                // Below the grade and taking water back already: dry at once.
                dry_[t] = true;
                terminalFlow_[t] = 0;
                settled = false;
                continue;
            }
            settled = settled && hasSettled(terminalFlow_[t], next, law);
            terminalFlow_[t] = next;
        }
        return settled;
    }

    // The open terminals whose flow runs backwards made dry, and the dry ones the grade stands
    // above flowing again; false when there is none.
    bool settleTerminals() {
        bool any = false;
        for (std::size_t t = 0; t < net_.terminals.size(); ++t) {
            const SolverNetwork::Terminal& terminal = net_.terminals[t];
            if (!dry_[t] || unknownOf(terminal.junction) < 0)
                continue;
            const double above = head_[std::size_t(terminal.junction)] - terminal.staticHead;
            if (above > headBalance_) {
                dry_[t] = false;
                terminalFlow_[t] = std::pow(above / terminal.resistance, 1 / terminal.exponent);
                any = true;
            }
        }
        for (std::size_t t = 0; t < net_.terminals.size(); ++t)
            if (!dry_[t] && terminalFlow_[t] < 0) {
                dry_[t] = true;
                terminalFlow_[t] = 0;
                any = true;
            }
        return any;
    }

    // Whether an element's Newton step from `before` to `after` leaves it settled: the step is
    // small beside the flows, or the law it stands for already held to the heads' balance (the
    // step times the gradient taken is what the law missed by). The second is what settles an
    // element carrying next to nothing: at the least gradient its steps shrink only slowly,
    // though what they change is far below any head the program shows.
    bool hasSettled(double before, double after, const Linearised& law) const {
        const double step = std::abs(after - before);
        const double scale = std::max({std::abs(before), std::abs(after), largestFlow_});
        return step <= std::max(options_.relativeFlowTolerance * scale, options_.negligibleStep) ||
               step / law.p <= headBalance_;
    }

    // Balances every junction exactly. Newton's last flows balance only to the rounding of the
    // linear solve (some 1e-11 of the flows), and a terminal dried after the solve leaves its
    // flow behind; so each junction's link towards the source, along a spanning tree of the open
    // sections grown from the known heads, is made to carry what the junction's other links and
    // terminal leave, the farthest junctions first. On a tree each section then carries what it
    // feeds, summed as the tree's own walk sums it (nothing where all it feeds is dry); the laws
    // move by far less than their balance.
    void balanceJunctions() {
        const std::size_t junctions = std::size_t(net_.junctions);
        std::vector<std::vector<std::size_t>> linksAt(junctions);
        for (std::size_t k = 0; k < net_.links.size(); ++k) {
            const SolverNetwork::Link& link = net_.links[k];
            if (!carries(link))
                continue;
            linksAt[std::size_t(link.to)].push_back(k);
            if (link.from != kSource)
                linksAt[std::size_t(link.from)].push_back(k);
        }
        std::vector<double> drawn(junctions, 0.0); // by the junction's terminal
        for (std::size_t t = 0; t < net_.terminals.size(); ++t)
            drawn[std::size_t(net_.terminals[t].junction)] += terminalFlow_[t];

        std::vector<int> towardsKnown(junctions, -1); // the spanning tree's link from each junction
        std::vector<bool> seen(junctions, false);
        std::vector<int> order;
        for (const int end : net_.openEnds)
            if (reached_[std::size_t(end)]) {
                seen[std::size_t(end)] = true;
                order.push_back(end);
            }
        for (std::size_t k = 0; k < net_.links.size(); ++k) {
            const SolverNetwork::Link& link = net_.links[k];
            if (carries(link) && link.from == kSource && !seen[std::size_t(link.to)]) {
                seen[std::size_t(link.to)] = true;
                towardsKnown[std::size_t(link.to)] = int(k);
                order.push_back(link.to);
            }
        }
        for (std::size_t at = 0; at < order.size(); ++at) {
            const int j = order[at];
            for (const std::size_t k : linksAt[std::size_t(j)]) {
                const SolverNetwork::Link& link = net_.links[k];
                const int other = link.from == j ? link.to : link.from;
                if (other != kSource && !seen[std::size_t(other)]) {
                    seen[std::size_t(other)] = true;
                    towardsKnown[std::size_t(other)] = int(k);
                    order.push_back(other);
                }
            }
        }
        for (auto it = order.rbegin(); it != order.rend(); ++it) {
            const int j = *it;
            const int towards = towardsKnown[std::size_t(j)];
            if (towards < 0)
                continue;                           // an open end takes what reaches it
            double leaving = drawn[std::size_t(j)]; // through everything but the link towards the source
            for (const std::size_t k : linksAt[std::size_t(j)])
                if (int(k) != towards)
                    leaving += net_.links[k].from == j ? flow_[k] : -flow_[k];
            flow_[std::size_t(towards)] = net_.links[std::size_t(towards)].to == j ? leaving : -leaving;
        }
    }

    SolverResult& finish(SolverResult& result) {
        balanceJunctions();
        result.linkFlow = flow_;
        result.head = head_;
        result.reached = reached_;
        result.terminalFlow = terminalFlow_;
        result.dry.assign(dry_.begin(), dry_.end());
        result.sourceFlow = 0;
        for (std::size_t k = 0; k < net_.links.size(); ++k)
            if (net_.links[k].from == kSource)
                result.sourceFlow += flow_[k];
        return result;
    }

    const SolverNetwork& net_;
    const SolverOptions& options_;
    std::vector<bool> reached_;
    std::vector<int> unknown_;
    double leastGradient_ = 0;
    double headBalance_ = 0;
    int unknowns_ = 0;
    double largestFlow_ = 0;
    std::vector<double> flow_, terminalFlow_, head_;
    std::vector<char> dry_;      // by terminal (a byte each: read in every iteration)
    std::vector<char> carrying_; // by link: open, and joined to the source at both ends
    std::vector<Linearised> linkLaw_, terminalLaw_;
    std::vector<Slots> linkSlots_, terminalSlots_;
    // The tree's elimination: unknowns nearest the known heads first, each one's link up (its
    // slot, the unknown above or -1), the diagonal's slots; and each solve's working values.
    std::vector<int> treeOrder_, upSlot_, upUnknown_, diagonalSlot_;
    std::vector<double> pivot_, folded_;
    Eigen::SparseMatrix<double> matrix_;
    Eigen::VectorXd rhs_;
};

} // namespace

SolverNetwork solverNetworkOf(const Project& project) {
    return solverNetworkOf(project, double(project.supplyPressure));
}

SolverNetwork solverNetworkOf(const Project& project, double supply) {
    SolverNetwork network;
    network.junctions = project.nodeCount();
    network.sourceHead = supply;
    network.links.resize(std::size_t(network.junctions));
    for (SolverNetwork::Link& link : network.links)
        link.closed = true; // until a walk from node 1 reaches it
    std::vector<bool> onTheTree(project.NodeTable.size(), false);
    for (const int16_t i : networkPreorder(project)) {
        onTheTree[std::size_t(i)] = true;
        const Node& node = project.NodeTable[std::size_t(i)];
        SolverNetwork::Link& link = network.links[std::size_t(i - 1)];
        link.from = node.parent > 0 ? node.parent - 1 : kSource;
        link.to = i - 1;
        link.closed = node.closed;
        link.resistance = sectionResistance(project, node);
        if (node.endsInTerminal()) {
            const Terminal& terminal = project.terminalOf(node);
            network.terminals.push_back(
                {i - 1, double(terminalResistanceFor(project.terminalTypeOf(terminal).kFactor)),
                 double(terminal.height * hydraulics::kMmPerMetreOfHeight)});
        } else if (!node.continues()) {
            network.openEnds.push_back(i - 1); // discharges at height 0 through its section alone
        }
    }
    // The loop pipes follow, link nodeCount + k the k-th; one on a node the tree no longer
    // reaches joins nothing.
    for (const LoopPipe& pipe : project.loopPipes) {
        const bool joins = project.isValidNodeIndex(pipe.nodeA) && project.isValidNodeIndex(pipe.nodeB) &&
                           onTheTree[std::size_t(pipe.nodeA)] && onTheTree[std::size_t(pipe.nodeB)];
        SolverNetwork::Link link;
        link.from = joins ? pipe.nodeA - 1 : 0;
        link.to = joins ? pipe.nodeB - 1 : 0;
        link.closed = pipe.closed || !joins;
        link.resistance = joins ? sectionResistance(project, pipe.asSection()) : 0.0;
        network.links.push_back(link);
    }
    return network;
}

SolverResult SolveNetwork(const SolverNetwork& network, const SolverOptions& options) {
    return Solver(network, options).run();
}

} // namespace valmora
