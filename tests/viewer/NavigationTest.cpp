// Every navigation a shown document would make reaches the handler, with real mouse clicks, and
// the handler knows the reader's clicks from the document's own doing; scrolling to anchors.
#include "ViewerTestSupport.h"
#include "viewer/BrowserView.h"
#include "viewer/DecodeAnchor.h"
#include "viewer/PrepareEngine.h"

#include "LinksDocument.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <optional>
#include <stdexcept>

using namespace std::chrono_literals;
using orvelle::viewer::BrowserView;
using viewertest::CentreOf;
using viewertest::Eval;

class NavigationTest : public QObject {
    Q_OBJECT
    std::unique_ptr<BrowserView> view;
    QList<QUrl> asked;
    QList<bool> byReader;
    bool allow = false;
    std::function<void(const QUrl&)> onAsked;

    int ScrollY() { return Eval(*view, QStringLiteral("Math.round(window.scrollY)")).toInt(); }
    // Where the element's top lies relative to the top of the view.
    int TopOf(const QString& expression) {
        return Eval(*view,
                    QStringLiteral("Math.round((%1).getBoundingClientRect().top)").arg(expression))
            .toInt();
    }
    using Outcome = BrowserView::ScrollOutcome;
    // Scrolls the view to `anchor` and waits for the outcome.
    Outcome Scroll(const QString& anchor) {
        std::optional<Outcome> outcome;
        QObject context;
        view->ScrollToAnchor(anchor, &context, [&outcome](Outcome o) { outcome = o; });
        (void)QTest::qWaitFor([&outcome] { return outcome.has_value(); }, 10000);
        return outcome.value_or(Outcome::NoAnswer);
    }
    bool StillOurs() {
        return Eval(*view, QStringLiteral("document.title==='links' && "
                                          "document.getElementById('marker')!==null && "
                                          "location.href==='about:blank'"))
            .toBool();
    }

private slots:
    void initTestCase() {
        view = std::make_unique<BrowserView>();
        view->resize(900, 700);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        view->SetNavigationHandler([this](const QUrl& url, bool reader) {
            asked.append(url);
            byReader.append(reader);
            if (onAsked) {
                onAsked(url);
            }
            return allow;
        });
        view->NavigateToBlank();
        QTRY_VERIFY_WITH_TIMEOUT(view->HasDocument(), 10000);
    }

    void init() {
        allow = false;
        onAsked = nullptr;
        QCOMPARE(viewertest::Render(*view, viewertest::LinksDocument()).name,
                 QStringLiteral("links"));
        QTRY_VERIFY(Eval(*view, QStringLiteral("(function(){var d=document.getElementById("
                                               "'frame').contentDocument;return !!d&&"
                                               "!!d.getElementById('inFrame');})()"))
                        .toBool());
        asked.clear();
        byReader.clear();
    }

    void clicksReachTheHandler_data() {
        QTest::addColumn<QString>("element");
        QTest::addColumn<bool>("inFrame");
        QTest::addColumn<QString>("expected");
        QTest::newRow("fragment, Latin, name") << "latin" << false << "about:blank#sec1";
        QTest::newRow("fragment, Latin, id") << "latinId" << false << "about:blank#top2";
        QTest::newRow("fragment, Cyrillic, name, space")
            << "cyrName" << false << QString::fromUtf8("about:blank#Раздел 1");
        QTest::newRow("fragment, Cyrillic, id, space")
            << "cyrId" << false << QString::fromUtf8("about:blank#Глава 2");
        QTest::newRow("relative document") << "other" << false << "about:other.htm";
        QTest::newRow("relative document with anchor")
            << "otherAnchor" << false << "about:other.htm#sec1";
        QTest::newRow("absolute") << "absolute" << false << "http://example.com/page?q=1";
        QTest::newRow("script, fragment") << "script" << false << "about:blank#sec1";
        QTest::newRow("script, elsewhere") << "scriptAway" << false << "http://example.com/s";
        QTest::newRow("form") << "submit" << false << "http://example.com/form";
        QTest::newRow("target=_blank") << "blank" << false << "http://example.com/new";
        QTest::newRow("window.open") << "open" << false << "about:blank#sec1";
        QTest::newRow("frame, fragment") << "inFrame" << true << "about:blank#inner";
        QTest::newRow("frame, elsewhere") << "frameAway" << true << "http://example.com/fr";
    }

