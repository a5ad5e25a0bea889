// make_hostile_opts: writes every worst case of hostile_models.h as OUTPUT_DIR/<name>.opt,
// for bench/hostile-timing, which converts each one and measures it.
//
// Usage: make_hostile_opts OUTPUT_DIR
#include <cstdio>
#include <fstream>
#include <string>

#include "hostile_models.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_hostile_opts OUTPUT_DIR\n");
        return 2;
    }
    bool ok = true;
    for (const kesh::test::HostileCase& hostile : kesh::test::HostileCases()) {
        const std::string path = std::string(argv[1]) + "/" + hostile.name + ".opt";
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(hostile.bytes.data()),
                  static_cast<std::streamsize>(hostile.bytes.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "make_hostile_opts: cannot write %s\n", path.c_str());
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
