#include "ComparisonMenuItems.h"

#include "Comparison.h"

#include <QTreeWidget>

namespace orvelle::forms {

void AddComparisonMenuItems(QTreeWidget* tree, const Comparison& comparison) {
    tree->setContextMenuPolicy(Qt::ActionsContextMenu);
    tree->addAction(comparison.StartAction());
    tree->addAction(comparison.CloseAction());
}

} // namespace orvelle::forms
