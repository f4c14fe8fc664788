#include "platform/MouseActivation.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#ifdef _WIN32
#include <windows.h>
#endif

namespace orvelle::platform {

qintptr MouseActivateResult(qintptr defaultResult, qintptr lParam) {
    const auto mouseMessage = unsigned((quintptr(lParam) >> 16) & 0xFFFF);
    if (mouseMessage == RightButtonDownMessage) {
        return NoActivateAndEat;
    }
    return defaultResult;
}

bool HandleMouseActivate(const QByteArray& eventType, void* message, qintptr* result) {
#ifdef _WIN32
    if (!message || !result || !eventType.startsWith("windows_")) {
        return false;
    }
    const auto* msg = static_cast<const MSG*>(message);
    if (msg->message != MouseActivateMessage) {
        return false;
    }
    try {
        *result = DefWindowProcW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
        *result = MouseActivateResult(*result, msg->lParam);
    } catch (...) {
        // The message keeps whatever answer it has.
    }
    return true;
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
    Q_UNUSED(result);
    return false;
#endif
}

RightClickActivationFilter::RightClickActivationFilter(QWidget* window, QObject* parent)
    : QObject(parent), window_(window) {}

bool RightClickActivationFilter::BelongsToWindow(QObject* watched) const {
    if (!window_ || !watched) {
        return false;
    }
    if (watched->isWidgetType()) {
        return static_cast<QWidget*>(watched)->window() == window_;
    }
    if (auto* handle = qobject_cast<QWindow*>(watched)) {
        return handle == window_->windowHandle();
    }
    return false;
}

bool RightClickActivationFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        if (!BelongsToWindow(watched)) {
            break;
        }
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton && !window_->isActiveWindow()) {
            eatRelease_ = true;
            eatContextMenu_ = true;
            return true;
        }
        // A press that passes starts a new gesture: nothing left over is discarded.
        eatRelease_ = false;
        eatContextMenu_ = false;
        break;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (eatRelease_ && mouse->button() == Qt::RightButton && BelongsToWindow(watched)) {
            eatRelease_ = false;
            return true;
        }
        break;
    }
    case QEvent::ContextMenu: {
        const auto* menu = static_cast<QContextMenuEvent*>(event);
        if (eatContextMenu_ && menu->reason() == QContextMenuEvent::Mouse &&
            BelongsToWindow(watched)) {
            eatContextMenu_ = false;
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace orvelle::platform
