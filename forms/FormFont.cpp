#include "FormFont.h"

#include <QFontDatabase>
#include <QStringList>

namespace orvelle::forms {

QFont FormFont() {
    const QString classic = QStringLiteral("MS Sans Serif");
    QFont font = QFontDatabase::families().contains(classic, Qt::CaseInsensitive)
                     ? QFont(classic)
                     : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(8);
    font.setBold(false);
    font.setItalic(false);
    return font;
}

} // namespace orvelle::forms
