#pragma once

#include <QAction>
#include <QLayout>
#include <QToolBar>
#include <QToolButton>

namespace orvelle::forms {

// The look every toolbar of the main window shares: flat, transparent, no edges, 22 pixels
// high, pictures only, not movable.
inline QToolBar* MakeFlatToolBar(QWidget* parent, const char* name) {
    auto* bar = new QToolBar(parent);
    bar->setObjectName(name);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setStyleSheet(QStringLiteral(
        "QToolBar { border: 0px; background: transparent; padding: 0px; spacing: 0px; }"));
    bar->setContentsMargins(0, 0, 0, 0);
    bar->layout()->setContentsMargins(0, 0, 0, 0);
    bar->layout()->setSpacing(0);
    bar->setFixedHeight(22);
    return bar;
}

// A 23 x 22 button on `bar` for `action`, showing the action's picture only.
inline QToolButton* AddToolButton(QToolBar* bar, QAction* action, const QString& name) {
    bar->addAction(action);
    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
    button->setObjectName(name);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setFixedSize(23, 22);
    return button;
}

} // namespace orvelle::forms
