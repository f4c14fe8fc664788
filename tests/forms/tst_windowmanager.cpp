// The main window under a real window manager (run by run-under-window-manager.sh): it opens
// maximised, as the window manager itself sees it.
#include "FormsTestSupport.h"

#include "forms/Unit2.h"

#include <QProcess>
#include <QScreen>

#include <memory>

using namespace orvelle;

namespace {

// The window's _NET_WM_STATE as the window manager set it, read with xprop.
QString WindowManagerState(const QWidget& window) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window.winId()),
                                          QStringLiteral("_NET_WM_STATE")});
    if (!xprop.waitForFinished(10000)) {
        return QStringLiteral("<xprop did not answer>");
    }
    return QString::fromLocal8Bit(xprop.readAllStandardOutput());
}

bool MaximisedByTheWindowManager(const QWidget& window) {
    const QString state = WindowManagerState(window);
    return state.contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_VERT")) &&
           state.contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_HORZ"));
}

} // namespace

class WindowManagerTest : public QObject {
    Q_OBJECT

    fixtures::TempDir folder_;

private slots:
    void opensMaximised() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        formstest::CurrentDirectory cwd(QString::fromStdString(folder_.Path()));
        formstest::UseRegistry(folder_.File("machine.reg"), formstest::RegistryText("", false));
        formstest::RecordingDialogs dialogs;
        formstest::MainWindow window;
        forms::Form2->showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(forms::Form2));

        // The window manager's word, then the window's size; a window re-created after it was
        // first shown loses the state a moment later, so it must also hold a while.
        QTRY_VERIFY2_WITH_TIMEOUT(MaximisedByTheWindowManager(*forms::Form2),
                                  qPrintable(WindowManagerState(*forms::Form2)), 20000);
        const QRect available = forms::Form2->screen()->availableGeometry();
        QTRY_COMPARE_WITH_TIMEOUT(forms::Form2->frameGeometry().size(), available.size(), 20000);
        QTest::qWait(1500);
        QVERIFY2(MaximisedByTheWindowManager(*forms::Form2),
                 qPrintable(WindowManagerState(*forms::Form2)));
        QVERIFY(forms::Form2->isMaximized());
    }
};

FORMS_TEST_MAIN(WindowManagerTest)

#include "tst_windowmanager.moc"
