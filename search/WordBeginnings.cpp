#include "WordBeginnings.h"

#include "IndexSchema.h"

#include <set>

namespace orvelle::search {

namespace {

// Like the query parser's own expansion of a wildcard.
constexpr Xapian::termcount kMostStems = 64;
// Word forms read for one beginning, at most. Only a beginning as long as a stem needs its
// forms (below), and few forms start with one that long.
constexpr int kFormsRead = 4096;

bool IsWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c.isMark() || c == QLatin1Char('_');
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// The documents with a word that begins with `beginning`; an empty query for an empty one.
Xapian::Query WordsBeginningWith(const Xapian::Database& index, const std::string& beginning) {
    if (beginning.empty()) {
        return Xapian::Query();
    }
    const std::string stemBeginning = kStemPrefix + beginning;
    // Stems that do not start with the beginning, of forms that do («сметы*»: «смет»).
    std::set<std::string> shorter;
    int read = 0;
    for (auto form = index.synonym_keys_begin(beginning);
         form != index.synonym_keys_end(beginning) && read < kFormsRead; ++form, ++read) {
        for (auto stem = index.synonyms_begin(*form); stem != index.synonyms_end(*form); ++stem) {
            if (!StartsWith(*stem, stemBeginning) && index.term_exists(*stem)) {
                shorter.insert(*stem);
            }
        }
    }
    // Stems that start with it («смет*»: «сметн»).
    std::vector<Xapian::Query> parts{Xapian::Query(Xapian::Query::OP_WILDCARD, stemBeginning,
                                                   kMostStems,
                                                   Xapian::Query::WILDCARD_LIMIT_MOST_FREQUENT)};
    for (const std::string& stem : shorter) {
        parts.emplace_back(stem);
    }
    return Xapian::Query(Xapian::Query::OP_SYNONYM, parts.begin(), parts.end());
}

} // namespace

void AddWordForms(Xapian::WritableDatabase& shard, const std::vector<WordForm>& forms) {
    for (const WordForm& form : forms) {
        shard.add_synonym(form.word, kStemPrefix + form.stem);
    }
}

std::string MarkWordBeginnings(const QString& query, bool lastWordTyped) {
    QString marked;
    bool quoted = false;
    qsizetype i = 0;
    while (i < query.size()) {
        const QChar c = query[i];
        if (!IsWordCharacter(c)) {
            quoted = quoted != (c == QLatin1Char('"'));
            marked.append(c);
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < query.size() && IsWordCharacter(query[i])) {
            ++i;
        }
        const QString word = query.mid(start, i - start);
        // A word of its own: at the start, after a blank, a bracket or a + or - before it.
        const QChar before = start > 0 ? query[start - 1] : QLatin1Char(' ');
        const bool own = !quoted && (before.isSpace() || before == QLatin1Char('(') ||
                                     ((before == QLatin1Char('+') || before == QLatin1Char('-')) &&
                                      (start < 2 || query[start - 2].isSpace())));
        if (own && i < query.size() && query[i] == QLatin1Char('*')) {
            marked += QLatin1String(kBeginningField) + QLatin1Char(':') + word;
            ++i;
        } else if (own && lastWordTyped && i == query.size()) {
            marked += QLatin1String(kTypedField) + QLatin1Char(':') + word;
        } else {
            marked += word;
        }
    }
    return marked.toStdString();
}

Xapian::Query BeginningProcessor::operator()(const std::string& value) {
    Xapian::Query beginning = WordsBeginningWith(index_, value);
    if (!typed_) {
        return beginning.empty() ? Xapian::Query::MatchNothing : beginning;
    }
    // The word as it is, or the beginning of a longer one.
    const Xapian::Query word(kStemPrefix + stemmer_(value));
    return beginning.empty() ? word : Xapian::Query(Xapian::Query::OP_SYNONYM, word, beginning);
}

} // namespace orvelle::search
