// Writing documents into the browser view: the first document, replacing content, names,
// big texts, a newer render superseding an older one, and the ways a render can end without
// anybody waiting for it (its page's process dies, its view goes away, its script never
// returns), and the question helper every later step of the program asks the page with.
#include "ViewerTestSupport.h"
#include "viewer/BrowserView.h"
#include "viewer/DocumentRender.h"
#include "viewer/PageQuestion.h"
#include "viewer/PrepareEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

using namespace std::chrono_literals;
using orvelle::viewer::BrowserView;
using orvelle::viewer::DocumentRender;
using State = orvelle::viewer::DocumentRender::State;
using viewertest::Eval;
using viewertest::Listener;

namespace {

#ifdef Q_OS_UNIX
bool ProcessAlive(qint64 pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0;
}
#endif

} // namespace

class RenderTest : public QObject {
    Q_OBJECT
    std::unique_ptr<BrowserView> view;
    std::unique_ptr<QSignalSpy> loads;

    QString BodyText() { return Eval(*view, QStringLiteral("document.body.innerText")).toString(); }

private slots:
    void initTestCase() {
        view = std::make_unique<BrowserView>();
        view->resize(800, 600);
        view->show();
        loads = std::make_unique<QSignalSpy>(view.get(), &QWebEngineView::loadStarted);
    }

    void firstDocumentNavigatesOnce() {
        QVERIFY(!view->HasDocument());
        view->NavigateToBlank();
        QTRY_VERIFY_WITH_TIMEOUT(view->HasDocument(), 10000);
        QCOMPARE(loads->count(), 1);

        DocumentRender* render = view->Render(QStringLiteral("<p>first</p>"));
        QCOMPARE(render->CurrentState(), State::Running); // nothing ends inside the call
        QCOMPARE(view->CurrentRender(), render);
        const auto outcome = Listener(render).Wait();
        QVERIFY(outcome.Finished());
        QCOMPARE(outcome.name, QStringLiteral("about:blank"));
        QCOMPARE(BodyText(), QStringLiteral("first"));
        QCOMPARE(view->CurrentRender(), nullptr);
        // Later renders find the document in place: no navigation.
        QCOMPARE(loads->count(), 1);
    }

    void laterWritesReplaceContent() {
        const QString title = QString::fromUtf8("Смета №1");
        const auto first = viewertest::Render(
            *view,
            QStringLiteral("<html><head><title>%1</title></head><body><p id=a>раз</p></body>")
                .arg(title));
        QCOMPARE(first.name, title);
        const auto second =
            viewertest::Render(*view, QString::fromUtf8("<p id=b>два</p><p>\"кавычки\" \\ \r\n"
                                                        "\u2028 </script> конец</p>"));
        QCOMPARE(second.name, QStringLiteral("about:blank"));
        QCOMPARE(Eval(*view, QStringLiteral("document.getElementById('a')===null")).toBool(), true);
        QVERIFY(BodyText().startsWith(QString::fromUtf8("два\n")));
        QVERIFY(BodyText().contains(QString::fromUtf8("\"кавычки\" \\")));
        QVERIFY(BodyText().contains(QChar(0x2028)));
        QVERIFY(BodyText().endsWith(QString::fromUtf8("конец")));
        // The same text twice gives the same document.
        viewertest::Render(*view, QStringLiteral("<p>same</p>"));
        viewertest::Render(*view, QStringLiteral("<p>same</p>"));
        QCOMPARE(BodyText(), QStringLiteral("same"));
        QCOMPARE(Eval(*view, QStringLiteral("document.querySelectorAll('p').length")).toInt(), 1);
        QCOMPARE(loads->count(), 1);
    }

    void newDocumentStartsAtTheTop() {
        viewertest::Render(*view, viewertest::CyrillicDocument(200000, QStringLiteral("long")));
        Eval(*view, QStringLiteral("window.scrollTo(0, 5000)"));
        QCOMPARE(Eval(*view, QStringLiteral("Math.round(window.scrollY)")).toInt(), 5000);
        viewertest::Render(*view, viewertest::CyrillicDocument(200000, QStringLiteral("next")));
        QCOMPARE(Eval(*view, QStringLiteral("window.scrollY")).toInt(), 0);
    }

