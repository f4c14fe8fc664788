#pragma once

// The seven register columns every benchmark reads of a row of B_REESTR_DOC, and the checksum
// both sides of a comparison compute of them.

#include "common/DirectStatement.h"

#include <cstdint>

namespace orvelle::bench {

// Where a statement's rows hold idparent, id, childcount, name, orderview, idCONTENTS and
// ISPAPKA; throws when one is missing.
struct RegisterColumns {
    explicit RegisterColumns(const DirectStatement& statement);
    int idparent, id, childcount, name, orderview, idcontents, ispapka;
};

// What a walk over the register needs of a row.
struct RegisterRowKey {
    std::int32_t id;
    std::int32_t childcount;
};

// Reads the current row's seven columns in that order and adds each to `checksum`: the
// integers as unsigned 32-bit values, the name by its length, ISPAPKA by its low byte.
RegisterRowKey ReadRegisterRow(const DirectStatement& statement, const RegisterColumns& columns,
                               std::uint64_t& checksum);

} // namespace orvelle::bench
