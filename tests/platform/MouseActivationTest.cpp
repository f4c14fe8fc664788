#include "platform/MouseActivation.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

using namespace orvelle::platform;

namespace {

// A widget that counts the mouse events reaching it.
class Recorder : public QWidget {
public:
    using QWidget::QWidget;
    int presses = 0;
    int releases = 0;
    int contextMenus = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        ++presses;
        event->accept();
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        ++presses;
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        ++releases;
        event->accept();
    }
    void contextMenuEvent(QContextMenuEvent* event) override {
        ++contextMenus;
        event->accept();
    }
};

QMouseEvent MouseEvent(QEvent::Type type, Qt::MouseButton button, QPointF local = {5, 5}) {
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    return QMouseEvent(type, local, local, local, button, buttons, Qt::NoModifier);
}

void Send(QObject* receiver, QEvent::Type type, Qt::MouseButton button) {
    QMouseEvent event = MouseEvent(type, button);
    QApplication::sendEvent(receiver, &event);
}

void SendContextMenu(QWidget* receiver, QContextMenuEvent::Reason reason) {
    QContextMenuEvent event(reason, QPoint(5, 5), receiver->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(receiver, &event);
}

} // namespace

class MouseActivationTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        main_ = new QWidget;
        main_->resize(200, 150);
        child_ = new Recorder(main_);
        child_->setGeometry(0, 0, 200, 150);
        other_ = new Recorder;
        other_->resize(100, 100);
        other_->move(400, 0);
        main_->show();
        other_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_));
        QVERIFY(QTest::qWaitForWindowExposed(other_));
        filter_ = new RightClickActivationFilter(main_, main_);
        qApp->installEventFilter(filter_);
    }

    void cleanup() {
        delete main_;
        delete other_;
    }

    void activateMainWindow(bool active) {
        QWidget* target = active ? main_ : static_cast<QWidget*>(other_);
        target->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(target));
        QCOMPARE(main_->isActiveWindow(), active);
    }

    void theWindowsAnswerToMouseActivate() {
        constexpr qintptr activate = 1; // MA_ACTIVATE
        const qintptr rightDown = (qintptr(0x0204) << 16) | 1;
        const qintptr leftDown = (qintptr(0x0201) << 16) | 1;
        const qintptr middleDown = (qintptr(0x0207) << 16) | 1;
        QCOMPARE(MouseActivateResult(activate, rightDown), NoActivateAndEat);
        QCOMPARE(MouseActivateResult(3, rightDown), NoActivateAndEat);
        QCOMPARE(MouseActivateResult(activate, leftDown), activate);
        QCOMPARE(MouseActivateResult(2, middleDown), qintptr(2));
        // The low word (the hit-test code) does not take part.
        QCOMPARE(MouseActivateResult(activate, 0x0204), activate);
        // Only the high word of the low 32 bits counts, whatever lies above it.
        if constexpr (sizeof(qintptr) == 8) {
            QCOMPARE(MouseActivateResult(activate, qintptr(0x7FFF0000'02040001LL)),
                     NoActivateAndEat);
        }
    }

    void nativeHandlerIgnoresOtherSystems() {
#ifndef _WIN32
        qintptr result = 77;
        int message = 0x0021;
        QVERIFY(!HandleMouseActivate("xcb_generic_event_t", &message, &result));
        QCOMPARE(result, qintptr(77));
#endif
    }

    void rightPressOnAnInactiveWindowIsDiscarded() {
        activateMainWindow(false);
        Send(child_, QEvent::MouseButtonPress, Qt::RightButton);
        Send(child_, QEvent::MouseButtonRelease, Qt::RightButton);
        SendContextMenu(child_, QContextMenuEvent::Mouse);
        QCOMPARE(child_->presses, 0);
        QCOMPARE(child_->releases, 0);
        QCOMPARE(child_->contextMenus, 0);

        // The next press starts afresh: nothing more is discarded on its behalf.
        Send(child_, QEvent::MouseButtonPress, Qt::LeftButton);
        Send(child_, QEvent::MouseButtonRelease, Qt::LeftButton);
        SendContextMenu(child_, QContextMenuEvent::Mouse);
        QCOMPARE(child_->presses, 1);
        QCOMPARE(child_->releases, 1);
        QCOMPARE(child_->contextMenus, 1);
    }

    void rightDoubleClickOnAnInactiveWindowIsDiscarded() {
        activateMainWindow(false);
        Send(child_, QEvent::MouseButtonDblClick, Qt::RightButton);
        QCOMPARE(child_->presses, 0);
    }

    void otherButtonsAndTheKeyboardMenuPass() {
        activateMainWindow(false);
        Send(child_, QEvent::MouseButtonPress, Qt::LeftButton);
        Send(child_, QEvent::MouseButtonRelease, Qt::LeftButton);
        Send(child_, QEvent::MouseButtonPress, Qt::MiddleButton);
        Send(child_, QEvent::MouseButtonRelease, Qt::MiddleButton);
        SendContextMenu(child_, QContextMenuEvent::Keyboard);
        QCOMPARE(child_->presses, 2);
        QCOMPARE(child_->releases, 2);
        QCOMPARE(child_->contextMenus, 1);
    }

    void rightPressOnTheActiveWindowPasses() {
        activateMainWindow(true);
        Send(child_, QEvent::MouseButtonPress, Qt::RightButton);
        Send(child_, QEvent::MouseButtonRelease, Qt::RightButton);
        SendContextMenu(child_, QContextMenuEvent::Mouse);
        QCOMPARE(child_->presses, 1);
        QCOMPARE(child_->releases, 1);
        QCOMPARE(child_->contextMenus, 1);
    }

    void otherWindowsAreLeftAlone() {
        activateMainWindow(true);
        // other_ is inactive now; the rule belongs to the main window only.
        Send(other_, QEvent::MouseButtonPress, Qt::RightButton);
        Send(other_, QEvent::MouseButtonRelease, Qt::RightButton);
        QCOMPARE(other_->presses, 1);
        QCOMPARE(other_->releases, 1);
    }

    // The way the system delivers a click: to the native window, from which Qt hands the
    // press to the widget under the mouse and makes a context-menu event of it.
    void pressThroughTheNativeWindow() {
        QWindow* handle = main_->windowHandle();
        QVERIFY(handle);

        activateMainWindow(false);
        Send(handle, QEvent::MouseButtonPress, Qt::RightButton);
        Send(handle, QEvent::MouseButtonRelease, Qt::RightButton);
        QCOMPARE(child_->presses, 0);
        QCOMPARE(child_->releases, 0);
        QCOMPARE(child_->contextMenus, 0);

        activateMainWindow(true);
        Send(handle, QEvent::MouseButtonPress, Qt::RightButton);
        Send(handle, QEvent::MouseButtonRelease, Qt::RightButton);
        QCOMPARE(child_->presses, 1);
        QCOMPARE(child_->releases, 1);
        QCOMPARE(child_->contextMenus, 1);
    }

private:
    QWidget* main_ = nullptr;
    Recorder* child_ = nullptr;
    Recorder* other_ = nullptr;
    RightClickActivationFilter* filter_ = nullptr;
};

QTEST_MAIN(MouseActivationTest)
#include "MouseActivationTest.moc"
