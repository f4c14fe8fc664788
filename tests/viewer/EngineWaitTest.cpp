// The one wait on the engine: a late answer after a time-out lands harmlessly and never in a
// later wait, a page process that dies or a view that goes away ends the wait at once.
#include "viewer/EngineWait.h"
#include "viewer/BrowserView.h"
#include "viewer/PrepareEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace std::chrono_literals;
using orvelle::viewer::BrowserView;
using orvelle::viewer::EngineWait;
using orvelle::viewer::Evaluate;
using Outcome = EngineWait::Outcome;

namespace {

// Keeps the page's main thread busy for `ms` milliseconds, then evaluates to `value`.
QString BusyFor(int ms, int value) {
    return QStringLiteral("(function(){var t=Date.now();while(Date.now()-t<%1);return %2;})()")
        .arg(ms)
        .arg(value);
}

} // namespace

class EngineWaitTest : public QObject {
    Q_OBJECT
    std::unique_ptr<BrowserView> view;

    QWebEnginePage* Page() { return view->page(); }

private slots:
    void init() {
        view = std::make_unique<BrowserView>();
        view->resize(400, 300);
        view->show();
        QVERIFY(view->WriteDocument(QStringLiteral("<p>page</p>")).has_value());
    }

    void cleanup() { view.reset(); }

    void timeOutThenLateAnswer() {
        const auto late = Evaluate(Page(), BusyFor(1500, 42), 200ms);
        QCOMPARE(late.outcome, Outcome::TimedOut);
        // The late 42 arrives while this wait runs; only this wait's own answer counts.
        const auto next = Evaluate(Page(), QStringLiteral("7"), 10s);
        QCOMPARE(next.outcome, Outcome::Answered);
        QCOMPARE(next.value.toInt(), 7);

        // An answer given long after its wait ended touches nothing of it.
        std::function<void(const QVariant&)> answer;
        {
            EngineWait wait(view.get(), Page());
            answer = wait.Answerer();
            QCOMPARE(wait.Wait(10ms), Outcome::TimedOut);
        }
        answer(QVariant(1));
    }

    void answerBeforeTheWaitStarts() {
        EngineWait wait(nullptr, nullptr);
        wait.Answerer()(QVariant(5));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(wait.Wait(EngineWait::kNoDeadline), Outcome::Answered);
        QCOMPARE(wait.Value().toInt(), 5);
        QVERIFY(clock.elapsed() < 1000);
    }

    void pageProcessKilled() {
        const qint64 pid = Page()->renderProcessPid();
        QVERIFY(pid > 0);
        QTimer::singleShot(300, [pid] { ::kill(static_cast<pid_t>(pid), SIGKILL); });
        QElapsedTimer clock;
        clock.start();
        const auto result = Evaluate(Page(), BusyFor(60000, 1), EngineWait::kNoDeadline);
        QCOMPARE(result.outcome, Outcome::PageProcessEnded);
        QVERIFY(clock.elapsed() < 10000);
    }

    void viewDestroyedMidWait() {
        QPointer<BrowserView> guard(view.get());
        EngineWait wait(view.get(), Page());
        Page()->runJavaScript(BusyFor(3000, 1), QWebEngineScript::ApplicationWorld,
                              wait.Answerer());
        QTimer::singleShot(200, [this] { view.reset(); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(wait.Wait(EngineWait::kNoDeadline), Outcome::GuardGone);
        QVERIFY(guard.isNull());
        QVERIFY(clock.elapsed() < 2500);
    }

    // A newer render ends an older render's wait at once.
    void signalEndsTheWait() {
        EngineWait wait(view.get(), Page());
        wait.EndOn(view.get(), &BrowserView::RenderClaimed);
        QTimer::singleShot(100, view.get(), [this] { view->BeginRender(); });
        QCOMPARE(wait.Wait(10s), Outcome::Ended);
    }
};

int main(int argc, char** argv) {
    orvelle::viewer::PrepareEngine();
    QApplication app(argc, argv);
    EngineWaitTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "EngineWaitTest.moc"
