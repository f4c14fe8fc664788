#include "Searcher.h"

#include "CodeTerms.h"
#include "IndexSchema.h"
#include "RussianStem.h"
#include "TextFolding.h"

#include <QRegularExpression>

#include <xapian.h>

#include <cstdlib>
#include <optional>

namespace orvelle::search {

namespace {

constexpr std::size_t kSnippetBytes = 360;
const char* const kMarkStart = "<mark>";
const char* const kMarkEnd = "</mark>";

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList MarkedWords(const QString& snippet) {
    static const QRegularExpression marked(QStringLiteral("<mark>(.*?)</mark>"));
    QStringList words;
    for (auto it = marked.globalMatch(snippet); it.hasNext();) {
        QString word = it.next().captured(1);
        word.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
            .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
            .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
            .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        if (!words.contains(word)) {
            words.append(word);
        }
    }
    return words;
}

} // namespace

struct Searcher::Impl {
    std::string folder;
    std::optional<Xapian::Database> index;
    Xapian::Stem stemmer = RussianStemmer();

    // The index as it is now; false when there is none yet (none built, or one of another
    // format that the next build replaces). Raises the index's other errors.
    bool Refresh() {
        try {
            if (index) {
                index->reopen();
            } else {
                index.emplace(folder);
            }
            return true;
        } catch (const Xapian::DatabaseOpeningError&) {
            index.reset();
            return false;
        } catch (const Xapian::Error&) {
            index.reset();
            throw;
        }
    }

    Xapian::Query ParseWords(const std::string& text, bool partial) {
        Xapian::QueryParser parser;
        parser.set_stemmer(stemmer);
        parser.set_stemming_strategy(Xapian::QueryParser::STEM_SOME);
        parser.set_default_op(Xapian::Query::OP_AND);
        parser.set_database(*index);
        parser.set_max_expansion(64, Xapian::Query::WILDCARD_LIMIT_MOST_FREQUENT);
        unsigned flags = Xapian::QueryParser::FLAG_PHRASE | Xapian::QueryParser::FLAG_LOVEHATE;
        if (partial) {
            flags |= Xapian::QueryParser::FLAG_PARTIAL;
        }
        try {
            return parser.parse_query(text, flags);
        } catch (const Xapian::QueryParserError&) {
            // Stray operators or quotes: take the words as they are.
            return parser.parse_query(text, 0);
        }
    }

    Xapian::Query Build(const QString& typed, bool partial) {
        // In lower case: the parser leaves capitalised words unstemmed, taking them for names.
        QString rest = FoldYo(typed).toLower();
        std::vector<Xapian::Query> parts;
        for (const Code& code : FindCodes(rest)) {
            // The code's own term, or its digit groups as a phrase: "01-01" still finds
            // "01-01-003-02".
            parts.push_back(Xapian::Query(Xapian::Query::OP_OR,
                                          Xapian::Query(Xapian::Query::OP_OR,
                                                        Xapian::Query(CodeTerm(code.whole)),
                                                        Xapian::Query(CodeTerm(code.digits))),
                                          ParseWords('"' + code.text.toStdString() + '"', false)));
            rest.replace(code.text, QStringLiteral(" "));
        }
        const std::string words = rest.trimmed().toStdString();
        if (!words.empty()) {
            Xapian::Query parsed = ParseWords(words, partial);
            if (!parsed.empty()) {
                parts.push_back(parsed);
            }
        }
        if (parts.empty()) {
            return Xapian::Query();
        }
        return Xapian::Query(Xapian::Query::OP_AND, parts.begin(), parts.end());
    }
};

Searcher::Searcher(const QString& indexFolder) : impl_(std::make_unique<Impl>()) {
    impl_->folder = indexFolder.toStdString();
}

Searcher::~Searcher() = default;

std::vector<SearchHit> Searcher::Search(const QString& query, const SearchOptions& options) {
    std::vector<SearchHit> hits;
    if (options.limit <= 0) {
        return hits;
    }
    // A build that commits meanwhile may pull the ground from under a reader: try again on the
    // newer state, a few times.
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        try {
            if (!impl_->Refresh()) {
                return hits; // nothing indexed (any more)
            }
            const Xapian::Query parsed = impl_->Build(query, options.partialLastWord);
            if (parsed.empty()) {
                return hits;
            }
            Xapian::Enquire enquire(*impl_->index);
            enquire.set_weighting_scheme(Xapian::BM25Weight());
            enquire.set_query(parsed);
            const Xapian::MSet found =
                enquire.get_mset(0, static_cast<Xapian::doccount>(options.limit));
            hits.clear();
            for (auto it = found.begin(); it != found.end(); ++it) {
                const std::string data = it.get_document().get_data();
                const std::size_t nameAt = data.find('\n');
                const std::size_t pathAt = data.find('\n', nameAt + 1);
                const std::size_t textAt = data.find('\n', pathAt + 1);
                if (nameAt == std::string::npos || pathAt == std::string::npos ||
                    textAt == std::string::npos) {
                    continue; // not written by this program
                }
                SearchHit hit;
                hit.id = std::atoi(data.c_str());
                hit.score = it.get_weight();
                hit.name = Utf8(data.substr(nameAt + 1, pathAt - nameAt - 1));
                hit.path = Utf8(data.substr(pathAt + 1, textAt - pathAt - 1));
                // Matches are marked by the query's own terms; no background statistics, which
                // would cost a lookup in the index for every word of the text.
                hit.snippet =
                    Utf8(found.snippet(data.substr(textAt + 1), kSnippetBytes, impl_->stemmer,
                                       Xapian::MSet::SNIPPET_EXHAUSTIVE, kMarkStart, kMarkEnd, "…"))
                        .simplified();
                hit.matches = MarkedWords(hit.snippet);
                hits.push_back(std::move(hit));
            }
            return hits;
        } catch (const Xapian::DatabaseModifiedError& error) {
            if (attempt == kAttempts) {
                throw SearchError("the index kept changing during the search: " +
                                  error.get_description());
            }
        } catch (const Xapian::Error& error) {
            throw SearchError("the index cannot be read: " + error.get_description());
        }
    }
}

int Searcher::DocumentCount() {
    try {
        return impl_->Refresh() ? static_cast<int>(impl_->index->get_doccount()) : 0;
    } catch (const Xapian::Error&) {
        return 0;
    }
}

bool Searcher::Complete() {
    try {
        return impl_->Refresh() && impl_->index->get_metadata(kMetaComplete) == "1";
    } catch (const Xapian::Error&) {
        return false;
    }
}

} // namespace orvelle::search
