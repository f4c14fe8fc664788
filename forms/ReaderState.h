#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <optional>

class QMainWindow;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

namespace orvelle::viewer {
class BrowserView;
}

namespace orvelle::forms {

// Where the reader is, kept in the user's settings for the next start: for each library (by
// its identity) the entry shown, how far down its document was scrolled and the folders open
// in the tree; for the window its size and state and the splitter between the panes.
//
// What it keeps is followed as it changes (the entry as it is shown, the folders as they open
// and close, the scroll position by asking the page now and then, never waiting for it), so it can
// be written at any moment, also after the tree and the browser are gone: at exit, and for the
// library left behind when another is opened.
class ReaderState : public QObject {
    Q_OBJECT
public:
    struct Place {
        std::optional<std::int32_t> entry;
        int scroll = 0; // pixels from the document's top
        QList<std::int32_t> expanded;
    };

    ReaderState(QMainWindow* window, QSplitter* splitter, QTreeWidget* tree,
                viewer::BrowserView* view);
    ~ReaderState() override;

    // The library `identity` is in the tree now (empty: none); what was followed for the one
    // before is kept first.
    void LibraryOpened(const QString& identity);
    // The entry `id` is shown, from its top.
    void EntryShown(std::int32_t id);
    // The entry shown was taken `y` pixels down (not by the reader: a scroll position restored).
    void Scrolled(int y);

    // What was kept for the library now open.
    Place KeptPlace() const;
    // Gives the window and the splitter their kept size and state; false when none was kept.
    bool RestoreWindow();

    // Writes everything followed so far.
    void Keep();

private:
    void Folder(QTreeWidgetItem* item, bool expanded);
    void AskScroll();
    void KeepLibrary();

    QPointer<QMainWindow> window_;
    QPointer<QSplitter> splitter_;
    QPointer<QTreeWidget> tree_;
    QPointer<viewer::BrowserView> view_;
    QString identity_;
    std::optional<std::int32_t> entry_;
    int scroll_ = 0;
    quint64 shown_ = 0;   // counts entries shown: a late scroll answer for another is dropped
    bool asking_ = false; // a question is out; the page answers it or it ends unanswered
    QSet<std::int32_t> expanded_;
    QTimer scrollWatch_;
};

} // namespace orvelle::forms