    void clicksReachTheHandler() {
        QFETCH(QString, element);
        QFETCH(bool, inFrame);
        QFETCH(QString, expected);
        const QPoint at =
            inFrame ? CentreOf(*view, QStringLiteral("'#%1'").arg(element),
                               QStringLiteral("document.getElementById('frame')"))
                    : CentreOf(*view, QStringLiteral("document.getElementById('%1')").arg(element));
        QVERIFY(at.x() >= 0);
        viewertest::Click(*view, at);
        QTRY_VERIFY_WITH_TIMEOUT(!asked.isEmpty(), 5000);
        QCOMPARE(asked.first().toString(), expected);
        QVERIFY(byReader.first()); // a link or button the reader clicked
        // Refused: the document is still there, unscrolled, at its own address.
        QTest::qWait(100);
        QCOMPARE(asked.size(), 1);
        QVERIFY(StillOurs());
        QCOMPARE(ScrollY(), 0);
    }

    void anchorsDecodeFromTheHandedUrl() {
        viewertest::Click(*view,
                          CentreOf(*view, QStringLiteral("document.getElementById('cyrName')")));
        QTRY_VERIFY_WITH_TIMEOUT(!asked.isEmpty(), 5000);
        QCOMPARE(orvelle::viewer::DecodeAnchor(asked.first().toString(QUrl::FullyEncoded)),
                 QString::fromUtf8("Раздел 1"));
        QCOMPARE(orvelle::viewer::DecodeAnchor(asked.first().toString()),
                 QString::fromUtf8("Раздел 1"));
    }

