// The tree of a real register and what a click on it shows in the browser pane.
#include "FormsTestSupport.h"

#include "forms/ErrorDisplay.h"
#include "forms/RegisterTreeItem.h"
#include "forms/StartupSources.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"
#include "kvdbuild/Cp1251.h"
#include "kvdbuild/KvdBuilder.h"
#include "kvdbuild/Register.h"
#include "viewer/BrowserView.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QWebEnginePage>

#include <memory>

using namespace orvelle;
using formstest::ItemById;
using formstest::RecordingDialogs;
using kvdbuild::Cp1251;

namespace {

constexpr int kBigParagraphs = 20000;
constexpr int kBigParagraphBytes = 1000;

// "Глава «Первая» № 1 € 5": € is 0x88 in Windows-1251, outside what the builder spells.
std::string FirstName() {
    return Cp1251(u8"Глава «Первая» № 1 ") + "\x88" + " 5";
}

std::string Page(const std::string& title, const std::string& mark) {
    std::string page = "<html><head>";
    if (!title.empty()) {
        page += "<title>" + title + "</title>";
    }
    return page + "</head><body><p id=\"mark\">" + mark + "</p></body></html>";
}

void BuildViewerLibrary(const std::string& path) {
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder, true);
    // idparent, id, childcount, name, orderview, idcontents, ispapka, needshow
    kvdbuild::AddRegisterRows(builder, {
                                           {2, 21, 0, Cp1251(u8"Пустой"), 1, 121, 0, 1},
                                           {0, 1, 0, FirstName(), 1, 101, 0, 1},
                                           {0, 2, 2, Cp1251(u8"Папка"), 2, 102, 1, 1},
                                           {2, 22, 0, Cp1251(u8"Без заголовка"), 2, 122, 0, 1},
                                           {0, 3, 0, "Big", 3, 103, 0, 1},
                                           {0, 4, 0, Cp1251(u8"Нет содержимого"), 4, 999, 0, 1},
                                       });
    kvdbuild::AddContent(builder, 101,
                         Page(Cp1251(u8"Первая глава"), Cp1251(u8"Текст первой главы ") + "\x88"));
    kvdbuild::AddContent(builder, 102, Page("Folder page", "folder"));
    kvdbuild::AddContent(builder, 121, "");
    kvdbuild::AddContent(builder, 122, Page("", "untitled"));
    std::string big = "<html><head><title>Big</title></head><body>";
    const std::string paragraph = "<p>" + std::string(kBigParagraphBytes, '\xC6') + "</p>"; // Ж
    big.reserve(big.size() + paragraph.size() * kBigParagraphs + 64);
    for (int i = 0; i < kBigParagraphs; ++i) {
        big += paragraph;
    }
    big += "<p id=\"mark\">end</p></body></html>";
    kvdbuild::AddContent(builder, 103, big);
    builder.Close();
}

