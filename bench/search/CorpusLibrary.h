#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace orvelle::bench {

// A library of `documents` documents of the Russian corpus in folders of 500, each about
// `documentBytes` of HTML: document n (0-based) has the text of corpus document textOf(n), n when
// no function is given. Register ids: each folder, then its documents, counting from 1.
void GenerateCorpusLibrary(const std::string& path, int documents, std::size_t documentBytes,
                           const std::function<std::uint32_t(std::uint32_t)>& textOf = {});

} // namespace orvelle::bench
