// Links in a shown document, clicked with the mouse in the main window: an in-document link
// scrolls and shows its address, a link the reader clicked that would leave is refused and
// reported, what the document tries by itself is refused quietly, and a render that failed
// does not leave links free to lead away.
#include "FormsTestSupport.h"

#include "forms/ErrorDisplay.h"
#include "forms/RegisterTreeItem.h"
#include "forms/Unit2.h"
#include "kvdbuild/Cp1251.h"
#include "kvdbuild/KvdBuilder.h"
#include "kvdbuild/Register.h"
#include "viewer/BrowserView.h"

#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <csignal>
#include <memory>

using namespace orvelle;
using formstest::ItemById;
using formstest::RecordingDialogs;
using kvdbuild::Cp1251;

namespace {

std::string LinksPage() {
    std::string page = "<html><head><title>Links</title></head><body>"
                       "<p id=\"mark\">links</p>"
                       "<p><a id=\"toSection\" href=\"#" +
                       Cp1251(u8"Раздел 1") +
                       "\">section</a> <a id=\"toOther\" href=\"other.htm\">other</a></p>";
    for (int i = 0; i < 200; ++i) {
        page += "<p>filler</p>";
    }
    return page + "<h2><a name=\"" + Cp1251(u8"Раздел 1") + "\">" + Cp1251(u8"Раздел 1") +
           "</a></h2><p>end</p></body></html>";
}

void BuildLinksLibrary(const std::string& path) {
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder, true);
    kvdbuild::AddRegisterRows(builder, {{0, 1, 0, "Links", 1, 101, 0, 1},
                                        {0, 2, 0, "Big", 2, 102, 0, 1},
                                        {0, 3, 0, "Contents", 3, 103, 0, 1},
                                        {0, 4, 0, "Slow", 4, 104, 0, 1}});
    // A long document with a table of contents at its top: a link into its far end.
    std::string contents = "<html><head><title>Contents</title></head><body style=\"margin:0\">"
                           "<a id=\"toc\" href=\"#far\" style=\"display:block;height:300px\">"
                           "to the end</a>";
    for (int i = 0; i < 40000; ++i) {
        contents += "<p>" + std::string(90, 'x') + "</p>";
    }
    kvdbuild::AddContent(builder, 103,
                         contents + "<h2 id=\"far\">far</h2><div style=\"height:3000px\"></div>"
                                    "</body></html>");
    // A document the engine takes longer to write than any fixed limit would allow.
    kvdbuild::AddContent(builder, 104,
                         "<html><head><title>Slow</title></head><body><p id=\"mark\">slow</p>"
                         "<script>var t=Date.now();while(Date.now()-t<12000);</script>"
                         "</body></html>");
    kvdbuild::AddContent(builder, 101, LinksPage());
    std::string big = "<html><body>";
    for (int i = 0; i < 80000; ++i) {
        big += "<p>" + std::string(100, '\xC6') + "</p>";
    }
    kvdbuild::AddContent(builder, 102, big + "</body></html>");
    builder.Close();
}

} // namespace

class LinksTest : public QObject {
    Q_OBJECT

    fixtures::TempDir folder_;
    std::unique_ptr<formstest::CurrentDirectory> cwd_;
    std::unique_ptr<RecordingDialogs> dialogs_;
    std::unique_ptr<formstest::MainWindow> window_;

    viewer::BrowserView& View() { return *forms::Form2->WebBrowser1; }
    int ScrollY() { return formstest::Eval(View(), QStringLiteral("window.scrollY")).toInt(); }
    QString Mark() {
        return formstest::Eval(View(), QStringLiteral("document.getElementById('mark') ? "
                                                      "document.getElementById('mark').textContent"
                                                      " : '<none>'"))
            .toString();
    }

    void ClickEntry(std::int32_t id) {
        QTreeWidget* tree = forms::Form2->TreeView1;
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(ItemById(id)).center());
        formstest::WaitForRender();
    }

    void ClickSectionLinkAndExpectItRefused() {
        forms::Form2->SetStatusPanelText(1, QString());
        QCOMPARE(ScrollY(), 0);
        formstest::ClickElement(View(), QStringLiteral("toSection"));
        QTRY_COMPARE(forms::Form2->StatusPanelText(1), QStringLiteral("about:blank#Раздел 1"));
        QTRY_VERIFY(ScrollY() > 0);
        QCOMPARE(Mark(), QStringLiteral("links")); // still the same document
    }