    void emptyContent() {
        viewertest::Render(*view, QStringLiteral("<p>something</p>"));
        QCOMPARE(viewertest::Render(*view, QString()).name, QStringLiteral("about:blank"));
        QCOMPARE(BodyText(), QString());
        QCOMPARE(loads->count(), 1);
    }

    void bigDocuments() {
        const QString megabyte = viewertest::CyrillicDocument(1 << 20, QStringLiteral("big"));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(viewertest::Render(*view, megabyte).name, QStringLiteral("big"));
        const qint64 oneMb = clock.elapsed();
        QCOMPARE(
            Eval(*view, QStringLiteral("document.getElementById('end').textContent")).toString(),
            QString::fromUtf8("конец"));

        const QString twenty = viewertest::CyrillicDocument(20 << 20, QStringLiteral("huge"));
        clock.restart();
        QCOMPARE(viewertest::Render(*view, twenty, 180000).name, QStringLiteral("huge"));
        const qint64 twentyMb = clock.elapsed();
        QCOMPARE(
            Eval(*view, QStringLiteral("document.getElementById('end').textContent")).toString(),
            QString::fromUtf8("конец"));
        // Speed is bench_viewer's business; here only a write that never ends is a fault.
        qInfo("write of 1 MB: %lld ms; of 20 MB: %lld ms", oneMb, twentyMb);
        QVERIFY2(oneMb < 30000, "a 1 MB document was not written within 30 s");
    }

    // A newer render superseded an older one wherever the older one is: waiting for its page,
    // writing its first part, or bringing in the rest of a long document. The older one says so
    // and never writes after the newer one; the newer one's text is what shows.
    void newerRenderSupersedes_data() {
        QTest::addColumn<QString>("olderDocument");
        QTest::addColumn<QString>("when"); // "at once", "shown"
        const QString longDocument = viewertest::CyrillicDocument(2 << 20, QStringLiteral("old"));
        QTest::newRow("before its page holds a document")
            << QStringLiteral("<p>older</p>") << QStringLiteral("at once");
        QTest::newRow("while its long document is written")
            << longDocument << QStringLiteral("at once");
        QTest::newRow("while its rest arrives") << longDocument << QStringLiteral("shown");
    }
    void newerRenderSupersedes() {
        QFETCH(QString, olderDocument);
        QFETCH(QString, when);
        DocumentRender* older = view->Render(olderDocument);
        Listener olderEnd(older);
        if (when == u"shown") {
            QSignalSpy shown(older, &DocumentRender::Shown);
            QVERIFY(shown.wait(30000));
        }
        const auto newer =
            viewertest::Render(*view, QStringLiteral("<title>new</title><p>newer</p>"));
        QCOMPARE(olderEnd.Wait(1000).state, State::Superseded);
        QVERIFY(newer.Finished());
        QCOMPARE(newer.name, QStringLiteral("new"));
        QTest::qWait(200); // an older write that was still due would land now
        QCOMPARE(BodyText(), QStringLiteral("newer"));
    }

    // A document whose script never returns keeps its render running; the next render shows
    // at once all the same, and the stuck page's process is ended with it.
    void stuckDocumentIsLeftBehind() {
        DocumentRender* stuck =
            view->Render(QStringLiteral("<p>stuck</p><script>for(;;){}</script>"));
        Listener stuckEnd(stuck);
        QTest::qWait(500);
        QVERIFY(!stuckEnd.Ended());
        const qint64 pid = view->page()->renderProcessPid();
        QElapsedTimer clock;
        clock.start();
        const auto next = viewertest::Render(*view, QStringLiteral("<p>next</p>"));
        QVERIFY(next.Finished());
        QCOMPARE(stuckEnd.Wait(1000).state, State::Superseded);
        qInfo("the next document after a stuck one: %lld ms", clock.elapsed());
        QCOMPARE(BodyText(), QStringLiteral("next"));
#ifdef Q_OS_UNIX
        QVERIFY(pid != view->page()->renderProcessPid());
        QTRY_VERIFY_WITH_TIMEOUT(!ProcessAlive(pid), 5000);
#else
        Q_UNUSED(pid);
#endif
    }

