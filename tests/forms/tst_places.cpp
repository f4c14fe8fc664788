// The reader's own places: favourites kept per library across restarts, a moved file and a newer
// version; where reading stopped; an entry opened from the outside, at start-up and handed to a
// running viewer; a section saved as PDF from the tree; page setup kept and the preview's
// navigation. Real libraries, the real browser view and program, offscreen.
#include "FormsTestSupport.h"

#include "fixtures/Databases.h"
#include "fixtures/PdfOutline.h"

#include "forms/DocumentHistory.h"
#include "forms/Favourites.h"
#include "forms/LaunchRequest.h"
#include "forms/SectionCommands.h"
#include "forms/StartupSources.h"
#include "forms/Unit2.h"
#include "kvdbuild/Cp1251.h"
#include "kvdbuild/KvdBuilder.h"
#include "kvdbuild/Register.h"
#include "viewer/BrowserView.h"
#include "viewer/DocumentPrinter.h"
#include "viewer/PreviewDialog.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSplitter>
#include <QTreeWidget>

#include <filesystem>
#include <memory>

using namespace orvelle;
using formstest::ItemById;
using kvdbuild::Cp1251;

namespace {

std::string Page(const std::string& mark, const std::string& body = std::string()) {
    return "<html><head><title>" + mark + "</title></head><body><p id=\"mark\">" + mark + "</p>" +
           body + "</body></html>";
}

// 1 «Справка» (a long page with a section "s2"), 2 «Нормативы» / 21 «Бетон», 22 «Подпапка» /
// 221 «Глубокий»; 3 «Прайс» / 31 «Цемент» (left out of the newer version).
void BuildLibrary(const std::string& path, bool withCement) {
    std::string filler;
    for (int i = 0; i < 150; ++i) {
        filler += "<p>" + std::to_string(i) + "</p>";
    }
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder, true);
    std::vector<kvdbuild::RegisterRow> rows = {
        {0, 1, 0, Cp1251(u8"Справка"), 1, 101, 0, 1},
        {0, 2, 2, Cp1251(u8"Нормативы"), 2, 102, 1, 1},
        {2, 21, 0, Cp1251(u8"Бетон"), 1, 121, 0, 1},
        {2, 22, 1, Cp1251(u8"Подпапка"), 2, 122, 1, 1},
        {22, 221, 0, Cp1251(u8"Глубокий"), 1, 1221, 0, 1},
        {0, 3, withCement ? 1 : 0, Cp1251(u8"Прайс"), 3, 103, 1, 1},
    };
    if (withCement) {
        rows.push_back({3, 31, 0, Cp1251(u8"Цемент"), 1, 131, 0, 1});
    }
    kvdbuild::AddRegisterRows(builder, rows);
    kvdbuild::AddContent(builder, 101, Page("help", filler + "<h2 id=\"s2\">s2</h2>" + filler));
    kvdbuild::AddContent(builder, 121, Page("beton", Cp1251(u8"<p>Бетон тяжёлый</p>")));
    for (int id : {102, 122, 1221, 103, 131}) {
        kvdbuild::AddContent(builder, id, Page(std::to_string(id)));
    }
    builder.Close();
}

// Page setup answered without a dialog: A5, landscape, margins of 20 mm.
class SetUpPages final : public viewer::PrintDialogs {
public:
    bool AskPrint(QPrinter&, QWidget*) override { return false; }
    bool AskPageSetup(QPrinter& printer, QWidget*) override {
        printer.setPageSize(QPageSize(QPageSize::A5));
        printer.setPageOrientation(QPageLayout::Landscape);
        printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
        return true;
    }
    void ShowPreview(const QByteArray&, QWidget*, std::function<void()>) override {}
};

QByteArray PdfOfPages(int pages) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    QPainter painter(&writer);
    for (int page = 0; page < pages; ++page) {
        if (page > 0) {
            writer.newPage();
        }
        painter.drawText(100, 100, QString::number(page + 1));
    }
    painter.end();
    return bytes;
}

} // namespace

class PlacesTest : public QObject {
    Q_OBJECT

    fixtures::TempDir folder_;
    std::unique_ptr<formstest::CurrentDirectory> cwd_;
    std::unique_ptr<formstest::RecordingDialogs> dialogs_;
    std::unique_ptr<formstest::MainWindow> window_;

