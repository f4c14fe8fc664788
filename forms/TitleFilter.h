#pragma once

#include <QLineEdit>
#include <QPointer>

#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace orvelle::forms {

// The filter field above the tree: while it holds a text, the tree shows only the entries
// whose names contain it (case and «ё»/«е» do not matter) together with the folders above
// them, opened so that every match can be seen. Emptying the field brings the whole tree
// back with the branches open as they were before filtering began.
//
// Filtering only hides and opens items; it never selects, clicks or renders anything.
class TitleFilter : public QLineEdit {
    Q_OBJECT

public:
    TitleFilter(QTreeWidget* tree, QWidget* parent);

    // The text as matching sees it: case folded, «ё» read as «е».
    static QString Fold(const QString& text);

    // Filters by `text` at once (typing in the field does the same).
    void Apply(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Node {
        QTreeWidgetItem* item;
        int parent; // index into nodes_, -1 at the top level
        QString name;
        bool shown; // as the view shows it now
    };

    void BuildIndex();
    void Forget();
    void Restore();

    QPointer<QTreeWidget> tree_;
    std::vector<Node> nodes_; // the tree depth first; empty when it has to be rebuilt
    bool filtering_ = false;
    std::vector<QTreeWidgetItem*> expandedBefore_;
};

} // namespace orvelle::forms
