#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace orvelle::viewer {
class BrowserView;
class DocumentRender;
} // namespace orvelle::viewer

namespace orvelle::forms {

// Back and Forward through the places the reader has been: documents opened from the tree and
// sections reached by links inside a document. Going back or forward selects the entry in the
// tree and shows its document again when it is not the one on screen, then scrolls to the
// section (or to the top).
//
// Alt+Left / Alt+Right, the mouse's back and forward buttons anywhere in the window, and the
// two actions (for the toolbar) do it. The mouse buttons never reach the browser, so the
// engine's own history can never take the document away.
class DocumentHistory : public QObject {
    Q_OBJECT

public:
    // `renderSelected` shows the tree's selected entry as a click on it would and gives the
    // render under way (nullptr when none started).
    using RenderSelected = std::function<viewer::DocumentRender*()>;
    DocumentHistory(QWidget* window, QTreeWidget* tree, viewer::BrowserView* browser,
                    RenderSelected renderSelected);
    ~DocumentHistory() override;

    // A document is about to be shown for `item`, by a click or the like.
    void DocumentOpened(QTreeWidgetItem* item);
    // The shown document was scrolled to `anchor` by one of its links.
    void AnchorFollowed(const QString& anchor);

    bool CanGoBack() const;
    bool CanGoForward() const;
    void Back();
    void Forward();

    QAction* BackAction() const { return back_; }
    QAction* ForwardAction() const { return forward_; }

    // The entry shown and the section reached in it (empty: none), or nullptr before any.
    QTreeWidgetItem* CurrentItem() const;
    QString CurrentAnchor() const;

Q_SIGNALS:
    // The reader is at another place: a document opened, a section reached, Back or Forward.
    void PlaceChanged(QTreeWidgetItem* item, const QString& anchor);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Place {
        QTreeWidgetItem* item;
        QString anchor; // empty: the top of the document
    };

    void Push(const Place& place);
    void Go(int step);
    // Scrolls the shown document to the place's anchor, or to its top.
    void Arrive(const Place& place);
    void Forget();
    void UpdateActions();

    QPointer<QWidget> window_;
    QPointer<QTreeWidget> tree_;
    QPointer<viewer::BrowserView> browser_;
    RenderSelected renderSelected_;
    std::vector<Place> places_;
    int current_ = -1;
    QTreeWidgetItem* arriving_ = nullptr; // the entry Go is rendering; not a new place
    quint64 moves_ = 0;                   // counts every change of place
    QAction* back_ = nullptr;
    QAction* forward_ = nullptr;
};

} // namespace orvelle::forms
