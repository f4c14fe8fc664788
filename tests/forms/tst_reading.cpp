// Reading aids of the main window: find in page, the title filter, Back/Forward, zoom kept
// across a restart, and the document's own menu. Real library, real browser view, offscreen.
#include "FormsTestSupport.h"

#include "fixtures/Databases.h"

#include "forms/BrowserContextMenu.h"
#include "forms/DocumentHistory.h"
#include "forms/FindBar.h"
#include "forms/PrintZoom.h"
#include "forms/TitleFilter.h"
#include "forms/Unit2.h"
#include "forms/ZoomControl.h"
#include "kvdbuild/Cp1251.h"
#include "kvdbuild/KvdBuilder.h"
#include "kvdbuild/Register.h"
#include "viewer/BrowserView.h"
#include "viewer/DocumentPrinter.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWheelEvent>

#include <memory>

using namespace orvelle;
using formstest::ItemById;
using kvdbuild::Cp1251;

namespace {

std::string Page(const std::string& title, const std::string& body) {
    return "<html><head><title>" + title + "</title></head><body>" + body + "</body></html>";
}

// A page tall enough to scroll, with a link to its second section.
std::string SectionsPage() {
    std::string filler;
    for (int i = 0; i < 80; ++i) {
        filler += "<p>" + Cp1251(u8"Строка ") + std::to_string(i) + "</p>";
    }
    return Page(Cp1251(u8"Справка"), "<p id=\"mark\">sections</p><a id=\"toS2\" href=\"#s2\">s2</a>"
                                     "<p>" +
                                         Cp1251(u8"Ёлка, ёлка, ЕЛКА и елка.") + "</p>" + filler +
                                         "<h2 id=\"s2\">" + Cp1251(u8"Второй раздел") + "</h2>" +
                                         filler);
}

void BuildReadingLibrary(const std::string& path) {
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder, true);
    // idparent, id, childcount, name, orderview, idcontents, ispapka, needshow
    kvdbuild::AddRegisterRows(builder, {
                                           {0, 1, 0, Cp1251(u8"Справка"), 1, 101, 0, 1},
                                           {0, 2, 2, Cp1251(u8"Нормативы"), 2, 102, 1, 1},
                                           {2, 21, 0, Cp1251(u8"Расценки на бетон"), 1, 121, 0, 1},
                                           {2, 22, 1, Cp1251(u8"Подпапка"), 2, 122, 1, 1},
                                           {22, 221, 0, Cp1251(u8"Глубокая Ёлка"), 1, 1221, 0, 1},
                                           {0, 3, 1, Cp1251(u8"Прайс"), 3, 103, 1, 1},
                                           {3, 31, 0, Cp1251(u8"Цемент"), 1, 131, 0, 1},
                                       });
    kvdbuild::AddContent(builder, 101, SectionsPage());
    kvdbuild::AddContent(
        builder, 121,
        Page("beton", "<p id=\"mark\">beton</p><p>" +
                          Cp1251(u8"Бетон тяжёлый. БЕТОН лёгкий. Расценки на бетон.") + "</p>"));
    for (int id : {102, 122, 1221, 103, 131}) {
        kvdbuild::AddContent(
            builder, id, Page(std::to_string(id), "<p id=\"mark\">" + std::to_string(id) + "</p>"));
    }
    builder.Close();
}

// Types `text` letter by letter (QTest's own typing knows Latin-1 only).
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

} // namespace

class ReadingTest : public QObject {
    Q_OBJECT

    fixtures::TempDir folder_;
    std::unique_ptr<formstest::CurrentDirectory> cwd_;
    std::unique_ptr<formstest::RecordingDialogs> dialogs_;
    std::unique_ptr<formstest::MainWindow> window_;

