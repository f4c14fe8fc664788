#include "Searcher.h"

#include "CodeTerms.h"
#include "IndexHealth.h"
#include "IndexSchema.h"
#include "RussianStem.h"
#include "TextFolding.h"
#include "WordBeginnings.h"

#include <QRegularExpression>

#include <xapian.h>

#include <cstdlib>
#include <optional>

namespace orvelle::search {

namespace {

constexpr std::size_t kSnippetBytes = 360;
// Matches are counted exactly up to this many; above it they are estimated.
constexpr Xapian::doccount kCountedMatches = 2000;
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
    SearchSummary last;

    // The index as it is now; false when there is none yet. Raises SearchError when it is there
    // but cannot be read.
    bool Refresh() {
        try {
            if (index) {
                index->reopen();
            } else {
                index.emplace(folder);
            }
            return true;
        } catch (const Xapian::DatabaseNotFoundError&) {
            index.reset();
            return false;
        } catch (const Xapian::Error& error) {
            index.reset(); // perhaps built anew in its place: opened afresh next time
            throw SearchError("the index cannot be read: " + error.get_description(),
                              IsDamage(error));
        }
    }

    Xapian::Query ParseWords(const QString& text, bool partial) {
        // Word beginnings are looked up among the word forms the index has met. (The parser
        // only borrows its field processors: they outlive it.)
        BeginningProcessor beginning(*index, stemmer, false);
        BeginningProcessor typed(*index, stemmer, true);
        Xapian::QueryParser parser;
        parser.set_stemmer(stemmer);
        parser.set_stemming_strategy(Xapian::QueryParser::STEM_ALL_Z);
        parser.set_default_op(Xapian::Query::OP_AND);
        parser.set_database(*index);
        parser.add_prefix(kBeginningField, &beginning);
        parser.add_prefix(kTypedField, &typed);
        const std::string marked = MarkWordBeginnings(text, partial);
        try {
            return parser.parse_query(marked, Xapian::QueryParser::FLAG_PHRASE |
                                                  Xapian::QueryParser::FLAG_LOVEHATE);
        } catch (const Xapian::QueryParserError&) {
            // Stray operators or quotes: take the words as they are.
            return parser.parse_query(marked, 0);
        }
    }

    Xapian::Query Build(const QString& typed, bool partial) {
        // In lower case: the parser leaves capitalised words unstemmed, taking them for names.
        QString rest = FoldYo(typed).toLower();
        std::vector<Xapian::Query> parts;
        for (const Code& code : FindCodes(rest.toStdString())) {
            // The code's own term, or its digit groups as a phrase: "01-01" still finds
            // "01-01-003-02".
            parts.push_back(Xapian::Query(
                Xapian::Query::OP_OR,
                Xapian::Query(Xapian::Query::OP_OR, Xapian::Query(CodeTerm(code.whole)),
                              Xapian::Query(CodeTerm(code.digits))),
                ParseWords(QLatin1Char('"') + Utf8(code.text) + QLatin1Char('"'), false)));
            rest.replace(QString::fromStdString(code.text), QStringLiteral(" "));
        }
        const QString words = rest.trimmed();
        if (!words.isEmpty()) {
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
    impl_->last = SearchSummary();
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
                impl_->last.understood = query.trimmed().isEmpty();
                return hits;
            }
            Xapian::Enquire enquire(*impl_->index);
            enquire.set_weighting_scheme(Xapian::BM25Weight());
            enquire.set_query(parsed);
            const Xapian::MSet found =
                enquire.get_mset(0, static_cast<Xapian::doccount>(options.limit), kCountedMatches);
            impl_->last.exact = found.get_matches_lower_bound() == found.get_matches_upper_bound();
            impl_->last.matches = static_cast<int>(found.get_matches_lower_bound());
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
                throw SearchError(
                    "the index kept changing during the search: " + error.get_description(), false);
            }
        } catch (const Xapian::Error& error) {
            impl_->index.reset();
            throw SearchError("the index cannot be read: " + error.get_description(),
                              IsDamage(error));
        }
    }
}

const SearchSummary& Searcher::LastSearch() const {
    return impl_->last;
}

int Searcher::DocumentCount() {
    try {
        return impl_->Refresh() ? static_cast<int>(impl_->index->get_doccount()) : 0;
    } catch (const Xapian::Error&) {
        return 0;
    } catch (const SearchError&) {
        return 0;
    }
}

bool Searcher::Complete() {
    try {
        return impl_->Refresh() && impl_->index->get_metadata(kMetaComplete) == "1";
    } catch (const Xapian::Error&) {
        return false;
    } catch (const SearchError&) {
        return false;
    }
}

} // namespace orvelle::search
