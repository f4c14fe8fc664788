#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QtGlobal>

class QWidget;

namespace orvelle::platform {

// The main window's mouse rule: a right-button press never activates an inactive window, and
// that press is discarded.

inline constexpr unsigned MouseActivateMessage = 0x0021;   // WM_MOUSEACTIVATE
inline constexpr unsigned RightButtonDownMessage = 0x0204; // WM_RBUTTONDOWN
inline constexpr qintptr NoActivateAndEat = 4;             // MA_NOACTIVATEANDEAT

// The answer to WM_MOUSEACTIVATE given the default answer and the message's lParam, whose
// high word names the mouse message that caused it.
qintptr MouseActivateResult(qintptr defaultResult, qintptr lParam);

// Windows: call from the main window's nativeEvent. For WM_MOUSEACTIVATE it runs the default
// processing, applies MouseActivateResult, stores the answer in *result and returns true;
// for any other message it returns false. Exceptions are dropped: the answer stays whatever
// was stored before. Elsewhere it always returns false.
bool HandleMouseActivate(const QByteArray& eventType, void* message, qintptr* result);

// Systems without WM_MOUSEACTIVATE: installed on the application, it discards a right-button
// press (and its double click, its release and the context-menu event it leads to) aimed at
// window or one of its widgets while window is not the active window. Everything else
// passes. Whether the press activates the window is the window manager's business there; the
// program only sees the press go missing.
//
//     qApp->installEventFilter(new RightClickActivationFilter(mainWindow, mainWindow));
class RightClickActivationFilter : public QObject {
    Q_OBJECT

public:
    explicit RightClickActivationFilter(QWidget* window, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool BelongsToWindow(QObject* watched) const;

    QPointer<QWidget> window_;
    bool eatRelease_ = false;
    bool eatContextMenu_ = false;
};

} // namespace orvelle::platform
