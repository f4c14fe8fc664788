#include "ChangeMarks.h"

#include "store/LibraryComparison.h"

#include <QPainter>
#include <QPixmap>
#include <QStringList>

namespace orvelle::forms {

const ChangeMark* ChangeMarks(int* count) {
    static const ChangeMark marks[] = {
        {store::kAdded, QColor(0x15, 0x80, 0x3d), QStringLiteral("новый")},
        {store::kChanged, QColor(0xc2, 0x41, 0x0c), QStringLiteral("изменён")},
        {store::kRenamed, QColor(0x7e, 0x22, 0xce), QStringLiteral("переименован")},
        {store::kMoved, QColor(0x1d, 0x4e, 0xd8), QStringLiteral("перемещён")},
        {store::kRemoved, QColor(0x9c, 0xa3, 0xaf), QStringLiteral("удалён")},
    };
    *count = static_cast<int>(std::size(marks));
    return marks;
}

QColor ChangeColour(unsigned changes) {
    int count = 0;
    const ChangeMark* marks = ChangeMarks(&count);
    for (int i = 0; i < count; ++i) {
        if (changes & marks[i].change) {
            return marks[i].colour;
        }
    }
    return {};
}

QIcon MarkedIcon(const QPixmap& picture, unsigned changes) {
    if (changes == 0) {
        return QIcon(picture);
    }
    QPixmap marked = picture;
    QPainter painter(&marked);
    int count = 0;
    const ChangeMark* marks = ChangeMarks(&count);
    int top = 0;
    for (int i = 0; i < count; ++i) {
        if (changes & marks[i].change) {
            painter.fillRect(11, top, 5, 5, marks[i].colour);
            top += 5;
        }
    }
    return QIcon(marked);
}

QString DescribeChanges(unsigned changes, const QString& oldName, const QString& oldFolder) {
    QStringList lines;
    if (changes & store::kAdded) {
        lines << QStringLiteral("новый");
    }
    if (changes & store::kRemoved) {
        lines << QStringLiteral("удалён");
    }
    if (changes & store::kChanged) {
        lines << QStringLiteral("изменён текст");
    }
    if (changes & store::kRenamed) {
        lines << QStringLiteral("переименован, было: «%1»").arg(oldName);
    }
    if (changes & store::kMoved) {
        lines << QStringLiteral("перемещён, был в: %1")
                     .arg(oldFolder.isEmpty() ? QStringLiteral("верхнем уровне")
                                              : QStringLiteral("«%1»").arg(oldFolder));
    }
    return lines.join(QChar('\n'));
}

QString ChangeLegend() {
    int count = 0;
    const ChangeMark* marks = ChangeMarks(&count);
    QStringList items;
    for (int i = 0; i < count; ++i) {
        items << QStringLiteral("<span style=\"color:%1\">&#9632;&nbsp;%2</span>")
                     .arg(marks[i].colour.name(), marks[i].legend);
    }
    return items.join(QStringLiteral(" "));
}

} // namespace orvelle::forms