    // A view that goes away with a render under way (the window closing) takes the render with
    // it, says nothing more, and leaves no page process behind, a stuck one included.
    void viewDestroyedWithRenderUnderWay_data() {
        QTest::addColumn<QString>("document");
        QTest::newRow("long document")
            << viewertest::CyrillicDocument(4 << 20, QStringLiteral("x"));
        QTest::newRow("script that never returns")
            << QStringLiteral("<p>stuck</p><script>for(;;){}</script>");
    }
    void viewDestroyedWithRenderUnderWay() {
        QFETCH(QString, document);
        auto* doomed = new BrowserView;
        QPointer<DocumentRender> render = doomed->Render(document);
        Listener end(render);
        QTRY_VERIFY_WITH_TIMEOUT(doomed->HasDocument(), 30000);
        QTest::qWait(300); // the write under way
        const qint64 pid = doomed->page()->renderProcessPid();
        delete doomed;
        QVERIFY(render.isNull());
        QTest::qWait(100);
        QVERIFY(!end.Ended());
#ifdef Q_OS_UNIX
        QTRY_VERIFY_WITH_TIMEOUT(!ProcessAlive(pid), 2000);
#else
        Q_UNUSED(pid);
#endif
    }

#ifdef Q_OS_UNIX
    // The page's process dies in the middle of a long write: the render fails at once with a
    // message, and the next render brings up a new page process and shows its document.
    void pageProcessDiesWhileWriting() {
        // Each document comes in a page of its own: end the process of the one being written.
        qint64 pid = 0;
        const auto killer =
            connect(view.get(), &BrowserView::PageReplaced, [&pid](QWebEnginePage* page) {
                pid = page->renderProcessPid();
                QTimer::singleShot(50, [pid] { ::kill(static_cast<pid_t>(pid), SIGKILL); });
            });
        QElapsedTimer clock;
        clock.start();
        const auto doomed = viewertest::Render(
            *view, viewertest::CyrillicDocument(20 << 20, QStringLiteral("doomed")));
        disconnect(killer);
        QCOMPARE(doomed.state, State::Failed);
        QVERIFY(!doomed.message.isEmpty());
        QVERIFY(pid > 0);
        QVERIFY2(clock.elapsed() < 10000, "the failed write was not noticed at once");
        QVERIFY(!view->HasDocument());

        const auto again =
            viewertest::Render(*view, QStringLiteral("<title>again</title><p>back</p>"));
        QCOMPARE(again.name, QStringLiteral("again"));
        QCOMPARE(BodyText(), QStringLiteral("back"));
    }
#endif