QImage Normalised(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class ViewerTest : public QObject {
    Q_OBJECT

    fixtures::TempDir folder_;
    std::string library_;
    std::unique_ptr<formstest::CurrentDirectory> cwd_;
    std::unique_ptr<RecordingDialogs> dialogs_;
    std::unique_ptr<formstest::MainWindow> window_;
    std::unique_ptr<QSignalSpy> loads_;

    forms::TForm2& Form() { return *forms::Form2; }
    viewer::BrowserView& View() { return *forms::Form2->WebBrowser1; }
    QString Mark() {
        return formstest::Eval(View(),
                               QStringLiteral("(function(){var m=document.getElementById('mark');"
                                              "return m?m.textContent:'<none>';})()"))
            .toString();
    }

private slots:
    void initTestCase() {
        library_ = folder_.File("library.kvd");
        BuildViewerLibrary(library_);
        cwd_ = std::make_unique<formstest::CurrentDirectory>(
            QString::fromStdU16String(folder_.Path().u16string()));
        formstest::UseRegistry(folder_.File("machine.reg"),
                               formstest::RegistryText(formstest::PathValueLine(library_)));
        dialogs_ = std::make_unique<RecordingDialogs>();
        window_ = std::make_unique<formstest::MainWindow>();
        Form().showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&Form()));
        loads_ = std::make_unique<QSignalSpy>(View().page(), &QWebEnginePage::loadStarted);
        QVERIFY(dialogs_->log.isEmpty());
    }

    void cleanupTestCase() {
        loads_.reset();
        window_.reset();
        dialogs_.reset();
        cwd_.reset();
    }

    void treeShowsTheRegister() {
        QCOMPARE(
            formstest::TreeListing(),
            (QStringList{QStringLiteral("D 1 Глава «Первая» № 1 € 5"), QStringLiteral("F 2 Папка"),
                         QStringLiteral("  D 21 Пустой"), QStringLiteral("  D 22 Без заголовка"),
                         QStringLiteral("D 3 Big"), QStringLiteral("D 4 Нет содержимого")}));
        QVERIFY(!formstest::AnyExpanded());
        QVERIFY(!Form().TreeView1->currentItem() || Form().TreeView1->selectedItems().isEmpty());

        const forms::TImageList& images = forms::CustomerData->ImageList2;
        for (std::int32_t id : {1, 2, 21}) {
            auto* item = static_cast<forms::RegisterTreeItem*>(ItemById(id));
            const bool folder = id == 2;
            QCOMPARE(item->data(0, forms::RegisterTreeItem::ImageIndexRole).toInt(),
                     folder ? 0 : 2);
            QCOMPARE(item->data(0, forms::RegisterTreeItem::SelectedIndexRole).toInt(),
                     folder ? 1 : 3);
            QCOMPARE(Normalised(item->icon(0).pixmap(16, 16)),
                     Normalised(images.Picture(folder ? 0 : 2)));
            QCOMPARE(Normalised(item->icon(0).pixmap(16, 16, QIcon::Selected)),
                     Normalised(images.Picture(folder ? 1 : 3)));
        }
        const store::TUzel& first = static_cast<forms::RegisterTreeItem*>(ItemById(1))->Entry();
        QCOMPARE(first.idCONTENTS, 101);
        QCOMPARE(first.name, FirstName());
        const store::TUzel& folder = static_cast<forms::RegisterTreeItem*>(ItemById(2))->Entry();
        QCOMPARE(folder.childcount, 2);
        QCOMPARE(folder.idCONTENTS, 102);
    }

    void clickWithNoSelectionDoesNothing() {
        QTreeWidget* tree = Form().TreeView1;
        tree->setCurrentItem(nullptr);
        tree->clearSelection();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          QPoint(20, tree->viewport()->height() - 5));
        formstest::Pump(100);
        QVERIFY(!View().HasDocument());
        QCOMPARE(loads_->count(), 0);
        QCOMPARE(Form().StatusPanelText(0), QString());
        QVERIFY(dialogs_->log.isEmpty());
    }

    void firstClickNavigatesOnceAndShowsTheContent() {
        formstest::ClickTreeItem(1);
        QVERIFY(!forms::DocumentLoading);
        QVERIFY(View().HasDocument());
        QCOMPARE(Mark(), QStringLiteral("Текст первой главы €"));
        QCOMPARE(Form().StatusPanelText(0), QStringLiteral("Первая глава"));
        formstest::Pump(200);
        QCOMPARE(loads_->count(), 1);
        QVERIFY(dialogs_->log.isEmpty());
    }

    void laterClicksReplaceTheContent() {
        Form().TreeView1->expandItem(ItemById(2));
        formstest::ClickTreeItem(22);
        QCOMPARE(Mark(), QStringLiteral("untitled"));
        // A document with no title of its own is named by its entry, not by its address.
        QCOMPARE(Form().StatusPanelText(0), QStringLiteral("Без заголовка"));
        QCOMPARE(formstest::Eval(View(), QStringLiteral("document.title")).toString(), QString());
        QCOMPARE(formstest::Eval(View(), QStringLiteral("document.body.textContent")).toString(),
                 QStringLiteral("untitled"));

        formstest::ClickTreeItem(2); // a folder shows its own content
        QCOMPARE(Mark(), QStringLiteral("folder"));
        QCOMPARE(Form().StatusPanelText(0), QStringLiteral("Folder page"));
        formstest::Pump(100);
        QCOMPARE(loads_->count(), 1);
        QVERIFY(!forms::DocumentLoading);
        QVERIFY(dialogs_->log.isEmpty());
    }

    void emptyAndMissingContents() {
        for (const auto& [id, name] :
             {std::pair{21, u"Пустой"}, std::pair{4, u"Нет содержимого"}}) {
            formstest::ClickTreeItem(1);
            QCOMPARE(Mark(), QStringLiteral("Текст первой главы €"));
            formstest::ClickTreeItem(id);
            QCOMPARE(Mark(), QStringLiteral("<none>"));
            QCOMPARE(formstest::Eval(View(), QStringLiteral("document.documentElement.textContent"))
                         .toString(),
                     QString());
            QCOMPARE(Form().StatusPanelText(0), QString::fromUtf16(name));
        }
        QVERIFY(!forms::DocumentLoading);
        QVERIFY(dialogs_->log.isEmpty());
    }

    void keyboardMovesRenderNothing() {
        formstest::ClickTreeItem(1);
        QCOMPARE(Mark(), QStringLiteral("Текст первой главы €"));
        QTest::keyClick(Form().TreeView1, Qt::Key_Down);
        QCOMPARE(Form().TreeView1->currentItem(), ItemById(2));
        formstest::Pump(100);
        QCOMPARE(Mark(), QStringLiteral("Текст первой главы €"));
        QCOMPARE(Form().StatusPanelText(0), QStringLiteral("Первая глава"));

        // A click on empty space renders the selected entry, not what lies under the mouse.
        QTreeWidget* tree = Form().TreeView1;
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          QPoint(20, tree->viewport()->height() - 5));
        formstest::WaitForRender();
        QCOMPARE(Mark(), QStringLiteral("folder"));
    }

    // A double click (which opens a folder) renders once; Enter renders the selected entry.
    void doubleClickRendersOnceAndEnterRenders() {
        formstest::ClickTreeItem(1);
        QSignalSpy shown(&View(), &viewer::BrowserView::DocumentShown);
        QTreeWidget* tree = Form().TreeView1;
        QTreeWidgetItem* item = ItemById(2);
        const QPoint at = tree->visualItemRect(item).center();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, at);
        formstest::WaitForRender();
        formstest::Pump(100);
        QCOMPARE(shown.count(), 1);
        QCOMPARE(Form().StatusPanelText(0), QStringLiteral("Folder page"));

        tree->setCurrentItem(ItemById(1));
        formstest::Pump(50);
        QCOMPARE(shown.count(), 1); // moving renders nothing
        QTest::keyClick(tree, Qt::Key_Return);
        formstest::WaitForRender();
        QCOMPARE(shown.count(), 2);
        QCOMPARE(Mark(), QStringLiteral("Текст первой главы €"));
    }

    void twentyMegabyteContent() {
        QElapsedTimer timer;
        timer.start();
        formstest::ClickTreeItem(3);
        const qint64 elapsed = timer.elapsed();
        QVERIFY(dialogs_->log.isEmpty());
        QCOMPARE(Form().StatusPanelText(0), QStringLiteral("Big"));
        QCOMPARE(Mark(), QStringLiteral("end"));
        QCOMPARE(
            formstest::Eval(View(), QStringLiteral("document.getElementsByTagName('p').length"))
                .toInt(),
            kBigParagraphs + 1);
        QCOMPARE(
            formstest::Eval(View(), QStringLiteral("document.body.textContent.length")).toInt(),
            kBigParagraphs * kBigParagraphBytes + 3);
        QCOMPARE(formstest::Eval(View(),
                                 QStringLiteral("document.body.firstChild.textContent.charAt(0)"))
                     .toString(),
                 QStringLiteral("Ж"));
        qInfo("20 MB content rendered in %lld ms", elapsed);
        formstest::ClickTreeItem(1); // back to something small
        QCOMPARE(Mark(), QStringLiteral("Текст первой главы €"));
    }

    // A document past what the pane can take is refused with a message; the shown one stays.
    void oversizedDocumentIsRefused() {
        const QString status = Form().StatusPanelText(0);
        const std::string huge((std::size_t{64} << 20) + 1, 'x');
        try {
            Form().RenderHtml(huge);
            QFAIL("expected a refusal");
        } catch (const std::exception& e) {
            QVERIFY(QString::fromUtf8(e.what()).contains(QStringLiteral("too large")));
        }
        QVERIFY(!forms::DocumentLoading);
        QCOMPARE(Form().StatusPanelText(0), status);
        QCOMPARE(Mark(), QStringLiteral("Текст первой главы €"));
    }

    void contentQueryFailureIsReported() {
        db::Database& database = forms::CustomerData->IBDatabase1;
        const std::string name = database.DatabaseName();
        database.Close();
        database.SetDatabaseName(folder_.File("gone.kvd"));
        const QString status = Form().StatusPanelText(0);
        formstest::ClickTreeItem(4);
        QCOMPARE(dialogs_->messages.size(), 1);
        QCOMPARE(dialogs_->messages[0].icon, RecordingDialogs::Icon::Error);
        QVERIFY(!dialogs_->messages[0].text.isEmpty());
        QCOMPARE(dialogs_->messages[0].caption, forms::ApplicationTitle());
        QVERIFY(!forms::DocumentLoading);
        QCOMPARE(Form().StatusPanelText(0), status);
        QCOMPARE(Mark(), QStringLiteral("Текст первой главы €"));
        dialogs_->messages.clear();
        dialogs_->log.clear();
        database.SetDatabaseName(name);
    }
};

FORMS_TEST_MAIN(ViewerTest)

#include "tst_viewer.moc"
