#include "RecentLibraries.h"

#include "ReadingSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QToolButton>

#include <algorithm>
#include <utility>

namespace orvelle::forms {

namespace {

const QString kRecentKey = QStringLiteral("Libraries/Recent");

// The same file however it was spelled; a server name as given.
QString Comparable(const QString& name) {
    const QFileInfo file(name);
    return file.exists() ? file.canonicalFilePath() : name;
}

} // namespace

QStringList RecentLibraries() {
    QStringList names = ReadingSettings().value(kRecentKey).toStringList();
    names.removeAll(QString());
    return names.mid(0, kRecentLibraries);
}

void RememberLibrary(const QString& name) {
    if (name.isEmpty()) {
        return;
    }
    QStringList names = RecentLibraries();
    const QString key = Comparable(name);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&key](const QString& other) { return Comparable(other) == key; }),
                names.end());
    names.prepend(name);
    ReadingSettings().setValue(kRecentKey, names.mid(0, kRecentLibraries));
}

QToolButton* MakeRecentLibrariesButton(QWidget* parent, std::function<void(const QString&)> open) {
    auto* button = new QToolButton(parent);
    button->setToolTip(QStringLiteral("Недавние библиотеки"));
    button->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(button);
    menu->setObjectName(QStringLiteral("RecentLibrariesMenu"));
    menu->setToolTipsVisible(true);
    button->setMenu(menu);
    QObject::connect(menu, &QMenu::aboutToShow, button, [menu, open = std::move(open)] {
        menu->clear();
        const QStringList names = RecentLibraries();
        if (names.isEmpty()) {
            menu->addAction(QStringLiteral("(нет)"))->setEnabled(false);
        }
        for (const QString& name : names) {
            const QString shown = QDir::toNativeSeparators(name);
            QAction* action = menu->addAction(QString(shown).replace(u'&', QStringLiteral("&&")));
            action->setToolTip(shown);
            QObject::connect(action, &QAction::triggered, menu, [menu, open, name] {
                // Opened after the menu has closed.
                QMetaObject::invokeMethod(
                    menu, [open, name] { open(name); }, Qt::QueuedConnection);
            });
        }
    });
    return button;
}

} // namespace orvelle::forms
