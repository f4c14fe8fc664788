#include "TitleFilter.h"

#include <QKeyEvent>
#include <QTreeWidget>

namespace orvelle::forms {

TitleFilter::TitleFilter(QTreeWidget* tree, QWidget* parent) : QLineEdit(parent), tree_(tree) {
    setObjectName(QStringLiteral("TitleFilter"));
    setPlaceholderText(QStringLiteral("Фильтр по названию"));
    setClearButtonEnabled(true);
    connect(this, &QLineEdit::textChanged, this, &TitleFilter::Apply);

    // Any change to the tree's items makes the index stale; a cleared or reloaded tree also
    // ends filtering (there is nothing left to restore).
    QAbstractItemModel* model = tree->model();
    const auto stale = [this] { nodes_.clear(); };
    connect(model, &QAbstractItemModel::rowsInserted, this, stale);
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] {
        nodes_.clear();
        expandedBefore_.clear(); // some of them may be gone
    });
    connect(model, &QAbstractItemModel::rowsMoved, this, stale);
    connect(model, &QAbstractItemModel::dataChanged, this, stale);
    connect(model, &QAbstractItemModel::modelReset, this, &TitleFilter::Forget);
}

QString TitleFilter::Fold(const QString& text) {
    QString folded = text.toCaseFolded();
    folded.replace(QChar(0x0451), QChar(0x0435)); // ё → е
    return folded;
}

void TitleFilter::BuildIndex() {
    nodes_.clear();
    if (!tree_)
        return;
    // Depth first, without recursion: registers can be deep.
    struct Pending {
        QTreeWidgetItem* item;
        int parent;
    };
    std::vector<Pending> stack;
    for (int i = tree_->topLevelItemCount() - 1; i >= 0; --i)
        stack.push_back({tree_->topLevelItem(i), -1});
    while (!stack.empty()) {
        const Pending next = stack.back();
        stack.pop_back();
        const int index = static_cast<int>(nodes_.size());
        nodes_.push_back(
            {next.item, next.parent, Fold(next.item->text(0)), !next.item->isHidden()});
        for (int i = next.item->childCount() - 1; i >= 0; --i)
            stack.push_back({next.item->child(i), index});
    }
}

void TitleFilter::Apply(const QString& text) {
    if (!tree_)
        return;
    if (text.isEmpty()) {
        Restore();
        return;
    }
    if (nodes_.empty())
        BuildIndex();
    if (!filtering_) {
        filtering_ = true;
        expandedBefore_.clear();
        for (const Node& node : nodes_)
            if (node.item->childCount() > 0 && node.item->isExpanded())
                expandedBefore_.push_back(node.item);
    }

    // Children come after their parent: walking backwards settles every subtree before the
    // entry that holds it.
    const QString needle = Fold(text);
    const std::size_t count = nodes_.size();
    std::vector<char> shown(count, 0), holdsMatch(count, 0);
    for (std::size_t i = count; i-- > 0;) {
        const Node& node = nodes_[i];
        if (holdsMatch[i] || node.name.contains(needle))
            shown[i] = 1;
        if (shown[i] && node.parent >= 0)
            holdsMatch[node.parent] = 1;
    }
    // Only entries whose folder stays visible need a change: a hidden folder hides all of it.
    for (std::size_t i = 0; i < count; ++i) {
        Node& node = nodes_[i];
        if (node.parent >= 0 && !shown[node.parent])
            continue;
        if (node.shown != static_cast<bool>(shown[i])) {
            node.item->setHidden(!shown[i]);
            node.shown = shown[i];
        }
        if (shown[i] && node.item->isExpanded() != static_cast<bool>(holdsMatch[i]))
            node.item->setExpanded(holdsMatch[i]);
    }
}

void TitleFilter::Restore() {
    if (!filtering_ || !tree_)
        return;
    filtering_ = false;
    if (nodes_.empty())
        BuildIndex();
    for (Node& node : nodes_)
        if (!node.shown) {
            node.item->setHidden(false);
            node.shown = true;
        }
    tree_->collapseAll();
    for (QTreeWidgetItem* item : expandedBefore_)
        item->setExpanded(true);
    expandedBefore_.clear();
    if (QTreeWidgetItem* current = tree_->currentItem())
        tree_->scrollToItem(current);
}

void TitleFilter::Forget() {
    nodes_.clear();
    expandedBefore_.clear();
    filtering_ = false;
    const QSignalBlocker quiet(this);
    clear();
}

void TitleFilter::keyPressEvent(QKeyEvent* event) {
    // Down moves on into the tree; Escape empties the field.
    if (event->key() == Qt::Key_Down && tree_) {
        tree_->setFocus(Qt::TabFocusReason);
        return;
    }
    if (event->key() == Qt::Key_Escape && !text().isEmpty()) {
        clear();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace orvelle::forms
