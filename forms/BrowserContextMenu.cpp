#include "BrowserContextMenu.h"

#include "ErrorDisplay.h"
#include "viewer/BrowserView.h"

#include <QAction>
#include <QMenu>
#include <QWebEnginePage>

namespace orvelle::forms {

BrowserContextMenu::BrowserContextMenu(viewer::BrowserView* browser, Commands commands)
    : QObject(browser), browser_(browser), commands_(std::move(commands)) {
    browser->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(browser, &QWidget::customContextMenuRequested, this, &BrowserContextMenu::Popup);
}

QMenu* BrowserContextMenu::Build() {
    auto* menu = new QMenu(browser_);
    menu->setObjectName(QStringLiteral("BrowserContextMenu"));
    QPointer<viewer::BrowserView> browser = browser_;
    // Copy and select all are the engine's editing commands; they never navigate.
    QAction* copy = menu->addAction(QStringLiteral("Копировать"), menu, [browser] {
        if (browser) {
            browser->page()->triggerAction(QWebEnginePage::Copy);
        }
    });
    copy->setEnabled(browser && browser->page()->hasSelection());
    menu->addAction(QStringLiteral("Выделить всё"), menu, [browser] {
        if (browser) {
            browser->page()->triggerAction(QWebEnginePage::SelectAll);
        }
    });
    menu->addSeparator();
    QAction* find = menu->addAction(QStringLiteral("Найти на странице…"));
    connect(find, &QAction::triggered, commands_.find, &QAction::trigger);
    menu->addSeparator();
    // The print commands may be given while the menu is still closing: run them afterwards.
    const auto later = [menu](std::function<void()> command) {
        return [menu, command = std::move(command)] {
            QMetaObject::invokeMethod(
                menu->parent(), [command] { Guarded(command); }, Qt::QueuedConnection);
        };
    };
    menu->addAction(QStringLiteral("Печать…"), menu, later(commands_.print));
    menu->addAction(QStringLiteral("Предварительный просмотр"), menu, later(commands_.preview));
    return menu;
}

void BrowserContextMenu::Popup(const QPoint& position) {
    if (!browser_) {
        return;
    }
    QMenu* menu = Build();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(browser_->mapToGlobal(position));
    emit Shown(menu);
}

} // namespace orvelle::forms
