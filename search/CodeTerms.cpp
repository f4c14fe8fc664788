#include "CodeTerms.h"

#include "IndexSchema.h"

#include <QRegularExpression>

namespace orvelle::search {

std::vector<Code> FindCodes(const QString& text) {
    // A letter prefix of up to eight letters that starts a word, then digit groups with at
    // least one hyphen or dot between them.
    static const QRegularExpression pattern(
        QStringLiteral("(?<![\\w])(?:(\\p{L}{1,8}) ?)?(\\d+(?:[-.]\\d+)+)(?![\\w])"),
        QRegularExpression::UseUnicodePropertiesOption);
    std::vector<Code> codes;
    auto it = pattern.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        Code code;
        code.text = match.captured(0);
        code.digits = match.captured(2).toStdString();
        code.whole = (match.captured(1).toLower() + match.captured(2)).toStdString();
        codes.push_back(std::move(code));
    }
    return codes;
}

std::string CodeTerm(const std::string& normalised) {
    return kCodePrefix + normalised;
}

} // namespace orvelle::search
