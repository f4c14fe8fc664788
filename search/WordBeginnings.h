#pragma once

// Xapian first: it names a member "slots", which Qt's keywords would take.
#include <xapian.h>

#include <QString>

#include <string>
#include <vector>

namespace orvelle::search {

// The index holds words as stems only, so a word's beginning cannot be looked up among its
// terms: «смет*» must find «сметный», whose term is its stem. Every word form the index has
// met is therefore kept in its synonym table, mapped to its stem term; a beginning finds the
// stem terms that start with it and those of the forms that start with it.

struct WordForm {
    std::string word; // lower case, as the term generator met it
    std::string stem; // its stem, without the term prefix
};

// Keeps `forms` in a shard (again, for forms it already holds: nothing changes).
void AddWordForms(Xapian::WritableDatabase& shard, const std::vector<WordForm>& forms);

// The query text (lower case) with each word followed by "*" handed to kBeginningField, and,
// with `lastWordTyped`, a last word still being typed (nothing after it) to kTypedField. Words
// inside quotes, or joined to the word before them, stay as they are (and a "*" after them is
// ignored).
inline constexpr const char* kBeginningField = "orvellebeginning";
inline constexpr const char* kTypedField = "orvelletyped";
std::string MarkWordBeginnings(const QString& query, bool lastWordTyped);

// The query parser's part for the two fields: kBeginningField's value is a beginning, that of
// kTypedField a word or the beginning of a longer one. A beginning finds, as one term for
// ranking, the stems that start with it (the 64 most frequent) and those of the word forms
// that start with it.
class BeginningProcessor : public Xapian::FieldProcessor {
public:
    BeginningProcessor(const Xapian::Database& index, const Xapian::Stem& stemmer, bool typed)
        : index_(index), stemmer_(stemmer), typed_(typed) {}
    Xapian::Query operator()(const std::string& value) override;

private:
    const Xapian::Database& index_;
    Xapian::Stem stemmer_;
    bool typed_;
};

} // namespace orvelle::search
