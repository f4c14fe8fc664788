#pragma once

#include <cstdint>
#include <string>

namespace orvelle::store {

// One row of the document register: a folder or a document. Attached to the tree item
// made from it and never changed after it is filled.
class TUzel {
public:
    std::int32_t idparent = 0;
    std::int32_t id = 0;
    std::int32_t childcount = 0;
    std::string name; // Windows-1251 bytes
    std::int32_t orderview = 0;
    std::int32_t idCONTENTS = 0;
    std::uint8_t ISPAPKA = 0; // low byte of the register's flag; 1 means folder

    bool IsFolder() const { return ISPAPKA == 1; }
};

} // namespace orvelle::store