    forms::TForm2& Form() { return *forms::Form2; }
    viewer::BrowserView& View() { return *forms::Form2->WebBrowser1; }
    QString Mark() { return formstest::Mark(View()); }
    int ScrollY() { return formstest::ScrollY(View()); }
    std::int32_t CurrentId() {
        QTreeWidgetItem* item = Form().TreeView1->currentItem();
        for (std::int32_t id : {1, 2, 21, 22, 221, 3, 31}) {
            if (ItemById(id) == item) {
                return id;
            }
        }
        return -1;
    }
    static bool Visible(QTreeWidgetItem* item) {
        for (; item; item = item->parent()) {
            if (item->isHidden()) {
                return false;
            }
        }
        return true;
    }
    // Types into the find field and waits for the engine's count.
    QString Count(const std::function<void()>& action) {
        QSignalSpy counted(Form().FindBar1, &forms::FindBar::Counted);
        action();
        if (!counted.wait(10000)) {
            return QStringLiteral("<no answer>");
        }
        return Form().FindBar1->CountText();
    }
    void StartWindow() {
        window_ = std::make_unique<formstest::MainWindow>();
        Form().showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&Form()));
        Form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&Form()));
    }

private slots:
    void initTestCase() {
        qRegisterMetaType<QMenu*>();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(folder_.File("settings")));
        const std::string library = folder_.File("reading.kvd");
        BuildReadingLibrary(library);
        cwd_ = std::make_unique<formstest::CurrentDirectory>(
            QString::fromStdU16String(folder_.Path().u16string()));
        formstest::UseRegistry(folder_.File("machine.reg"),
                               formstest::RegistryText(formstest::PathValueLine(library)));
        dialogs_ = std::make_unique<formstest::RecordingDialogs>();
        StartWindow();
    }

    void cleanupTestCase() {
        window_.reset();
        dialogs_.reset();
        cwd_.reset();
    }

    void findBarCountsStepsAndCloses() {
        formstest::ClickTreeItem(21);
        QCOMPARE(Mark(), QStringLiteral("beton"));
        forms::FindBar& bar = *Form().FindBar1;
        QVERIFY(bar.isHidden());
        QTest::keyClick(&Form(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar.isVisible());
        QVERIFY(bar.Field()->hasFocus());
        // A thin strip under the document, which keeps the rest of the pane.
        QTRY_VERIFY(bar.y() > Form().WebBrowser1->y());
        QVERIFY2(bar.height() <= bar.Field()->sizeHint().height() + 8,
                 qPrintable(QString::number(bar.height())));
        QVERIFY(Form().WebBrowser1->height() >= Form().Panel2->height() - bar.height() - 16);

        // Case does not matter; Enter, F3 and their Shift forms step forward and back.
        QCOMPARE(Count([&] { Type(bar.Field(), QStringLiteral("бЕтОн")); }),
                 QStringLiteral("1 из 3"));
        QCOMPARE(Count([&] { QTest::keyClick(bar.Field(), Qt::Key_Return); }),
                 QStringLiteral("2 из 3"));
        QCOMPARE(Count([&] { QTest::keyClick(&Form(), Qt::Key_F3); }), QStringLiteral("3 из 3"));
        QCOMPARE(Count([&] { QTest::keyClick(&Form(), Qt::Key_F3, Qt::ShiftModifier); }),
                 QStringLiteral("2 из 3"));
        QCOMPARE(Count([&] { QTest::keyClick(bar.Field(), Qt::Key_Return, Qt::ShiftModifier); }),
                 QStringLiteral("1 из 3"));
        QCOMPARE(Count([&] { Type(bar.Field(), QStringLiteral("xyz")); }),
                 QStringLiteral("Нет совпадений"));

        // «ё» and «е»: the engine folds them onto each other.
        formstest::ClickTreeItem(1);
        QCOMPARE(bar.CountText(), QString()); // a new document forgets the old count
        bar.Field()->clear();
        QCOMPARE(Count([&] { Type(bar.Field(), QStringLiteral("елка")); }),
                 QStringLiteral("1 из 4"));
        QCOMPARE(Count([&] { QTest::keyClick(bar.Field(), Qt::Key_Return); }),
                 QStringLiteral("2 из 4"));

        bar.Field()->setFocus();
        QTest::keyClick(bar.Field(), Qt::Key_Escape);
        QVERIFY(bar.isHidden());
        QCOMPARE(bar.CountText(), QString());
        QCOMPARE(Mark(), QStringLiteral("sections"));
        // Escape in the document closes the bar too; elsewhere it is left alone.
        QTest::keyClick(&Form(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar.isVisible());
        formstest::ClickElement(View(), QStringLiteral("mark"));
        QTRY_VERIFY(View().focusProxy()->hasFocus());
        QTest::keyClick(View().focusProxy(), Qt::Key_Escape);
        QVERIFY(bar.isHidden());
        QVERIFY(dialogs_->log.isEmpty());
    }

    void filterKeepsAncestorsAndRestores_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("shown");
        QTest::newRow("deep, case") << QStringLiteral("ГЛУБ") << QList<int>{2, 22, 221};
        QTest::newRow("е finds ё") << QStringLiteral("елка") << QList<int>{2, 22, 221};
        QTest::newRow("folder and document")
            << QStringLiteral("а") << QList<int>{1, 2, 21, 22, 221, 3};
        QTest::newRow("top level") << QStringLiteral("цемент") << QList<int>{3, 31};
        QTest::newRow("nothing") << QStringLiteral("щщ") << QList<int>{};
    }
    void filterKeepsAncestorsAndRestores() {
        QFETCH(QString, text);
        QFETCH(QList<int>, shown);
        QTreeWidget* tree = Form().TreeView1;
        tree->collapseAll();
        ItemById(3)->setExpanded(true);
        const QString panel0 = Form().StatusPanelText(0);
        const QString mark = Mark();

        Form().TitleFilter1->setText(text);
        for (int id : {1, 2, 21, 22, 221, 3, 31}) {
            QTreeWidgetItem* item = ItemById(id);
            QCOMPARE(std::pair(id, Visible(item)), std::pair(id, shown.contains(id)));
            // With few matches, a folder holding one is opened.
            if (item->parent() && shown.contains(id)) {
                QVERIFY(item->parent()->isExpanded());
            }
        }
        // An empty tree says why.
        const auto* nothing = tree->findChild<QLabel*>(QStringLiteral("TitleFilterNothingFound"));
        QVERIFY(nothing);
        QCOMPARE(nothing->isVisibleTo(tree), shown.isEmpty());
        if (shown.isEmpty()) {
            QCOMPARE(nothing->text(),
                     QStringLiteral("Ничего не найдено по названию «%1»").arg(text));
        }

        Form().TitleFilter1->clear();
        QVERIFY(!nothing->isVisibleTo(tree));
        for (int id : {1, 2, 21, 22, 221, 3, 31}) {
            QVERIFY(!ItemById(id)->isHidden());
        }
        QVERIFY(ItemById(3)->isExpanded());
        QVERIFY(!ItemById(2)->isExpanded());
        QVERIFY(!ItemById(22)->isExpanded());
        formstest::Pump(50);
        QCOMPARE(Form().StatusPanelText(0), panel0); // filtering renders nothing
        QCOMPARE(Mark(), mark);
    }

    void filterReachesAFolderOpenedWhileFiltering() {
        // "Прайс" matches by its own name; nothing inside it does, so it stays closed.
        Form().TreeView1->collapseAll();
        Form().TitleFilter1->setText(QStringLiteral("прайс"));
        QVERIFY(Visible(ItemById(3)) && !ItemById(3)->isExpanded());
        ItemById(3)->setExpanded(true);
        QVERIFY(!Visible(ItemById(31)));
        Form().TitleFilter1->clear();
        QVERIFY(Visible(ItemById(31)));
    }

    void historyAcrossAnchorsAndDocuments() {
        forms::DocumentHistory& history = *Form().History1;
        // A tree loaded afresh (as another library would be) starts with no history.
        Form().TreeView1->clear();
        Form().LoadRegisterLevel(0, nullptr);
        QVERIFY(!history.CanGoBack() && !history.CanGoForward());
        QVERIFY(!Form().ToolButton13->isEnabled() && !Form().ToolButton14->isEnabled());

        formstest::ClickTreeItem(1);
        QCOMPARE(Mark(), QStringLiteral("sections"));
        QTRY_COMPARE(ScrollY(), 0);
        formstest::ClickElement(View(), QStringLiteral("toS2"));
        QTRY_VERIFY(ScrollY() > 0);
        const int atSection = ScrollY();
        formstest::ClickTreeItem(21);
        QCOMPARE(Mark(), QStringLiteral("beton"));
        QVERIFY(Form().ToolButton13->isEnabled());
        QVERIFY(!Form().ToolButton14->isEnabled());

        // Alt+Left: the section, then the top of the same document; the tree follows.
        QTest::keyClick(&Form(), Qt::Key_Left, Qt::AltModifier);
        QTRY_COMPARE(Mark(), QStringLiteral("sections"));
        QTRY_COMPARE(ScrollY(), atSection);
        QCOMPARE(CurrentId(), 1);
        QTest::keyClick(&Form(), Qt::Key_Left, Qt::AltModifier);
        QTRY_COMPARE(ScrollY(), 0);
        QVERIFY(!history.CanGoBack());
        QVERIFY(!Form().ToolButton13->isEnabled());

        // The mouse's forward button, pressed over the document, and the toolbar button.
        QTest::mouseClick(View().focusProxy(), Qt::ForwardButton, {}, QPoint(50, 50));
        QTRY_COMPARE(ScrollY(), atSection);
        QTest::mouseClick(Form().ToolButton14, Qt::LeftButton);
        QTRY_COMPARE(Mark(), QStringLiteral("beton"));
        QCOMPARE(CurrentId(), 21);
        QTest::mouseClick(Form().TreeView1->viewport(), Qt::BackButton, {}, QPoint(5, 5));
        QTRY_COMPARE(Mark(), QStringLiteral("sections"));
        QTRY_COMPARE(ScrollY(), atSection);

        // A new place after going back drops the way forward.
        formstest::ClickTreeItem(31);
        QCOMPARE(Mark(), QStringLiteral("131"));
        QVERIFY(!history.CanGoForward());
        QTest::keyClick(&Form(), Qt::Key_Left, Qt::AltModifier);
        QTRY_COMPARE(Mark(), QStringLiteral("sections"));
        QCOMPARE(CurrentId(), 1);
        QVERIFY(dialogs_->log.isEmpty());

        // Both buttons look like the others: 23 x 22, a 16 x 16 picture.
        for (QToolButton* button : {Form().ToolButton13, Form().ToolButton14}) {
            QCOMPARE(button->size(), QSize(23, 22));
            QVERIFY(!button->icon().pixmap(16, 16).isNull());
        }
    }

    void contextMenuOffersOurEntriesAndKeepsTheDocument() {
        formstest::ClickTreeItem(21);
        QSignalSpy shown(Form().BrowserMenu1, &forms::BrowserContextMenu::Shown);
        formstest::ClickElement(View(), QStringLiteral("mark"), Qt::RightButton);
        QVERIFY(shown.wait(10000));
        auto* menu = qvariant_cast<QMenu*>(shown.at(0).at(0));
        QStringList captions;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) {
                captions << action->text();
            }
        }
        QCOMPARE(captions,
                 (QStringList{QStringLiteral("Копировать"), QStringLiteral("Выделить всё"),
                              QStringLiteral("Найти на странице…"), QStringLiteral("Печать…"),
                              QStringLiteral("Предварительный просмотр")}));
        QVERIFY(!menu->actions().at(0)->isEnabled()); // nothing selected to copy
        menu->actions().at(1)->trigger();             // select all
        menu->close();
        QTRY_VERIFY(View().page()->hasSelection());

        std::unique_ptr<QMenu> again(Form().BrowserMenu1->Build());
        QVERIFY(again->actions().at(0)->isEnabled());
        again->actions().at(0)->trigger(); // copy
        again->actions().at(3)->trigger(); // find
        QVERIFY(Form().FindBar1->isVisible());
        formstest::Pump(200);
        QCOMPARE(Mark(), QStringLiteral("beton"));
        QVERIFY(dialogs_->log.isEmpty());
        Form().FindBar1->Close();
    }

    void printUsesTheZoomOnlyWhenPageSetupAsks() {
        formstest::ClickTreeItem(1);
        QCOMPARE(Mark(), QStringLiteral("sections"));
        Form().Zoom1->SetFactor(2.0);
        viewer::DocumentPrinter printer(&View());
        const auto pages = [&] {
            QPrinter pdf(QPrinter::ScreenResolution);
            pdf.setOutputFormat(QPrinter::PdfFormat);
            pdf.setOutputFileName(QString::fromStdString(folder_.File("print.pdf")));
            QSignalSpy printed(&printer, &viewer::DocumentPrinter::Printed);
            printer.PrintTo(pdf);
            if (!printed.wait(60000)) {
                return -1;
            }
            const QString pdfText =
                QString::fromLatin1(fixtures::ReadFile(folder_.File("print.pdf")));
            return static_cast<int>(
                pdfText.count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
        };
        const int plain = pages();
        QVERIFY(plain > 0);
        QVERIFY(!Form().PrintZoom1->Enabled());

        // The page setup dialog carries the choice; ticking it makes prints follow the zoom.
        bool ticked = false;
        QTimer::singleShot(200, [&] {
            auto* dialog = qobject_cast<QPageSetupDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                return;
            }
            auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("PrintAtViewZoom"));
            if (box && box->text() == QStringLiteral("Печатать в масштабе просмотра")) {
                box->setChecked(true);
                ticked = true;
            }
            dialog->accept();
        });
        Form().N9Click();
        QVERIFY(ticked);
        QVERIFY(Form().PrintZoom1->Enabled());
        formstest::Pump(100);
        const int zoomed = pages();
        QVERIFY2(zoomed >= plain * 3 / 2,
                 qPrintable(QStringLiteral("%1 pages, then %2").arg(plain).arg(zoomed)));
        QTRY_COMPARE(formstest::Eval(View(), QStringLiteral("document.documentElement.style.zoom"))
                         .toString(),
                     QString());

        Form().PrintZoom1->SetEnabled(false);
        formstest::Pump(100);
        QCOMPARE(pages(), plain);
        Form().Zoom1->Reset();
    }

    // Last: it restarts the window.
    void zoomIsKeptAcrossARestart() {
        forms::ZoomControl& zoom = *Form().Zoom1;
        Form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&Form()));
        QTest::keyClick(&Form(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(zoom.Factor(), 1.0);
        QTest::keyClick(&Form(), Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(zoom.Factor(), 1.1);
        QTest::keyClick(&Form(), Qt::Key_Minus, Qt::ControlModifier);
        QTest::keyClick(&Form(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(zoom.Factor(), 0.9);
        QWheelEvent up(QPointF(40, 40), View().mapToGlobal(QPointF(40, 40)), QPoint(),
                       QPoint(0, 240), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(View().focusProxy(), &up);
        QCOMPARE(zoom.Factor(), 1.1);

        window_.reset();
        StartWindow();
        QCOMPARE(Form().Zoom1->Factor(), 1.1);
        formstest::ClickTreeItem(21);
        QCOMPARE(Mark(), QStringLiteral("beton"));
        // The document is laid out at that zoom: its CSS width is the view's width / 1.1.
        const double cssWidth =
            formstest::Eval(View(), QStringLiteral("window.innerWidth")).toDouble();
        QVERIFY2(qAbs(cssWidth * 1.1 - View().width()) < 3,
                 qPrintable(QStringLiteral("%1 css px in %2").arg(cssWidth).arg(View().width())));
    }
};

FORMS_TEST_MAIN(ReadingTest)
#include "tst_reading.moc"
