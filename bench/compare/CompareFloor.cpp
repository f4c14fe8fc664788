// bench_compare_floor OLD NEW [--together]: the floor under orvelle-export diff, as a process of
// its own and as small as one: both registers in one statement each and every document's bytes in
// one pass, straight through the client API, on the same private copies the comparison attaches.
// One library after the other; with --together both stay attached from the start, as a
// comparison holds them (each attachment has a page cache of its own in the engine).
#include "DirectContents.h"
#include "common/DirectStatement.h"
#include "common/RegisterColumns.h"
#include "db/ClientLibrary.h"
#include "store/Library.h"

#include <cstdio>
#include <exception>
#include <string>

using namespace orvelle;

int main(int argc, char** argv) {
    const bool together = argc == 4 && std::string(argv[3]) == "--together";
    if (argc != 3 && !together) {
        std::fprintf(stderr, "usage: bench_compare_floor OLD NEW [--together]\n");
        return 2;
    }
    std::uint64_t checksum = 0;
    std::size_t rows = 0;
    std::size_t bytes = 0;
    try {
        store::Library libraries[2];
        if (together) {
            libraries[0].Open(argv[1]);
            libraries[1].Open(argv[2]);
        }
        for (int i = 0; i < 2; ++i) {
            store::Library& library = libraries[i];
            if (!together) {
                library.Open(argv[1 + i]);
            }
            const bench::DirectContext direct{
                db::ClientLibrary::Load(), library.Database().Handle(),
                library.Transaction().Handle(),
                static_cast<unsigned short>(library.Database().SQLDialect())};
            bench::DirectStatement reg(direct, "SELECT * FROM B_REESTR_DOC");
            const bench::RegisterColumns columns(reg);
            reg.Execute(std::nullopt);
            while (reg.Fetch()) {
                bench::ReadRegisterRow(reg, columns, checksum);
                ++rows;
            }
            bytes += bench::ReadAllContents(direct).bytes;
            if (!together) {
                library.Database().Close();
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_compare_floor: %s\n", error.what());
        return 1;
    }
    std::printf("%zu rows, %zu bytes, checksum %llu\n", rows, bytes,
                static_cast<unsigned long long>(checksum));
    return 0;
}
