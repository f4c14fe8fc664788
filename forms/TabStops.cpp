#include "TabStops.h"

#include <QEvent>
#include <QWidget>

namespace orvelle::forms {

namespace {

void ClickFocusOnly(QWidget* widget) {
    if (widget->focusPolicy() & Qt::TabFocus) {
        widget->setFocusPolicy(Qt::ClickFocus);
    }
}

void ClickFocusOnlyInside(QWidget* widget) {
    ClickFocusOnly(widget);
    for (QWidget* inner : widget->findChildren<QWidget*>()) {
        ClickFocusOnly(inner);
    }
}

class TabChainGuard final : public QObject {
public:
    explicit TabChainGuard(QWidget* widget) : QObject(widget) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        // An inner widget may set its own focus policy after it was added: look again when it
        // is polished, just before it first shows.
        if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished) {
            if (auto* inner = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child())) {
                ClickFocusOnlyInside(inner);
                inner->installEventFilter(this);
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void KeepOutOfTabChain(QWidget* widget) {
    auto* guard = new TabChainGuard(widget);
    ClickFocusOnlyInside(widget);
    widget->installEventFilter(guard);
    for (QWidget* inner : widget->findChildren<QWidget*>()) {
        inner->installEventFilter(guard);
    }
}

} // namespace orvelle::forms
