#include "RussianStem.h"

#include <QString>

namespace orvelle::search {

namespace {

bool IsRussianVowel(QChar c) {
    return QStringLiteral("аеиоуыэюяё").contains(c);
}

class FleetingVowelStem final : public Xapian::StemImplementation {
public:
    std::string operator()(const std::string& word) override {
        std::string stem = snowball_(word);
        QString text = QString::fromStdString(stem);
        const qsizetype n = text.size();
        // At least four letters stay, the last before the vowel a consonant.
        if (n >= 6 && !IsRussianVowel(text[n - 3]) && text[n - 3].isLetter() &&
            (text.endsWith(QStringLiteral("ок")) || text.endsWith(QStringLiteral("ек")) ||
             text.endsWith(QStringLiteral("ец")))) {
            text.remove(n - 2, 1);
            stem = text.toStdString();
        }
        return stem;
    }
    std::string get_description() const override { return "russian-fleeting-vowel"; }

private:
    Xapian::Stem snowball_{"russian"};
};

} // namespace

Xapian::Stem RussianStemmer() {
    return Xapian::Stem(new FleetingVowelStem);
}

} // namespace orvelle::search
