// The four print commands on a real view, printing into PDF files in a temporary folder and
// answering the dialogs through a stand-in.
#include "ViewerTestSupport.h"
#include "viewer/BrowserError.h"
#include "viewer/BrowserView.h"
#include "viewer/DocumentPrinter.h"
#include "viewer/PrepareEngine.h"
#include "viewer/PrintDialogs.h"

#include <QApplication>
#include <QFile>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;
using orvelle::viewer::BrowserError;
using orvelle::viewer::BrowserView;
using orvelle::viewer::DocumentPrinter;
using orvelle::viewer::PrintDialogs;

namespace {

// Answers the dialogs as told and records which were shown. The preview keeps what it was
// given in a file.
struct ScriptedDialogs : PrintDialogs {
    bool printAnswer = true;
    QString printIntoFile;
    std::optional<QPageLayout::Orientation> setupOrientation;
    QString previewFile;
    bool printFromPreview = false;
    QStringList shown;

    bool AskPrint(QPrinter& printer, QWidget*) override {
        shown << QStringLiteral("print");
        if (!printIntoFile.isEmpty()) {
            printer.setOutputFileName(printIntoFile);
        }
        return printAnswer;
    }
    bool AskPageSetup(QPrinter& printer, QWidget*) override {
        shown << QStringLiteral("setup");
        if (!setupOrientation) {
            return false;
        }
        printer.setPageOrientation(*setupOrientation);
        return true;
    }
    bool ShowPreview(const QByteArray& pdf, QWidget*) override {
        shown << QStringLiteral("preview");
        QFile file(previewFile);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(pdf);
        }
        return printFromPreview;
    }
};

struct PdfFacts {
    int pages = 0;
    bool landscape = false;
};

PdfFacts ReadPdf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray data = file.readAll();
    PdfFacts facts;
    facts.pages = int(QString::fromLatin1(data).count(QRegularExpression("/Type\\s*/Page\\b")));
    const QRegularExpression box("/MediaBox\\s*\\[\\s*0\\s+0\\s+([0-9.]+)\\s+([0-9.]+)");
    const auto match = box.match(QString::fromLatin1(data));
    facts.landscape =
        match.hasMatch() && match.captured(1).toDouble() > match.captured(2).toDouble();
    return facts;
}

} // namespace

class PrintTest : public QObject {
    Q_OBJECT
    std::unique_ptr<BrowserView> view;
    std::unique_ptr<QTemporaryDir> folder;
    QString PathOf(const QString& name) { return folder->filePath(name); }

private slots:
    void initTestCase() {
        folder = std::make_unique<QTemporaryDir>();
        QVERIFY(folder->isValid());
        view = std::make_unique<BrowserView>();
        view->resize(800, 600);
        view->show();
    }

    // Before the first document nothing is printed and no dialog opens; page setup works.
    void noDocumentYet() {
        auto dialogs = std::make_unique<ScriptedDialogs>();
        ScriptedDialogs& seen = *dialogs;
        DocumentPrinter printer(view.get(), std::move(dialogs));
        QVERIFY_THROWS_EXCEPTION(BrowserError, printer.PrintWithDialog());
        QVERIFY_THROWS_EXCEPTION(BrowserError, printer.PrintNow());
        QVERIFY_THROWS_EXCEPTION(BrowserError, printer.Preview());
        QVERIFY(seen.shown.isEmpty());
        printer.PageSetup();
        QCOMPARE(seen.shown, QStringList{QStringLiteral("setup")});

        DocumentPrinter orphan(nullptr, std::make_unique<ScriptedDialogs>());
        QVERIFY_THROWS_EXCEPTION(BrowserError, orphan.PrintNow());
    }

