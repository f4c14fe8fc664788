#pragma once

#include <QHash>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPointer>

#include <functional>
#include <vector>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace orvelle::forms {

// The filter field above the tree: while it holds a text, the tree shows only the entries
// whose names contain it (case and «ё»/«е» do not matter) together with the folders above
// them. When there are few matches (kOpenLimit) their folders are opened so that all of them
// can be seen; with more, the folders stay as they are until the text narrows them down.
// Emptying the field brings the whole tree back, the folders opened as before.
//
// On a large register only what can be seen is touched on each keystroke: the top level and
// the open folders; a folder opened while filtering is filtered as it opens.
//
// Filtering only hides and opens items; it never selects, clicks or renders anything. When no
// name matches, a line over the tree says so.
class TitleFilter : public QLineEdit {
    Q_OBJECT

public:
    TitleFilter(QTreeWidget* tree, QWidget* parent);

    // The text as matching sees it: case folded, «ё» read as «е».
    static QString Fold(const QString& text);

    // Filters by `text` at once (typing in the field does the same).
    void Apply(const QString& text);

    // Also keeps to the entries `keep` accepts (with their folders), whatever the text; nullptr
    // lets every entry through again. Applies at once.
    void SetEntryFilter(std::function<bool(const QTreeWidgetItem*)> keep);

    // Up to this many matches, the folders holding them are opened.
    static constexpr std::size_t kOpenLimit = 300;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Node {
        QTreeWidgetItem* item;
        int parent; // index into nodes_, -1 at the top level
        int row;    // among its parent's children
        QString name;
        bool shown; // as the view shows it now
    };

    void BuildIndex();
    // Brings the entries `start` (children of `parent`) and what can be seen below them to the
    // current filter.
    void Show(const std::vector<int>& start, const QModelIndex& parent);
    QModelIndex IndexOf(int node) const;
    void Opened(QTreeWidgetItem* item);
    void Forget();
    void Restore();
    // The "nothing found" line over the tree for `text`; hidden for an empty one.
    void SayNothingFound(const QString& text);
    void PlaceNothingFound();

    QPointer<QTreeWidget> tree_;
    std::vector<Node> nodes_; // the tree depth first; empty when it has to be rebuilt
    std::vector<int> topLevel_;
    std::vector<int> childStart_; // children of node i: children_[childStart_[i] ..
    std::vector<int> children_;   //                                  childStart_[i + 1])
    QHash<QTreeWidgetItem*, int> nodeOf_;
    std::vector<char> shown_;      // by the current text: the entry is shown
    std::vector<char> holdsMatch_; // by the current text: something below it matches
    std::function<bool(const QTreeWidgetItem*)> keep_;
    bool openToMatches_ = false;
    bool filtering_ = false;
    bool showing_ = false;
    std::vector<QPersistentModelIndex> openedByFilter_;
    QPointer<QLabel> nothingFound_; // over the tree's viewport, gone with it
};

} // namespace orvelle::forms
