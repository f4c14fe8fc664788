#include "DocumentIndexer.h"

#include "CodeTerms.h"
#include "HtmlText.h"
#include "IndexSchema.h"
#include "ReaderText.h"
#include "RussianStem.h"
#include "TextFolding.h"
#include "platform/AnsiText.h"
#include "store/NormalizedText.h"

#include <QByteArray>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace orvelle::search {

namespace {

std::uint64_t Fnv1a(std::uint64_t hash, std::string_view bytes) {
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

// At most `limit` bytes of UTF-8 text, cut before a character, never inside one.
std::string CutUtf8(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

std::string Hex(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::string OneLine(QString text) {
    return text.replace(QChar('\n'), QChar(' ')).replace(QChar('\r'), QChar(' ')).toStdString();
}

std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

void AddCodeTerms(Xapian::Document& document, std::string_view text) {
    for (const Code& code : FindCodes(text)) {
        document.add_term(CodeTerm(code.whole));
        document.add_term(CodeTerm(code.digits));
    }
}

} // namespace

std::string Fingerprint(const SnapshotEntry& entry, const std::string& content) {
    std::uint64_t hash = 14695981039346656037ULL;
    hash = Fnv1a(hash, kSchemaVersion);
    hash = Fnv1a(hash, std::string_view("\0", 1));
    hash = Fnv1a(hash, entry.name);
    hash = Fnv1a(hash, std::string_view("\0", 1));
    hash = Fnv1a(hash, entry.path.toStdString());
    hash = Fnv1a(hash, std::string_view("\0", 1));
    hash = Fnv1a(hash, content);
    return std::to_string(hash) + ':' + std::to_string(content.size());
}

DocumentIndexer::DocumentIndexer() {
    generator_.set_stemmer(RussianStemmer([this](const std::string& word, const std::string& stem) {
        newForms_.push_back({word, stem});
    }));
    // Stems alone, with positions: phrases match in any word form, and the index is half the
    // size it would be with each form as a term of its own.
    generator_.set_stemming_strategy(Xapian::TermGenerator::STEM_ALL_Z);
}

std::vector<WordForm> DocumentIndexer::TakeNewWordForms() {
    return std::exchange(newForms_, {});
}

Xapian::Document DocumentIndexer::Make(const SnapshotEntry& entry, const std::string& content,
                                       const std::string& fingerprint) {
    // Straight to UTF-8, «ё» folded after the markup is read (character references too). The
    // text as a reader sees it gives the fingerprint a comparison of editions reads; the index
    // itself holds it with «ё» folded.
    const std::string name = platform::AnsiToUtf8(entry.name);
    std::string foldedName = name;
    FoldYo(foldedName);
    HtmlText text = ExtractHtmlText(ReaderHtml(content));
    const std::uint64_t textFingerprint = store::ReaderTextFingerprint(text.body);
    FoldYo(text.title);
    FoldYo(text.headings);
    FoldYo(text.body);

    Xapian::Document document;
    generator_.set_document(document);
    generator_.index_text(foldedName, kNameWeight);
    generator_.increase_termpos();
    generator_.index_text(text.title, kNameWeight);
    generator_.increase_termpos();
    generator_.index_text(text.headings, kHeadingWeight);
    generator_.increase_termpos();
    generator_.index_text(text.body, kBodyWeight);
    // The generator lets go of the document: it is written on another thread.
    generator_.set_document(Xapian::Document());

    AddCodeTerms(document, foldedName);
    AddCodeTerms(document, text.title);
    AddCodeTerms(document, text.body);

    const std::string idTerm = kIdPrefix + std::to_string(entry.id);
    document.add_boolean_term(idTerm);
    document.add_value(kSlotFingerprint, fingerprint);
    document.add_value(kSlotTextFingerprint, Hex(textFingerprint));
    document.set_data(std::to_string(entry.id) + '\n' + OneLine(name) + '\n' + OneLine(entry.path) +
                      '\n' + CutUtf8(text.body, kSnippetTextLimit));
    return document;
}

} // namespace orvelle::search
