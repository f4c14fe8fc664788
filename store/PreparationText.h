#pragma once

#include <cstdint>
#include <string>

namespace orvelle::store {

// What the window's status bar and orvelle-export say while a library is being made ready,
// UTF-8: «Подготовка библиотеки: 412 из 1024 МБ».
inline std::string PreparationText(std::uint64_t done, std::uint64_t total) {
    const auto megabytes = [](std::uint64_t bytes) {
        return std::to_string((bytes + (std::uint64_t(1) << 19)) >> 20);
    };
    return "Подготовка библиотеки: " + megabytes(done) + " из " + megabytes(total) + " МБ";
}

} // namespace orvelle::store
