#include "TitleFilter.h"

#include <QKeyEvent>
#include <QScopedValueRollback>
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
        openedByFilter_.clear(); // some of them may be gone
    });
    connect(tree, &QTreeWidget::itemExpanded, this, &TitleFilter::Opened);
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
    children_.clear();
    childStart_.clear();
    topLevel_.clear();
    nodeOf_.clear();
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
    // Each entry's children, in display order, as one array cut into runs.
    const std::size_t count = nodes_.size();
    childStart_.assign(count + 1, 0);
    for (const Node& node : nodes_)
        if (node.parent >= 0)
            ++childStart_[node.parent + 1];
    for (std::size_t i = 0; i < count; ++i)
        childStart_[i + 1] += childStart_[i];
    children_.resize(childStart_[count]);
    std::vector<int> filled(childStart_.begin(), childStart_.end() - 1);
    nodeOf_.reserve(static_cast<qsizetype>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const int parent = nodes_[i].parent;
        if (parent >= 0)
            children_[filled[parent]++] = static_cast<int>(i);
        else
            topLevel_.push_back(static_cast<int>(i));
        nodeOf_.insert(nodes_[i].item, static_cast<int>(i));
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
    filtering_ = true;

    // Children come after their parent: walking backwards settles every subtree before the
    // entry that holds it.
    const QString needle = Fold(text);
    const std::size_t count = nodes_.size();
    shown_.assign(count, 0);
    holdsMatch_.assign(count, 0);
    std::size_t matches = 0;
    for (std::size_t i = count; i-- > 0;) {
        const Node& node = nodes_[i];
        if (node.name.contains(needle)) {
            shown_[i] = 1;
            ++matches;
        } else if (holdsMatch_[i]) {
            shown_[i] = 1;
        }
        if (shown_[i] && node.parent >= 0)
            holdsMatch_[node.parent] = 1;
    }
    openToMatches_ = matches <= kOpenLimit;
    Show(topLevel_);
}

void TitleFilter::Show(const std::vector<int>& start) {
    // Only what can be seen is brought up to date: the entries of the top level and of open
    // folders. A folder opened later gets its turn then (see Opened).
    const QScopedValueRollback<bool> busy(showing_, true);
    std::vector<int> stack(start.rbegin(), start.rend());
    while (!stack.empty()) {
        const int i = stack.back();
        stack.pop_back();
        Node& node = nodes_[i];
        const bool shown = shown_[i];
        if (node.shown != shown) {
            node.item->setHidden(!shown);
            node.shown = shown;
        }
        if (!shown || childStart_[i] == childStart_[i + 1])
            continue;
        bool open = node.item->isExpanded();
        if (!open && openToMatches_ && holdsMatch_[i]) {
            node.item->setExpanded(true);
            openedByFilter_.push_back(node.item);
            open = true;
        }
        if (open)
            for (int c = childStart_[i + 1]; c-- > childStart_[i];)
                stack.push_back(children_[c]);
    }
}

void TitleFilter::Opened(QTreeWidgetItem* item) {
    if (!filtering_ || showing_ || nodes_.empty())
        return;
    const auto found = nodeOf_.constFind(item);
    if (found == nodeOf_.constEnd())
        return;
    const int i = *found;
    Show(std::vector<int>(children_.begin() + childStart_[i],
                          children_.begin() + childStart_[i + 1]));
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
    // The folders the filter opened close again; those the reader had open stay open.
    for (QTreeWidgetItem* item : openedByFilter_)
        item->setExpanded(false);
    openedByFilter_.clear();
    if (QTreeWidgetItem* current = tree_->currentItem())
        tree_->scrollToItem(current);
}

void TitleFilter::Forget() {
    nodes_.clear();
    openedByFilter_.clear();
    filtering_ = false;
    const QSignalBlocker quiet(this);
    clear();
}

void TitleFilter::focusInEvent(QFocusEvent* event) {
    // The reader is about to type: index the tree now rather than on the first letter.
    if (nodes_.empty())
        BuildIndex();
    QLineEdit::focusInEvent(event);
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
