// bench_compare_floor OLD NEW: the floor under orvelle-export diff, as a process of its own and as
// small as one: both registers in one statement each and every document's bytes in one pass,
// straight through the client API, on the same private copies the comparison attaches.
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
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_compare_floor OLD NEW\n");
        return 2;
    }
    std::uint64_t checksum = 0;
    std::size_t rows = 0;
    std::size_t bytes = 0;
    try {
        for (const std::string file : {argv[1], argv[2]}) {
            store::Library library;
            library.Open(file);
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
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_compare_floor: %s\n", error.what());
        return 1;
    }
    std::printf("%zu rows, %zu bytes, checksum %llu\n", rows, bytes,
                static_cast<unsigned long long>(checksum));
    return 0;
}
