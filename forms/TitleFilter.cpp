#include "TitleFilter.h"

#include "search/TextFolding.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
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

    // Said where the entries would be, so an empty tree never reads as an empty library.
    nothingFound_ = new QLabel(tree->viewport());
    nothingFound_->setObjectName(QStringLiteral("TitleFilterNothingFound"));
    nothingFound_->setTextFormat(Qt::PlainText);
    nothingFound_->setWordWrap(true);
    nothingFound_->setMargin(6);
    nothingFound_->hide();
    tree->viewport()->installEventFilter(this);
}

bool TitleFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && tree_ && watched == tree_->viewport()) {
        PlaceNothingFound();
    }
    return QLineEdit::eventFilter(watched, event);
}

void TitleFilter::PlaceNothingFound() {
    if (!nothingFound_ || !tree_) {
        return;
    }
    const int width = tree_->viewport()->width();
    nothingFound_->setGeometry(0, 0, width, nothingFound_->heightForWidth(width));
}

void TitleFilter::SayNothingFound(const QString& text) {
    if (!nothingFound_) {
        return;
    }
    nothingFound_->setVisible(!text.isEmpty());
    if (!text.isEmpty()) {
        nothingFound_->setText(QStringLiteral("Ничего не найдено по названию «%1»").arg(text));
        PlaceNothingFound();
    }
}

QString TitleFilter::Fold(const QString& text) {
    return search::FoldYo(text).toCaseFolded(); // as the search index reads names
}

// Items are reached through the view's model indexes by row, never through the items
// themselves: an item finds its own row by searching its parent's children, which on a folder
// of 100,000 entries costs more than all the rest.

void TitleFilter::BuildIndex() {
    nodes_.clear();
    children_.clear();
    childStart_.clear();
    topLevel_.clear();
    nodeOf_.clear();
    if (!tree_) {
        return;
    }
    const QAbstractItemModel* model = tree_->model();
    // Depth first, without recursion: registers can be deep.
    struct Pending {
        QTreeWidgetItem* item;
        int parent;
        int row;
        QModelIndex parentIndex;
    };
    std::vector<Pending> stack;
    for (int i = tree_->topLevelItemCount() - 1; i >= 0; --i) {
        stack.push_back({tree_->topLevelItem(i), -1, i, QModelIndex()});
    }
    while (!stack.empty()) {
        const Pending next = stack.back();
        stack.pop_back();
        const int index = static_cast<int>(nodes_.size());
        nodes_.push_back({next.item, next.parent, next.row, Fold(next.item->text(0)),
                          !tree_->isRowHidden(next.row, next.parentIndex)});
        const int childCount = next.item->childCount();
        if (childCount == 0) {
            continue;
        }
        const QModelIndex itemIndex = model->index(next.row, 0, next.parentIndex);
        for (int i = childCount - 1; i >= 0; --i) {
            stack.push_back({next.item->child(i), index, i, itemIndex});
        }
    }
    // Each entry's children, in display order, as one array cut into runs.
    const std::size_t count = nodes_.size();
    childStart_.assign(count + 1, 0);
    for (const Node& node : nodes_) {
        if (node.parent >= 0) {
            ++childStart_[node.parent + 1];
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        childStart_[i + 1] += childStart_[i];
    }
    children_.resize(childStart_[count]);
    std::vector<int> filled(childStart_.begin(), childStart_.end() - 1);
    nodeOf_.reserve(static_cast<qsizetype>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const int parent = nodes_[i].parent;
        if (parent >= 0) {
            children_[filled[parent]++] = static_cast<int>(i);
        } else {
            topLevel_.push_back(static_cast<int>(i));
        }
        nodeOf_.insert(nodes_[i].item, static_cast<int>(i));
    }
}

QModelIndex TitleFilter::IndexOf(int node) const {
    std::vector<int> rows;
    for (int i = node; i >= 0; i = nodes_[i].parent) {
        rows.push_back(nodes_[i].row);
    }
    QModelIndex index;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        index = tree_->model()->index(*row, 0, index);
    }
    return index;
}

