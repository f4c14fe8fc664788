#pragma once

#include <QString>

#include <cstdint>

namespace orvelle::demolibrary {

// The seed the library is built with; the same seed always gives the same catalogue.
inline constexpr std::uint32_t kCatalogueSeed = 20240611u;

// A long supplier price catalogue as one HTML page (about 4 MB once encoded): a contents
// list of the material groups at the top, then one table per group.
QString GenerateCatalogue(std::uint32_t seed = kCatalogueSeed);

} // namespace orvelle::demolibrary