private slots:
    void initTestCase() {
        const std::string library = folder_.File("links.kvd");
        BuildLinksLibrary(library);
        cwd_ =
            std::make_unique<formstest::CurrentDirectory>(QString::fromStdString(folder_.Path()));
        formstest::UseRegistry(folder_.File("machine.reg"),
                               formstest::RegistryText(formstest::PathValueLine(library)));
        dialogs_ = std::make_unique<RecordingDialogs>();
        window_ = std::make_unique<formstest::MainWindow>();
        forms::Form2->showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(forms::Form2));
    }

    void inDocumentLinkScrollsAndShowsItsAddress() {
        ClickEntry(1);
        QCOMPARE(Mark(), QStringLiteral("links"));
        ClickSectionLinkAndExpectItRefused();
        QVERIFY(dialogs_->messages.isEmpty());
    }

    void linkLeavingTheDocumentIsRefusedAndReported() {
        ClickEntry(1); // back to the top
        formstest::ClickElement(View(), QStringLiteral("toOther"));
        QTRY_COMPARE(forms::Form2->StatusPanelText(1), QStringLiteral("about:other.htm"));
        QTRY_COMPARE(dialogs_->messages.size(), 1);
        QCOMPARE(dialogs_->messages[0].caption, forms::ApplicationTitle());
        QCOMPARE(dialogs_->messages[0].icon, RecordingDialogs::Icon::Error);
        QCOMPARE(dialogs_->messages[0].text,
                 QStringLiteral("В документе нет элемента «about:other.htm»."));
        QCOMPARE(Mark(), QStringLiteral("links"));
        dialogs_->messages.clear();
    }

    // What the document does by itself, with no click of the reader's, is refused quietly: its
    // address goes to the status bar and no message comes, now or over a later document.
    void documentsOwnNavigationsAreRefusedQuietly_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("address");
        QTest::newRow("a storm of clicks on a link that leaves")
            << "for(var i=0;i<50;i++)document.getElementById('toOther').click()"
            << "about:other.htm";
        QTest::newRow("location") << "location.href='http://example.com/away'"
                                  << "http://example.com/away";
        QTest::newRow("form") << "var f=document.createElement('form');f.action='http://"
                                 "example.com/form';document.body.appendChild(f);f.submit()"
                              << "http://example.com/form?";
        QTest::newRow("refresh") << "var m=document.createElement('meta');m.httpEquiv='refresh';"
                                    "m.content='0;url=http://example.com/r';"
                                    "document.head.appendChild(m)"
                                 << "http://example.com/r";
    }
    void documentsOwnNavigationsAreRefusedQuietly() {
        QFETCH(QString, script);
        QFETCH(QString, address);
        ClickEntry(1);
        forms::Form2->SetStatusPanelText(1, QString());
        formstest::Eval(View(), QStringLiteral("setTimeout(function(){%1},0);1").arg(script));
        QTRY_COMPARE(forms::Form2->StatusPanelText(1), address);
        ClickEntry(3); // the reader moves on
        formstest::Pump(500);
        QVERIFY2(dialogs_->messages.isEmpty(), qPrintable(dialogs_->messages.value(0).text));
        QCOMPARE(forms::Form2->StatusPanelText(0), QStringLiteral("Contents"));
    }

    // The page's process dies while a long document is written: the failure is shown, the flag
    // is down again, and links of the next document are refused as before.
    void linksAfterAFailedRender() {
        // Each document comes in a page of its own: end the process of the one being written.
        qint64 pid = 0;
        const auto killer =
            connect(&View(), &viewer::BrowserView::PageReplaced, [&pid](QWebEnginePage* page) {
                pid = page->renderProcessPid();
                QTimer::singleShot(30, [pid] { ::kill(static_cast<pid_t>(pid), SIGKILL); });
            });
        ClickEntry(2);
        disconnect(killer);
        QVERIFY(pid > 0);
        QTRY_COMPARE(dialogs_->messages.size(), 1);
        QCOMPARE(dialogs_->messages[0].icon, RecordingDialogs::Icon::Error);
        QVERIFY(!forms::DocumentLoading);
        dialogs_->messages.clear();

        QCOMPARE(forms::Form2->StatusPanelText(0), QString()); // as empty as the view

        ClickEntry(1);
        QCOMPARE(Mark(), QStringLiteral("links"));
        QCOMPARE(forms::Form2->StatusPanelText(0), QStringLiteral("Links"));
        ClickSectionLinkAndExpectItRefused();
        QVERIFY(dialogs_->messages.isEmpty());
    }

    // A table-of-contents link clicked while the rest of a long document arrives is followed
    // once the rest is in; the name shows as soon as the top is on screen.
    void linkClickedWhileTheDocumentArrives() {
        QString nameWhenShown;
        const auto clicker =
            connect(&View(), &viewer::BrowserView::DocumentShown, this, [this, &nameWhenShown] {
                QTimer::singleShot(0, this, [this, &nameWhenShown] {
                    nameWhenShown = forms::Form2->StatusPanelText(0);
                    QTest::mouseClick(View().focusProxy(), Qt::LeftButton, {}, QPoint(100, 100));
                });
            });
        ClickEntry(3);
        disconnect(clicker);
        QCOMPARE(nameWhenShown, QStringLiteral("Contents"));
        QTRY_VERIFY(ScrollY() > 1000);
        QTRY_VERIFY(
            qAbs(formstest::Eval(View(), QStringLiteral("Math.round(document."
                                                        "getElementById('far').getBoundingClient"
                                                        "Rect().top)"))
                     .toInt()) <= 1);
        QVERIFY(dialogs_->messages.isEmpty());
    }

    // A slow machine is not an error: the write is waited for while the page process lives.
    void slowWriteIsWaitedFor() {
        ClickEntry(4);
        QVERIFY2(dialogs_->messages.isEmpty(), qPrintable(dialogs_->messages.value(0).text));
        QCOMPARE(Mark(), QStringLiteral("slow"));
        QCOMPARE(forms::Form2->StatusPanelText(0), QStringLiteral("Slow"));
        QVERIFY(!forms::DocumentLoading);
    }

    void cleanupTestCase() {
        window_.reset();
        dialogs_.reset();
        cwd_.reset();
    }
};

FORMS_TEST_MAIN(LinksTest)

#include "tst_links.moc"
