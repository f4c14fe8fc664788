#pragma once

// A library made for the search tests: word forms, «ё», codes, phrases, ranking, markup that
// must not be indexed, broken markup, odd bytes, a hidden branch and (optionally) a 20 MB
// document. Register ids are named below so tests can say what they expect.

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvelle::searchtest {

enum Id : std::int32_t {
    kPriceFolder = 1, // folder "Сметные нормативы"
    kPriceTitle = 11, // "Расценки на земляные работы": the word in the name and title
    kPassing = 12,     // a long text that mentions «расценкам» once
    kYoDocument = 13,  // writes «ёлка», «Ёмкость»
    kEDocument = 14,   // writes «елочный»
    kCodes = 15,       // 01-01-003-02, ФЕР 12.1, ГЭСН81-02-01-2001
    kPhrase = 16,      // "земляные работы выполняются"
    kReversed = 17,    // "работы ... земляные" (not the phrase)
    kScripts = 18,     // words only inside <script>, <style> and attributes
    kBroken = 19,      // unclosed and stray tags
    kOddBytes = 20,    // NUL and the unassigned byte 0x98 inside text
    kEscaping = 21,    // "a < b & c" next to a searched word
    kSubFolder = 2,    // folder "Подраздел" inside kPriceFolder
    kDeep = 22,        // inside kSubFolder
    kHiddenFolder = 3, // NEEDSHOW 0
    kHiddenDocument = 31,
    kHuge = 40, // 20 MB, with a rare word at its very end (only when asked for)
};

// Builds the library at `path` (a new file). `changed` rewrites kPhrase's text (the word
// «траншея» instead of «выполняются»); everything else stays byte for byte the same.
void BuildSearchLibrary(const std::string& path, bool withHuge = false, bool changed = false);

// A wide library: `documents` documents under one folder, ids 100 and up, each a few hundred
// bytes, but the last one filled up to `lastDocumentBytes` when that is larger.
void BuildWideLibrary(const std::string& path, int documents, std::size_t lastDocumentBytes = 0);

// A library of documents written to hurt a parser (nesting a hundred thousand to a million
// deep, misnested formatting, an unclosed comment, a 32 MB attribute), each ending in the word
// «хвост» and its number («хвост1»…), beside one plain document, kPriceTitle, «расценки».
void BuildHostileLibrary(const std::string& path);
inline constexpr int kHostileDocuments = 6;

} // namespace orvelle::searchtest