void TitleFilter::Apply(const QString& text) {
    if (!tree_) {
        return;
    }
    if (text.isEmpty() && !keep_) {
        SayNothingFound(QString());
        Restore();
        return;
    }
    if (nodes_.empty()) {
        BuildIndex();
    }
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
        if (node.name.contains(needle) && (!keep_ || keep_(node.item))) {
            shown_[i] = 1;
            ++matches;
        } else if (holdsMatch_[i]) {
            shown_[i] = 1;
        }
        if (shown_[i] && node.parent >= 0) {
            holdsMatch_[node.parent] = 1;
        }
    }
    openToMatches_ = matches <= kOpenLimit;
    Show(topLevel_, QModelIndex());
    SayNothingFound(matches == 0 ? text : QString());
}

void TitleFilter::SetEntryFilter(std::function<bool(const QTreeWidgetItem*)> keep) {
    keep_ = std::move(keep);
    Apply(text());
}

void TitleFilter::Show(const std::vector<int>& start, const QModelIndex& parent) {
    // Only what can be seen is brought up to date: the entries of the top level and of open
    // folders. A folder opened later gets its turn then (see Opened).
    const QScopedValueRollback<bool> busy(showing_, true);
    const QAbstractItemModel* model = tree_->model();
    struct Visit {
        int node;
        QModelIndex parent;
    };
    std::vector<Visit> stack;
    for (auto i = start.rbegin(); i != start.rend(); ++i) {
        stack.push_back({*i, parent});
    }
    while (!stack.empty()) {
        const Visit visit = stack.back();
        stack.pop_back();
        const int i = visit.node;
        Node& node = nodes_[i];
        const bool shown = shown_[i];
        if (node.shown != shown) {
            tree_->setRowHidden(node.row, visit.parent, !shown);
            node.shown = shown;
        }
        if (!shown || childStart_[i] == childStart_[i + 1]) {
            continue;
        }
        const QModelIndex index = model->index(node.row, 0, visit.parent);
        bool open = tree_->isExpanded(index);
        if (!open && openToMatches_ && holdsMatch_[i]) {
            tree_->setExpanded(index, true);
            openedByFilter_.push_back(index);
            open = true;
        }
        if (open) {
            for (int c = childStart_[i + 1]; c-- > childStart_[i];) {
                stack.push_back({children_[c], index});
            }
        }
    }
}

void TitleFilter::Opened(QTreeWidgetItem* item) {
    if (!filtering_ || showing_ || nodes_.empty()) {
        return;
    }
    const auto found = nodeOf_.constFind(item);
    if (found == nodeOf_.constEnd()) {
        return;
    }
    const int i = *found;
    Show(std::vector<int>(children_.begin() + childStart_[i],
                          children_.begin() + childStart_[i + 1]),
         IndexOf(i));
}

void TitleFilter::Restore() {
    if (!filtering_ || !tree_) {
        return;
    }
    filtering_ = false;
    if (nodes_.empty()) {
        BuildIndex();
    }
    // Every entry hidden, wherever it is, comes back.
    const QAbstractItemModel* model = tree_->model();
    struct Visit {
        int node;
        QModelIndex parent;
    };
    std::vector<Visit> stack;
    for (int i : topLevel_) {
        stack.push_back({i, QModelIndex()});
    }
    while (!stack.empty()) {
        const Visit visit = stack.back();
        stack.pop_back();
        Node& node = nodes_[visit.node];
        if (!node.shown) {
            tree_->setRowHidden(node.row, visit.parent, false);
            node.shown = true;
        }
        const int i = visit.node;
        if (childStart_[i] == childStart_[i + 1]) {
            continue;
        }
        const QModelIndex index = model->index(node.row, 0, visit.parent);
        for (int c = childStart_[i]; c < childStart_[i + 1]; ++c) {
            stack.push_back({children_[c], index});
        }
    }
    // The folders the filter opened close again; those the reader had open stay open.
    for (const QPersistentModelIndex& index : openedByFilter_) {
        if (index.isValid()) {
            tree_->setExpanded(index, false);
        }
    }
    openedByFilter_.clear();
    if (QTreeWidgetItem* current = tree_->currentItem()) {
        tree_->scrollToItem(current);
    }
}

void TitleFilter::Forget() {
    SayNothingFound(QString());
    nodes_.clear();
    openedByFilter_.clear();
    filtering_ = false;
    const QSignalBlocker quiet(this);
    clear();
}

void TitleFilter::focusInEvent(QFocusEvent* event) {
    // The reader is about to type: index the tree now rather than on the first letter.
    if (nodes_.empty()) {
        BuildIndex();
    }
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
