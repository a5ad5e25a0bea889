// Packing the nodes of a model into the hierarchy nodes the engine has room for.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <queue>
#include <vector>

#include "core/engine_limits.h"
#include "fit/fit_internal.h"

namespace kesh::fit {

namespace {

// Above this many nodes, runs along a space-filling curve are merged before pairs are: the
// pair queue holds every pair of nodes.
constexpr size_t kMaxPairNodes = 384;

struct Counts {
    int64_t vertices = 0;
    int64_t texCoords = 0;
    int64_t faces = 0;
};

struct Group {
    std::vector<size_t> members;
    std::vector<Counts> sets;  // one per geometry set
    std::array<double, 3> low{};
    std::array<double, 3> high{};
    bool hasBox = false;
    bool alive = true;
    uint32_t version = 0;
};

bool Fits(const Group& a, const Group& b) {
    for (size_t g = 0; g < a.sets.size(); ++g) {
        if (a.sets[g].vertices + b.sets[g].vertices > kMaxEngineVertices ||
            a.sets[g].texCoords + b.sets[g].texCoords > kMaxEngineTextureVertices ||
            a.sets[g].faces + b.sets[g].faces > kMaxEngineFaces) {
            return false;
        }
    }
    return true;
}

void Absorb(Group& into, Group& from) {
    into.members.insert(into.members.end(), from.members.begin(), from.members.end());
    for (size_t g = 0; g < into.sets.size(); ++g) {
        into.sets[g].vertices += from.sets[g].vertices;
        into.sets[g].texCoords += from.sets[g].texCoords;
        into.sets[g].faces += from.sets[g].faces;
    }
    if (from.hasBox) {
        for (size_t a = 0; a < 3; ++a) {
            into.low[a] = into.hasBox ? std::min(into.low[a], from.low[a]) : from.low[a];
            into.high[a] = into.hasBox ? std::max(into.high[a], from.high[a]) : from.high[a];
        }
        into.hasBox = true;
    }
    from.alive = false;
    ++into.version;
}

std::array<double, 3> Centre(const Group& group) {
    return {(group.low[0] + group.high[0]) * 0.5, (group.low[1] + group.high[1]) * 0.5,
            (group.low[2] + group.high[2]) * 0.5};
}

double Distance(const Group& a, const Group& b) {
    const std::array<double, 3> p = Centre(a);
    const std::array<double, 3> q = Centre(b);
    const double d = (p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) +
                     (p[2] - q[2]) * (p[2] - q[2]);
    // A NaN from a hostile coordinate sorts last, not anywhere.
    return std::isnan(d) ? HUGE_VAL : d;
}

Group Summarise(const Node& node, size_t index) {
    Group group;
    group.members.push_back(index);
    group.sets.resize(node.sets.size());
    for (size_t g = 0; g < node.sets.size(); ++g) {
        const OptMesh& mesh = node.sets[g];
        group.sets[g] = {static_cast<int64_t>(mesh.vertices.size()),
                         static_cast<int64_t>(mesh.texCoords.size()),
                         static_cast<int64_t>(mesh.faces.size())};
        for (const MeshVertex& v : mesh.vertices) {
            const std::array<double, 3> p{v.x, v.y, v.z};
            for (size_t a = 0; a < 3; ++a) {
                group.low[a] = group.hasBox ? std::min(group.low[a], p[a]) : p[a];
                group.high[a] = group.hasBox ? std::max(group.high[a], p[a]) : p[a];
            }
            group.hasBox = true;
        }
    }
    return group;
}

// Spreads the low 10 bits of `value` to every third bit.
uint32_t Spread(uint32_t value) {
    value &= 0x3FF;
    value = (value | (value << 16)) & 0x030000FF;
    value = (value | (value << 8)) & 0x0300F00F;
    value = (value | (value << 4)) & 0x030C30C3;
    value = (value | (value << 2)) & 0x09249249;
    return value;
}

// Merges neighbours along the Morton order of the group centres while they fit, until at
// most kMaxPairNodes groups remain or no neighbour fits.
void MergeAlongCurve(std::vector<Group>& groups, size_t& alive) {
    std::array<double, 3> low{HUGE_VAL, HUGE_VAL, HUGE_VAL};
    std::array<double, 3> high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const Group& group : groups) {
        const std::array<double, 3> c = Centre(group);
        for (size_t a = 0; a < 3; ++a) {
            if (std::isfinite(c[a])) {
                low[a] = std::min(low[a], c[a]);
                high[a] = std::max(high[a], c[a]);
            }
        }
    }
    std::vector<uint32_t> code(groups.size());
    for (size_t i = 0; i < groups.size(); ++i) {
        const std::array<double, 3> c = Centre(groups[i]);
        uint32_t key = 0;
        for (size_t a = 0; a < 3; ++a) {
            const double span = high[a] - low[a];
            double unit = span > 0 && std::isfinite(c[a]) ? (c[a] - low[a]) / span : 0.0;
            unit = std::clamp(unit, 0.0, 1.0);
            key |= Spread(static_cast<uint32_t>(unit * 1023.0)) << a;
        }
        code[i] = key;
    }
    std::vector<size_t> order(groups.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return code[a] < code[b]; });
    size_t current = order.front();
    for (size_t n = 1; n < order.size() && alive > kMaxPairNodes; ++n) {
        Group& next = groups[order[n]];
        if (Fits(groups[current], next)) {
            Absorb(groups[current], next);
            --alive;
        } else {
            current = order[n];
        }
    }
}