    void printNowWithoutPrinter() {
        view->NavigateToBlank();
        QVERIFY(view->WaitForDocument(10s));
        view->WriteDocument(QStringLiteral("<p>x</p>"));
        if (!QPrinterInfo::availablePrinters().isEmpty()) {
            QSKIP("this machine has a printer; printing at once would use it");
        }
        DocumentPrinter printer(view.get(), std::make_unique<ScriptedDialogs>());
        try {
            printer.PrintNow();
            QFAIL("printed without a printer");
        } catch (const BrowserError& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("No printer is installed"));
        }
    }

    void printWithDialog() {
        view->WriteDocument(viewertest::CyrillicDocument(20000, QStringLiteral("short")));
        auto dialogs = std::make_unique<ScriptedDialogs>();
        ScriptedDialogs& seen = *dialogs;
        DocumentPrinter printer(view.get(), std::move(dialogs));

        seen.printAnswer = false;
        seen.printIntoFile = PathOf(QStringLiteral("cancelled.pdf"));
        printer.PrintWithDialog();
        QVERIFY(!QFile::exists(seen.printIntoFile));

        seen.printAnswer = true;
        seen.printIntoFile = PathOf(QStringLiteral("dialog.pdf"));
        printer.PrintWithDialog();
        QCOMPARE(seen.shown, QStringList({QStringLiteral("print"), QStringLiteral("print")}));
        QVERIFY(ReadPdf(seen.printIntoFile).pages >= 1);
    }

    // Page setup's choice holds for later prints and previews: one printer for all.
    void pageSetupHoldsForPrintAndPreview() {
        view->WriteDocument(viewertest::CyrillicDocument(20000, QStringLiteral("short")));
        auto dialogs = std::make_unique<ScriptedDialogs>();
        ScriptedDialogs& seen = *dialogs;
        DocumentPrinter printer(view.get(), std::move(dialogs));
        printer.Printer().setOutputFileName(PathOf(QStringLiteral("portrait.pdf")));
        printer.PrintNow();
        const PdfFacts portrait = ReadPdf(PathOf(QStringLiteral("portrait.pdf")));
        QVERIFY(portrait.pages >= 1);
        QVERIFY(!portrait.landscape);

        seen.setupOrientation = QPageLayout::Landscape;
        printer.PageSetup();
        printer.Printer().setOutputFileName(PathOf(QStringLiteral("landscape.pdf")));
        printer.PrintNow();
        const PdfFacts landscape = ReadPdf(PathOf(QStringLiteral("landscape.pdf")));
        QVERIFY(landscape.landscape);

        seen.previewFile = PathOf(QStringLiteral("preview.pdf"));
        printer.Preview();
        QVERIFY(ReadPdf(seen.previewFile).landscape);
        QVERIFY(ReadPdf(seen.previewFile).pages >= 1);
        QVERIFY(printer.Printer().resolution() <= DocumentPrinter::kResolution);

        // Printing from the preview asks with the print dialog, then prints what was previewed.
        seen.shown.clear();
        seen.printFromPreview = true;
        seen.printIntoFile = PathOf(QStringLiteral("from-preview.pdf"));
        printer.Preview();
        QCOMPARE(seen.shown, (QStringList{QStringLiteral("preview"), QStringLiteral("print")}));
        QVERIFY(ReadPdf(seen.printIntoFile).landscape);
    }

    // The real preview on a 1 MB document, closed by the test once it is on screen.
    void previewOfABigDocument() {
        view->WriteDocument(viewertest::CyrillicDocument(1 << 20, QStringLiteral("big")));
        DocumentPrinter printer(view.get());
        QElapsedTimer clock;
        qint64 shown = -1;
        std::function<void()> closeWhenShown = [&] {
            QWidget* preview = QApplication::activeModalWidget();
            if (preview && shown < 0) {
                QTest::qWait(0); // let it paint its first pages
                shown = clock.elapsed();
                preview->close();
            } else if (!preview && clock.elapsed() < 60000) {
                QTimer::singleShot(10, closeWhenShown);
            }
        };
        clock.start();
        QTimer::singleShot(0, closeWhenShown);
        printer.Preview();
        QVERIFY(shown >= 0);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        qInfo("preview of 1 MB on screen after %lld ms", shown);
    }

    // A 1 MB document printed into a file: every page, quickly.
    void bigDocumentIntoAFile() {
        DocumentPrinter printer(view.get(), std::make_unique<ScriptedDialogs>());
        printer.Printer().setOutputFileName(PathOf(QStringLiteral("big.pdf")));
        QElapsedTimer clock;
        clock.start();
        printer.PrintNow();
        const qint64 took = clock.elapsed();
        const PdfFacts facts = ReadPdf(PathOf(QStringLiteral("big.pdf")));
        qInfo("1 MB into a PDF file: %lld ms, %d pages, %lld KB", took, facts.pages,
              QFile(PathOf(QStringLiteral("big.pdf"))).size() / 1024);
        QVERIFY(facts.pages > 100);
    }

    void unwritableFile() {
        DocumentPrinter printer(view.get(), std::make_unique<ScriptedDialogs>());
        printer.Printer().setOutputFileName(PathOf(QStringLiteral("no/such/folder/x.pdf")));
        QVERIFY_THROWS_EXCEPTION(BrowserError, printer.PrintNow());
    }

    void cleanupTestCase() { view.reset(); }
};

int main(int argc, char** argv) {
    orvelle::viewer::PrepareEngine();
    QApplication app(argc, argv);
    PrintTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PrintTest.moc"
