// The worst inputs of at most 1 MiB that we know for one conversion, made with the project's
// OPT writer: huge counts, deep, cyclic and shared node tables, LOD numbers far beyond any
// model, and textures that claim images they do not hold. The resource-bound tests convert
// each of them; make_hostile_opts writes them out for bench/hostile-timing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kesh::test {

inline constexpr size_t kHostileMaxBytes = 1 << 20;

struct HostileCase {
    std::string name;  // also the file name stem
    std::vector<uint8_t> bytes;
    bool damaged = true;  // whether the reader must report the load as damaged
};

// The names of the cases, in a fixed order.
std::vector<std::string> HostileCaseNames();

// The case of that name (std::invalid_argument for an unknown name), at most
// kHostileMaxBytes long. The output is the same on every call.
HostileCase MakeHostileCase(const std::string& name);

// Every case, in the order of HostileCaseNames.
std::vector<HostileCase> HostileCases();

}  // namespace kesh::test
