#include "common/RegisterColumns.h"

namespace orvelle::bench {

RegisterColumns::RegisterColumns(const DirectStatement& s)
    : idparent(s.Column("idparent")), id(s.Column("id")), childcount(s.Column("childcount")),
      name(s.Column("name")), orderview(s.Column("orderview")), idcontents(s.Column("idCONTENTS")),
      ispapka(s.Column("ISPAPKA")) {}

RegisterRowKey ReadRegisterRow(const DirectStatement& s, const RegisterColumns& c,
                               std::uint64_t& checksum) {
    checksum += static_cast<std::uint32_t>(s.Integer(c.idparent));
    const std::int32_t id = s.Integer(c.id);
    checksum += static_cast<std::uint32_t>(id);
    const std::int32_t childcount = s.Integer(c.childcount);
    checksum += static_cast<std::uint32_t>(childcount);
    checksum += s.Text(c.name).size();
    checksum += static_cast<std::uint32_t>(s.Integer(c.orderview));
    checksum += static_cast<std::uint32_t>(s.Integer(c.idcontents));
    checksum += static_cast<std::uint8_t>(s.Integer(c.ispapka));
    return {id, childcount};
}

} // namespace orvelle::bench
