#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QAction;
class QMenu;
class QPoint;

namespace orvelle::viewer {
class BrowserView;
}

namespace orvelle::forms {

// The document's own menu on a right click, in place of the engine's: «Копировать»,
// «Выделить всё», «Найти на странице…», «Печать…», «Предварительный просмотр». None of them
// navigates, reloads or otherwise takes the document away.
class BrowserContextMenu : public QObject {
    Q_OBJECT

public:
    struct Commands {
        QAction* find;                 // opens the find bar
        std::function<void()> print;   // the print dialog, then printing
        std::function<void()> preview; // the print preview
    };

    BrowserContextMenu(viewer::BrowserView* browser, Commands commands);

    // The menu for the document as it is now; the caller owns it.
    QMenu* Build();

Q_SIGNALS:
    // The menu was popped up (for whoever wants to look at it).
    void Shown(QMenu* menu);

private:
    void Popup(const QPoint& position);

    QPointer<viewer::BrowserView> browser_;
    Commands commands_;
};

} // namespace orvelle::forms