    // What the document does by itself, with no click of the reader's, reaches the handler as
    // its doing, not the reader's, however much it looks like a click.
    void scriptedNavigationsAreNotTheReaders_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a.click() elsewhere") << "document.getElementById('absolute').click()"
                                             << "http://example.com/page?q=1";
        QTest::newRow("a.click() on an anchor") << "document.getElementById('latin').click()"
                                                << "about:blank#sec1";
        QTest::newRow("location") << "location.href='http://example.com/s'"
                                  << "http://example.com/s";
        // The form's own submit() (its button, named "submit", hides the method).
        QTest::newRow("form submit") << "HTMLFormElement.prototype.submit.call(document.forms[0])"
                                     << "http://example.com/form";
        QTest::newRow("button.click()") << "document.getElementById('scriptAway').click()"
                                        << "http://example.com/s";
    }
    void scriptedNavigationsAreNotTheReaders() {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        Eval(*view, QStringLiteral("setTimeout(function(){%1}, 0); 1").arg(script));
        QTRY_VERIFY_WITH_TIMEOUT(!asked.isEmpty(), 5000);
        QCOMPARE(asked.first().toString(), expected);
        QVERIFY(!byReader.first());
        QVERIFY(StillOurs());
    }

    // One click of the reader's is one navigation of theirs: a storm the document sets off
    // right after it is the document's.
    void oneClickIsOneNavigation() {
        Eval(*view, QStringLiteral("document.getElementById('latin').addEventListener('click',"
                                   "function(){for(var i=0;i<5;i++)document.getElementById("
                                   "'absolute').click();}); 1"));
        viewertest::Click(*view,
                          CentreOf(*view, QStringLiteral("document.getElementById('latin')")));
        QTRY_VERIFY_WITH_TIMEOUT(!asked.isEmpty(), 5000);
        QTest::qWait(300);
        QCOMPARE(byReader.count(true), 1);
    }

    void scrollToAnchor_data() {
        QTest::addColumn<QString>("anchor");
        QTest::addColumn<QString>("element");
        QTest::newRow("Latin name") << "sec1"
                                    << "document.getElementsByName('sec1')[0]";
        QTest::newRow("Latin id") << "top2"
                                  << "document.getElementById('top2')";
        QTest::newRow("Cyrillic name with space")
            << QString::fromUtf8("Раздел 1")
            << QString::fromUtf8("document.getElementsByName('Раздел 1')[0]");
        QTest::newRow("Cyrillic id with space")
            << QString::fromUtf8("Глава 2")
            << QString::fromUtf8("document.getElementById('Глава 2')");
    }

    void scrollToAnchor() {
        QFETCH(QString, anchor);
        QFETCH(QString, element);
        QCOMPARE(Scroll(anchor), Outcome::Scrolled);
        QVERIFY(ScrollY() > 2000);
        QVERIFY(qAbs(TopOf(element)) <= 1);
    }

    void scrollToMissingAnchor_data() {
        QTest::addColumn<QString>("anchor");
        QTest::newRow("no such element") << "nowhere";
        QTest::newRow("empty") << "";
        QTest::newRow("an address") << "http://example.com/x";
        QTest::newRow("quotes and backslashes are data") << "x');scrollTo(0,0);('\\";
    }
    void scrollToMissingAnchor() {
        QFETCH(QString, anchor);
        QCOMPARE(Scroll(QStringLiteral("sec1")), Outcome::Scrolled);
        const int before = ScrollY();
        QCOMPARE(Scroll(anchor), Outcome::Missing);
        QCOMPARE(ScrollY(), before);
    }

    // A question about a document that is gone by the time it is answered is moot.
    void scrollAfterTheDocumentLeft() {
        std::optional<Outcome> outcome;
        QObject context;
        view->ScrollToAnchor(QStringLiteral("sec1"), &context,
                             [&outcome](Outcome o) { outcome = o; });
        viewertest::Render(*view, QStringLiteral("<p>another</p>"));
        QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 10000);
        QCOMPARE(*outcome, Outcome::DocumentLeft);
    }

    // The way the main window does it: cancel, then scroll once the handler has returned.
    void clickScrollsToTheAnchor() {
        QElapsedTimer clock;
        qint64 scrolledAfter = -1;
        onAsked = [&](const QUrl& url) {
            const QString anchor = orvelle::viewer::DecodeAnchor(url.toString(QUrl::FullyEncoded));
            QMetaObject::invokeMethod(
                view.get(),
                [&, anchor] {
                    view->ScrollToAnchor(anchor, view.get(),
                                         [&](Outcome) { scrolledAfter = clock.elapsed(); });
                },
                Qt::QueuedConnection);
        };
        const QPoint at = CentreOf(*view, QStringLiteral("document.getElementById('cyrId')"));
        clock.start();
        viewertest::Click(*view, at);
        QTRY_VERIFY_WITH_TIMEOUT(scrolledAfter >= 0, 5000);
        QVERIFY(qAbs(TopOf(QString::fromUtf8("document.getElementById('Глава 2')"))) <= 1);
        qInfo("click to scrolled position: %lld ms", scrolledAfter);
    }

    void handlerFailureIsReportedAndCancels() {
        QSignalSpy failures(view.get(), &BrowserView::NavigationHandlerFailed);
        onAsked = [](const QUrl&) { throw std::runtime_error("нет элемента"); };
        allow = true;
        viewertest::Click(*view,
                          CentreOf(*view, QStringLiteral("document.getElementById('absolute')")));
        QTRY_COMPARE_WITH_TIMEOUT(failures.count(), 1, 5000);
        QCOMPARE(failures.first().first().toString(), QString::fromUtf8("нет элемента"));
        QTest::qWait(200);
        QVERIFY(StillOurs());
    }

    // While the handler lets things through (a render under way), an in-document link moves
    // to its anchor inside the same document instead of leaving it.
    void allowedInDocumentLinkStaysInTheDocument() {
        allow = true;
        viewertest::Click(*view,
                          CentreOf(*view, QStringLiteral("document.getElementById('latin')")));
        QTRY_VERIFY_WITH_TIMEOUT(!asked.isEmpty(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(Eval(*view, QStringLiteral("location.href")).toString(),
                                  QStringLiteral("about:blank#sec1"), 5000);
        QVERIFY(Eval(*view, QStringLiteral("document.getElementById('marker')!==null")).toBool());
        QVERIFY(ScrollY() > 2000);
    }

    void cleanupTestCase() { view.reset(); }
};

int main(int argc, char** argv) {
    orvelle::viewer::PrepareEngine();
    QApplication app(argc, argv);
    NavigationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "NavigationTest.moc"