struct Pair {
    double distance;
    size_t a;
    size_t b;
    uint32_t versionA;
    uint32_t versionB;
    // The priority queue pops its largest: the nearest pair, then the lowest indices.
    bool operator<(const Pair& other) const {
        if (distance != other.distance) return distance > other.distance;
        if (a != other.a) return a > other.a;
        return b > other.b;
    }
};

}  // namespace

std::vector<std::vector<size_t>> PlanPacking(const std::vector<Node>& nodes, size_t maxNodes) {
    std::vector<Group> groups;
    groups.reserve(nodes.size());
    for (size_t i = 0; i < nodes.size(); ++i)
        groups.push_back(Summarise(nodes[i], i));
    size_t alive = groups.size();
    if (alive > maxNodes && alive > kMaxPairNodes) MergeAlongCurve(groups, alive);

    if (alive > maxNodes) {
        std::priority_queue<Pair> pairs;
        auto offer = [&](size_t a, size_t b) {
            if (a > b) std::swap(a, b);
            if (Fits(groups[a], groups[b])) {
                pairs.push(
                    {Distance(groups[a], groups[b]), a, b, groups[a].version, groups[b].version});
            }
        };
        for (size_t a = 0; a < groups.size(); ++a) {
            if (!groups[a].alive) continue;
            for (size_t b = a + 1; b < groups.size(); ++b) {
                if (groups[b].alive) offer(a, b);
            }
        }
        while (alive > maxNodes && !pairs.empty()) {
            const Pair pair = pairs.top();
            pairs.pop();
            Group& a = groups[pair.a];
            Group& b = groups[pair.b];
            if (!a.alive || !b.alive || a.version != pair.versionA || b.version != pair.versionB)
                continue;
            Absorb(a, b);
            --alive;
            for (size_t c = 0; c < groups.size(); ++c) {
                if (c != pair.a && groups[c].alive) offer(pair.a, c);
            }
        }
    }

    std::vector<std::vector<size_t>> plan;
    plan.reserve(alive);
    for (Group& group : groups) {
        if (!group.alive) continue;
        std::sort(group.members.begin(), group.members.end());
        plan.push_back(std::move(group.members));
    }
    std::sort(plan.begin(), plan.end(),
              [](const std::vector<size_t>& a, const std::vector<size_t>& b) {
                  return a.front() < b.front();
              });
    return plan;
}

}  // namespace kesh::fit
