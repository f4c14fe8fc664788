#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace orvelle::forms {

// How the tree marks what became of an entry between two editions (the store's EntryChange
// bits): a colour for each kind of change, worn by the entry's name and by small squares on its
// picture, and named in a legend.
struct ChangeMark {
    unsigned change;
    QColor colour;
    QString legend;
};

// New, changed, renamed, moved, removed: the order of precedence for the name's colour.
const ChangeMark* ChangeMarks(int* count);

// The colour of the name of an entry with `changes`; invalid when it has none.
QColor ChangeColour(unsigned changes);

// `picture` (16 x 16) with a square of each change's colour down its right edge.
QIcon MarkedIcon(const QPixmap& picture, unsigned changes);

// What became of the entry, for its tooltip: one line per change ("переименован, было: «…»").
QString DescribeChanges(unsigned changes, const QString& oldName, const QString& oldFolder);

// The legend as rich text of our own (no text from a library).
QString ChangeLegend();

} // namespace orvelle::forms