    // Questions to the page: answered later (never inside the call), or not at all when the
    // page does not answer in time or goes away; never when the asker went first.
    void questionsToThePage_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("limitMs");
        QTest::addColumn<QString>("then");      // "", "delete page", "delete context"
        QTest::addColumn<QVariant>("expected"); // invalid: no answer; "never": not called
        QTest::newRow("answered") << QStringLiteral("6*7") << 5000 << QString() << QVariant(42);
        QTest::newRow("too slow") << QStringLiteral("(function(){var t=Date.now();"
                                                    "while(Date.now()-t<1500){}return 1;})()")
                                  << 200 << QString() << QVariant();
        QTest::newRow("page goes away")
            << QStringLiteral("1") << 5000 << QStringLiteral("delete page") << QVariant();
        QTest::newRow("asker goes away")
            << QStringLiteral("1") << 5000 << QStringLiteral("delete context")
            << QVariant(QStringLiteral("never"));
    }
    void questionsToThePage() {
        QFETCH(QString, script);
        QFETCH(int, limitMs);
        QFETCH(QString, then);
        QFETCH(QVariant, expected);
        auto* page = new QWebEnginePage;
        QSignalSpy loaded(page, &QWebEnginePage::loadFinished);
        page->setHtml(QStringLiteral("<p>x</p>"));
        QVERIFY(loaded.wait(10000));
        auto context = std::make_unique<QObject>();
        bool called = false;
        bool calledInside = true;
        std::optional<QVariant> answer;
        orvelle::viewer::AskPage(
            page, script, std::chrono::milliseconds(limitMs), context.get(),
            [&](std::optional<QVariant> value) {
                called = true;
                answer = std::move(value);
            },
            QWebEngineScript::MainWorld);
        calledInside = called;
        if (then == u"delete page") {
            delete page;
            page = nullptr;
        } else if (then == u"delete context") {
            context.reset();
        }
        QTest::qWait(limitMs + 1500);
        QVERIFY(!calledInside);
        if (expected == QVariant(QStringLiteral("never"))) {
            QVERIFY(!called);
        } else {
            QVERIFY(called);
            QCOMPARE(answer.has_value(), expected.isValid());
            if (expected.isValid()) {
                QCOMPARE(answer->toInt(), expected.toInt());
            }
        }
        delete page;
    }

    // The words of a search hit marked in the document: every place, whole words only, letter
    // case ignored, never inside scripts, styles or fields, special characters taken as they
    // are, and no more than the limit however many places there are.
    void marksTheWordsOfAHit_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("marked"); // the marks' texts in document order, '|' between
        const auto words = [](const char* list) {
            return QString::fromUtf8(list).split(u',', Qt::SkipEmptyParts);
        };
        QTest::newRow("every word, every place, any case")
            << QString::fromUtf8("<p>Смета на бетон.</p><p>БЕТОН и <i>смета</i>.</p>")
            << words("смета,Бетон") << QString::fromUtf8("Смета|бетон|БЕТОН|смета");
        QTest::newRow("whole words only")
            << QString::fromUtf8("<p>бетонный бетон бетон2 сбетон</p>") << words("бетон")
            << QString::fromUtf8("бетон");
        QTest::newRow("the longer of two words that begin alike")
            << QString::fromUtf8("<p>ёмкость ёмкостей</p>") << words("ёмкость,ёмкостей")
            << QString::fromUtf8("ёмкость|ёмкостей");
        QTest::newRow("not in scripts, styles, fields or the title")
            << QString::fromUtf8("<title>бетон</title><style>/* бетон */</style>"
                                 "<script>var s='бетон';</script><p>бетон</p>"
                                 "<textarea>бетон</textarea>")
            << words("бетон") << QString::fromUtf8("бетон");
        QTest::newRow("codes and special characters as typed")
            << QString::fromUtf8("<p>ГЭСН 01-01-001, 01-01-0012, 01x01x001; (м3) a.b axb</p>")
            << words("01-01-001,(м3),a.b") << QString::fromUtf8("01-01-001|(м3)|a.b");
        QTest::newRow("a word broken by markup is left")
            << QString::fromUtf8("<p><b>Сме</b>та</p>") << words("смета") << QString();
        QTest::newRow("no words") << QStringLiteral("<p>text</p>") << QStringList() << QString();
        QTest::newRow("bounded")
            << QString::fromUtf8("<p>%1</p>").arg(QString::fromUtf8("да ").repeated(5000))
            << words("да") << QStringLiteral("2000");
    }
    void marksTheWordsOfAHit() {
        QFETCH(QString, html);
        QFETCH(QStringList, words);
        QFETCH(QString, marked);
        const QString filler = QStringLiteral("<p>filler</p>").repeated(300);
        QVERIFY(viewertest::Render(*view, filler + html).Finished());
        std::optional<int> made;
        QObject context;
        view->MarkWords(words, &context, [&made](int count) { made = count; });
        QTRY_VERIFY_WITH_TIMEOUT(made.has_value(), 10000);
        const QString marks = QStringLiteral("document.querySelectorAll('mark[data-orvelle-hit]')");
        QCOMPARE(Eval(*view, marks + QStringLiteral(".length")).toInt(), *made);
        bool isCount = false;
        const int count = marked.toInt(&isCount);
        if (isCount) {
            QCOMPARE(*made, count);
        } else {
            QCOMPARE(
                Eval(*view,
                     QStringLiteral("Array.from(%1).map(m=>m.textContent).join('|')").arg(marks))
                    .toString(),
                marked);
        }
        if (*made == 0) {
            return;
        }
        // The first mark is brought into view, below the filler.
        QVERIFY(Eval(*view, QStringLiteral("window.scrollY")).toInt() > 0);
    }

    void cleanupTestCase() {
        loads.reset();
        view.reset();
    }
};

int main(int argc, char** argv) {
    orvelle::viewer::PrepareEngine();
    QApplication app(argc, argv);
    RenderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "RenderTest.moc"
