#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

class QAction;
class QLabel;
class QLineEdit;
class QToolButton;
class QWebEngineFindTextResult;

namespace orvelle::viewer {
class BrowserView;
}

namespace orvelle::forms {

// The find bar under the document: finds a text in the shown document, case-insensitively,
// highlights every match, steps through them and counts them ("3 из 17"). Hidden until
// opened; closing it, or a new document, takes the highlight away.
//
// Keys: Enter / Shift+Enter in the field and F3 / Shift+F3 anywhere in the window step
// forward / back; Escape in the bar or in the document closes it.
//
// A document opened from a search result has the query's words marked in it (HitWordsMarked);
// until the reader types something else, the bar steps through those marks, with the words in
// its field.
class FindBar : public QWidget {
    Q_OBJECT

public:
    // `browser` is searched through whatever page it holds at the time.
    FindBar(viewer::BrowserView* browser, QWidget* parent);

    // Shows the bar with the field focused and its text selected; a selection in the document
    // becomes the text to find.
    void Open();
    // Hides the bar and takes the highlight away.
    void Close();
    void FindNext();
    void FindPrevious();
    // A new document is shown: its predecessor's matches and count are gone.
    void DocumentChanged();
    // The words of a search result were marked in the document, `marked` places.
    void HitWordsMarked(const QStringList& words, int marked);

    // "3 из 17", "Нет совпадений", or empty before the first search.
    QString CountText() const;
    QLineEdit* Field() const { return field_; }

    // Ctrl+F: opens the bar; it also stands in the document's own menu.
    QAction* OpenAction() const { return open_; }

Q_SIGNALS:
    // The engine answered a search: match `active` of `total` (0 of 0 when none).
    void Counted(int active, int total);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Find(bool backward);
    void ShowResult(const QWebEngineFindTextResult& result);
    void ShowCount(int active, int total);
    bool SteppingThroughHits() const;
    void ClearHighlight();

    QPointer<viewer::BrowserView> browser_;
    QLineEdit* field_ = nullptr;
    QLabel* count_ = nullptr;
    QToolButton* previous_ = nullptr;
    QToolButton* next_ = nullptr;
    QToolButton* close_ = nullptr;
    QAction* open_ = nullptr;
    QAction* findNext_ = nullptr;
    QAction* findPrevious_ = nullptr;
    QAction* escape_ = nullptr;
    quint64 request_ = 0; // answers to older requests are ignored
    QString hitWords_;    // the search result's words, as the field shows them; empty: none
};

} // namespace orvelle::forms