    forms::TForm2& Form() { return *forms::Form2; }
    viewer::BrowserView& View() { return *forms::Form2->WebBrowser1; }
    std::string Library() { return folder_.File("library.kvd"); }
    QString Mark() { return formstest::Mark(View()); }
    int ScrollY() { return formstest::ScrollY(View()); }
    std::int32_t CurrentId() {
        QTreeWidgetItem* item = Form().TreeView1->currentItem();
        for (std::int32_t id : {1, 2, 21, 22, 221, 3, 31}) {
            if (item && ItemById(id) == item) {
                return id;
            }
        }
        return -1;
    }
    // A window on `library` (through the machine registry), shown as the program shows it.
    void StartWindow(const std::string& library) {
        window_.reset();
        formstest::UseRegistry(folder_.File("machine.reg"),
                               formstest::RegistryText(formstest::PathValueLine(library)));
        window_ = std::make_unique<formstest::MainWindow>();
        Form().ShowAsLastTime();
        QVERIFY(QTest::qWaitForWindowExposed(&Form()));
        Form().activateWindow();
    }
    void TriggerTreeAction(std::int32_t id, const char* name) {
        Form().TreeView1->setCurrentItem(ItemById(id));
        auto* action = Form().TreeView1->findChild<QAction*>(QLatin1String(name));
        QVERIFY(action && action->isEnabled());
        action->trigger();
    }
    // Runs the program while this one goes on processing events (a running viewer answers it).
    int RunProgram(const QStringList& arguments, QByteArray* out = nullptr) {
        QProcess program;
        QSignalSpy finished(&program, &QProcess::finished);
        program.start(QStringLiteral(ORVELLE_BINARY), arguments);
        if (!finished.wait(60000)) {
            program.kill();
            program.waitForFinished();
            return -1;
        }
        if (out) {
            *out = program.readAllStandardOutput();
        }
        return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    }

private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(folder_.File("settings")));
        // The viewers of this test hand over to each other, and to no other test's.
        const std::filesystem::path runtime = folder_.Path() / "runtime";
        std::filesystem::create_directories(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.string()));
        BuildLibrary(Library(), true);
        BuildLibrary(folder_.File("newer.kvd"), false);
        cwd_ = std::make_unique<formstest::CurrentDirectory>(
            QString::fromStdU16String(folder_.Path().u16string()));
        dialogs_ = std::make_unique<formstest::RecordingDialogs>();
    }

    void cleanupTestCase() {
        window_.reset();
        dialogs_.reset();
        cwd_.reset();
    }

    void pageSetupIsKeptAndThePreviewNavigates() {
        // 10 mm margins until the reader sets the page up; the choice outlives the printer.
        viewer::DocumentPrinter first(nullptr, std::make_unique<SetUpPages>());
        QCOMPARE(first.Printer().pageLayout().margins(QPageLayout::Millimeter),
                 QMarginsF(10, 10, 10, 10));
        viewer::DocumentPrinter chosen(nullptr, std::make_unique<SetUpPages>());
        chosen.PageSetup();
        viewer::DocumentPrinter later(nullptr);
        const QPageLayout layout = later.Printer().pageLayout();
        QCOMPARE(layout.pageSize().id(), QPageSize::A5);
        QCOMPARE(layout.orientation(), QPageLayout::Landscape);
        QCOMPARE(layout.margins(QPageLayout::Millimeter), QMarginsF(20, 20, 20, 20));

        viewer::PreviewDialog preview(PdfOfPages(7));
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QCOMPARE(preview.PageCount(), 7);
        QCOMPARE(preview.PageCountLabel()->text(), QStringLiteral("из 7"));
        auto* number = preview.findChild<QSpinBox*>(QStringLiteral("PreviewPageNumber"));
        number->setValue(5);
        QTRY_COMPARE(preview.CurrentPage(), 4);
        preview.GoToPage(99);
        QTRY_COMPARE(preview.CurrentPage(), 6);
        QCOMPARE(number->value(), 7);
        const double zoom = preview.Zoom();
        preview.ZoomIn();
        QVERIFY(preview.Zoom() > zoom);
        QCOMPARE(preview.CurrentPage(), 6); // zooming keeps the page
        preview.ZoomOut();
        preview.ZoomOut();
        QVERIFY(preview.Zoom() < zoom);
    }

    void favouritesAreKeptPerLibrary() {
        StartWindow(Library());
        forms::FavouritesPanel& panel = *Form().Favourites1;
        TriggerTreeAction(21, "TreeAddFavourite");
        QVERIFY(Form().OpenEntry(1, QStringLiteral("s2")));
        QTRY_COMPARE(Form().History1->CurrentAnchor(), QStringLiteral("s2"));
        QTest::keyClick(&Form(), Qt::Key_D, Qt::ControlModifier); // the entry and its section
        TriggerTreeAction(31, "TreeAddFavourite");
        TriggerTreeAction(21, "TreeAddFavourite"); // there already: not added twice
        panel.List->item(0)->setData(Qt::EditRole, QStringLiteral("Мой бетон"));
        QVERIFY(panel.List->model()->moveRow(QModelIndex(), 2, QModelIndex(), 0));
        const QList<forms::Favourite> kept = {
            {31, QString(), QStringLiteral("Цемент")},
            {21, QString(), QStringLiteral("Мой бетон")},
            {1, QStringLiteral("s2"), QStringLiteral("Справка — s2")},
        };
        QCOMPARE(panel.Items(), kept);

        // Back after a restart, after the file moved under another name, and with a newer
        // version of the library that dropped «Цемент»: greyed and noted, never dropped.
        const std::filesystem::path moved = folder_.Path() / "moved" / u8"Другое имя.kvd";
        std::filesystem::create_directories(moved.parent_path());
        std::filesystem::copy_file(Library(), moved);
        const std::pair<std::string, bool> situations[] = {
            {Library(), true}, {moved.string(), true}, {folder_.File("newer.kvd"), false}};
        for (const auto& [library, withCement] : situations) {
            if (!withCement) {
                std::filesystem::copy_file(library, Library(),
                                           std::filesystem::copy_options::overwrite_existing);
            }
            StartWindow(withCement ? library : Library());
            forms::FavouritesPanel& shown = *Form().Favourites1;
            QCOMPARE(shown.Items(), kept);
            QCOMPARE(shown.IsPresent(0), withCement);
            QVERIFY(shown.IsPresent(1) && shown.IsPresent(2));
            QCOMPARE(shown.List->item(0)->text().contains(
                         QString::fromUtf8(forms::FavouritesPanel::kMissingText)),
                     !withCement);
        }

        // A click opens a favourite through the tree, at its section; a missing one does nothing.
        forms::FavouritesPanel& panel2 = *Form().Favourites1;
        QListWidget* list = panel2.List;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(2)).center());
        QTRY_COMPARE(Mark(), QStringLiteral("help"));
        QCOMPARE(CurrentId(), 1);
        QTRY_VERIFY(ScrollY() > 0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        QCOMPARE(CurrentId(), 1);
        panel2.List->setCurrentRow(0);
        panel2.RemoveCurrent(); // removed only when the reader says so
        StartWindow(Library());
        QCOMPARE(Form().Favourites1->Items(), kept.mid(1));
    }

    void readingResumesWhereItStopped() {
        StartWindow(Library());
        QVERIFY(Form().OpenEntry(221));
        QVERIFY(Form().OpenEntry(1));
        formstest::WaitForRender();
        QCOMPARE(Mark(), QStringLiteral("help"));
        formstest::Eval(View(), QStringLiteral("window.scrollTo(0, 400); true"));
        ItemById(3)->setExpanded(true);
        ItemById(22)->setExpanded(false);
        Form().Splitter1->setSizes({180, 500});
        const int tree = Form().Splitter1->sizes().at(0);
        formstest::Pump(1600); // the scroll position is asked for every second
        window_.reset();

        StartWindow(Library());
        QVERIFY(!ItemById(2)->isExpanded()); // nothing before the reader's state comes back
        Form().ResumeReading({});
        QCOMPARE(CurrentId(), 1);
        QTRY_COMPARE(Mark(), QStringLiteral("help"));
        QTRY_COMPARE(ScrollY(), 400);
        QVERIFY(ItemById(2)->isExpanded() && ItemById(3)->isExpanded());
        QVERIFY(!ItemById(22)->isExpanded());
        QCOMPARE(Form().Splitter1->sizes().at(0), tree);
    }

    // (The library is the newer version from here on: no «Цемент».)
    void entryFromTheOutside() {
        // A fresh start with a file and an entry: that file instead of the registry's, the
        // entry shown with its folders open.
        window_.reset();
        forms::StartupSources::SetLaunchLibrary(QString::fromStdString(Library()));
        formstest::UseRegistry(folder_.File("machine.reg"),
                               formstest::RegistryText(formstest::PathValueLine("/nowhere.kvd")));
        window_ = std::make_unique<formstest::MainWindow>();
        forms::StartupSources::SetLaunchLibrary(QString());
        Form().ResumeReading({QString::fromStdString(Library()), 221, std::nullopt});
        QCOMPARE(CurrentId(), 221);
        QVERIFY(ItemById(2)->isExpanded() && ItemById(22)->isExpanded());
        QTRY_COMPARE(Mark(), QStringLiteral("1221"));

        // Later starts hand their arguments to this viewer and end; a bad id gets a message.
        QVERIFY(forms::ListenForLaunches(Form()));
        QCOMPARE(RunProgram({QStringLiteral("--entry"), QStringLiteral("3")}), 0);
        QTRY_COMPARE(CurrentId(), 3);
        QCOMPARE(RunProgram({QStringLiteral("--find=Бетон"), QStringLiteral("--entry"),
                             QStringLiteral("21")}),
                 0);
        QTRY_COMPARE(CurrentId(), 21);
        QTRY_COMPARE(Mark(), QStringLiteral("beton"));
        dialogs_->messages.clear();
        QCOMPARE(RunProgram({QStringLiteral("--entry"), QStringLiteral("999")}), 0);
        QTRY_COMPARE(dialogs_->messages.size(), 1);
        QCOMPARE(dialogs_->messages[0].text, QStringLiteral("В библиотеке нет записи с кодом 999"));
        QCOMPARE(CurrentId(), 21);

        QByteArray usage;
        QCOMPARE(RunProgram({QStringLiteral("--help")}, &usage), 0);
        QVERIFY(usage.startsWith("Usage: Orvelle [FILE] [--entry ID] [--find TEXT]"));
        QCOMPARE(RunProgram({QStringLiteral("--entry"), QStringLiteral("x")}), 2);
    }

    void sectionFromTheTree() {
        StartWindow(Library());
        const QString pdf = QString::fromStdString(folder_.File("section.pdf"));
        dialogs_->saveAnswers = {pdf};
        QSignalSpy finished(Form().Sections1, &forms::SectionCommands::SectionFinished);
        TriggerTreeAction(2, "TreeSaveAsPdf");
        QVERIFY(finished.wait(120000));
        QVERIFY2(finished.at(0).at(0).toBool(), qPrintable(finished.at(0).at(1).toString()));
        const fixtures::PdfContents contents = fixtures::ReadPdfOutline(pdf.toStdString());
        const std::vector<fixtures::OutlineItem> outline = {
            {"Нормативы", 0, 0}, {"Бетон", 1, 1}, {"Подпапка", 1, 2}, {"Глубокий", 2, 3}};
        QCOMPARE(contents.outline, outline);

        // «Печать раздела…» after the print dialog, here into a PDF file.
        const QString printed = QString::fromStdString(folder_.File("printed.pdf"));
        QPrinter& printer = Form().Sections1->Printer();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        TriggerTreeAction(22, "TreePrintSection");
        QPrintDialog* dialog = nullptr;
        QTRY_VERIFY((dialog = Form().findChild<QPrintDialog*>()));
        dialog->accept();
        QVERIFY(finished.wait(120000));
        QVERIFY2(finished.at(1).at(0).toBool(), qPrintable(finished.at(1).at(1).toString()));
        const std::vector<fixtures::OutlineItem> section = {{"Подпапка", 0, 0}, {"Глубокий", 1, 1}};
        QCOMPARE(fixtures::ReadPdfOutline(printed.toStdString()).outline, section);

        // «Печать раздела…» is for folders; a document's HTML is saved as UTF-8.
        Form().TreeView1->setCurrentItem(ItemById(21));
        QVERIFY(!Form()
                     .TreeView1->findChild<QAction*>(QStringLiteral("TreePrintSection"))
                     ->isEnabled());
        const std::string html = folder_.File("beton.html");
        dialogs_->saveAnswers = {QString::fromStdString(html)};
        TriggerTreeAction(21, "TreeSaveDocument");
        QCOMPARE(fixtures::ReadFile(html), "\xEF\xBB\xBF" + Page("beton", "<p>Бетон тяжёлый</p>"));
    }
};

FORMS_TEST_MAIN(PlacesTest)
#include "tst_places.moc"
