// The tree's context menu: the entries' own commands (favourites, sections). The menu shows the
// tree's actions for the entry under the mouse, which a right click has made the current one;
// other commands add their actions the same way.
#include "Unit2.h"

#include "ErrorDisplay.h"
#include "Favourites.h"
#include "RegisterTreeItem.h"
#include "SectionCommands.h"
#include "platform/AnsiText.h"

#include <QAction>
#include <QTreeWidget>

namespace orvelle::forms {

void TForm2::BuildTreeMenu() {
    TreeView1->setContextMenuPolicy(Qt::ActionsContextMenu);
    const auto add = [this](const QString& text, const char* name, auto command) {
        auto* action = new QAction(text, TreeView1);
        action->setObjectName(QLatin1String(name));
        TreeView1->addAction(action);
        connect(action, &QAction::triggered, this, [this, command] {
            if (TreeView1 && TreeView1->currentItem()) {
                QTreeWidgetItem* item = TreeView1->currentItem();
                Guarded([&] { command(item); });
            }
        });
        return action;
    };
    add(QStringLiteral("Добавить в избранное"), "TreeAddFavourite", [this](QTreeWidgetItem* item) {
        if (const auto* entry = dynamic_cast<const RegisterTreeItem*>(item)) {
            Favourites1->Add(
                {entry->Entry().id, QString(), platform::FromAnsi(entry->Entry().name)});
        }
    });
    QAction* printSection = add(QStringLiteral("Печать раздела…"), "TreePrintSection",
                                [this](QTreeWidgetItem* item) { Sections1->PrintSection(item); });
    add(QStringLiteral("Сохранить как PDF…"), "TreeSaveAsPdf",
        [this](QTreeWidgetItem* item) { Sections1->SaveAsPdf(item); });
    add(QStringLiteral("Сохранить документ как…"), "TreeSaveDocument",
        [this](QTreeWidgetItem* item) { Sections1->SaveDocument(item); });
    // A section is a folder: its page and everything under it.
    connect(TreeView1, &QTreeWidget::currentItemChanged, printSection,
            [printSection](QTreeWidgetItem* current) {
                const auto* entry = dynamic_cast<const RegisterTreeItem*>(current);
                printSection->setEnabled(entry && entry->Entry().IsFolder());
            });
    printSection->setEnabled(false);
}

} // namespace orvelle::forms
