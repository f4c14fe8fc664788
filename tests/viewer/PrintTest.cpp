// The four print commands on a real view, printing into PDF files in a temporary folder and
// answering the dialogs through a stand-in.
#include "ViewerTestSupport.h"
#include "viewer/BrowserError.h"
#include "viewer/BrowserView.h"
#include "viewer/DocumentPrinter.h"
#include "viewer/PrepareEngine.h"
#include "viewer/PrintDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>

using namespace std::chrono_literals;
using orvelle::viewer::BrowserError;
using orvelle::viewer::BrowserView;
using orvelle::viewer::DocumentPrinter;
using orvelle::viewer::PrintDialogs;
using viewertest::Eval;

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
    void ShowPreview(const QByteArray& pdf, QWidget*, std::function<void()> print) override {
        shown << QStringLiteral("preview");
        QFile file(previewFile);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(pdf);
        }
        if (printFromPreview) {
            print();
        }
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

// Waits for the printer's job to end: an empty text when it printed, else why not.
QString Outcome(DocumentPrinter& printer, const std::function<void()>& command) {
    std::optional<QString> outcome;
    QObject context;
    QObject::connect(&printer, &DocumentPrinter::Printed, &context, [&] { outcome = QString(); });
    QObject::connect(&printer, &DocumentPrinter::Failed, &context,
                     [&](const QString& message) { outcome = message; });
    command();
    (void)QTest::qWaitFor([&] { return outcome.has_value(); }, 120000);
    return outcome.value_or(QStringLiteral("<no outcome>"));
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
        // The page setup is kept in the user's settings: each run starts from none.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           folder->filePath(QStringLiteral("settings")));
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
        QVERIFY(viewertest::Render(*view, QStringLiteral("<p>x</p>")).Finished());
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
        viewertest::Render(*view, viewertest::CyrillicDocument(20000, QStringLiteral("short")));
        auto dialogs = std::make_unique<ScriptedDialogs>();
        ScriptedDialogs& seen = *dialogs;
        DocumentPrinter printer(view.get(), std::move(dialogs));

        seen.printAnswer = false;
        seen.printIntoFile = PathOf(QStringLiteral("cancelled.pdf"));
        printer.PrintWithDialog();
        QVERIFY(!QFile::exists(seen.printIntoFile));

        seen.printAnswer = true;
        seen.printIntoFile = PathOf(QStringLiteral("dialog.pdf"));
        QCOMPARE(Outcome(printer, [&] { printer.PrintWithDialog(); }), QString());
        QCOMPARE(seen.shown, QStringList({QStringLiteral("print"), QStringLiteral("print")}));
        QVERIFY(ReadPdf(seen.printIntoFile).pages >= 1);
    }

    // Page setup's choice holds for later prints and previews: one printer for all.
    void pageSetupHoldsForPrintAndPreview() {
        viewertest::Render(*view, viewertest::CyrillicDocument(20000, QStringLiteral("short")));
        auto dialogs = std::make_unique<ScriptedDialogs>();
        ScriptedDialogs& seen = *dialogs;
        DocumentPrinter printer(view.get(), std::move(dialogs));
        printer.Printer().setOutputFileName(PathOf(QStringLiteral("portrait.pdf")));
        QCOMPARE(Outcome(printer, [&] { printer.PrintNow(); }), QString());
        const PdfFacts portrait = ReadPdf(PathOf(QStringLiteral("portrait.pdf")));
        QVERIFY(portrait.pages >= 1);
        QVERIFY(!portrait.landscape);

        seen.setupOrientation = QPageLayout::Landscape;
        printer.PageSetup();
        printer.Printer().setOutputFileName(PathOf(QStringLiteral("landscape.pdf")));
        QCOMPARE(Outcome(printer, [&] { printer.PrintNow(); }), QString());
        const PdfFacts landscape = ReadPdf(PathOf(QStringLiteral("landscape.pdf")));
        QVERIFY(landscape.landscape);

        seen.previewFile = PathOf(QStringLiteral("preview.pdf"));
        printer.Preview();
        QTRY_VERIFY_WITH_TIMEOUT(seen.shown.contains(QStringLiteral("preview")), 60000);
        QVERIFY(ReadPdf(seen.previewFile).landscape);
        QVERIFY(ReadPdf(seen.previewFile).pages >= 1);
        QVERIFY(printer.Printer().resolution() <= DocumentPrinter::kResolution);

        // Printing from the preview asks with the print dialog, then prints what was previewed.
        seen.shown.clear();
        seen.printFromPreview = true;
        seen.printIntoFile = PathOf(QStringLiteral("from-preview.pdf"));
        QCOMPARE(Outcome(printer, [&] { printer.Preview(); }), QString()); // the preview's job
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(seen.printIntoFile), 60000);
        QCOMPARE(seen.shown, (QStringList{QStringLiteral("preview"), QStringLiteral("print")}));
        QVERIFY(ReadPdf(seen.printIntoFile).landscape);
    }

    // The real preview on a 1 MB document: a window of its own beside the main one, which the
    // main window does not wait for.
    void previewOfABigDocument() {
        viewertest::Render(*view, viewertest::CyrillicDocument(1 << 20, QStringLiteral("big")));
        QWidget owner;
        DocumentPrinter printer(view.get());
        QElapsedTimer clock;
        clock.start();
        printer.Preview(&owner);
        const auto preview = [&owner] { return owner.findChild<QDialog*>(); };
        QTRY_VERIFY_WITH_TIMEOUT(preview() && preview()->isVisible(), 60000);
        qInfo("preview of 1 MB on screen after %lld ms", clock.elapsed());
        QVERIFY(!preview()->isModal());
        preview()->close();
        QTRY_VERIFY(!preview());
    }

    // A 1 MB document printed into a file: every page, quickly.
    void bigDocumentIntoAFile() {
        DocumentPrinter printer(view.get(), std::make_unique<ScriptedDialogs>());
        printer.Printer().setOutputFileName(PathOf(QStringLiteral("big.pdf")));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(Outcome(printer, [&] { printer.PrintNow(); }), QString());
        const qint64 took = clock.elapsed();
        const PdfFacts facts = ReadPdf(PathOf(QStringLiteral("big.pdf")));
        qInfo("1 MB into a PDF file: %lld ms, %d pages, %lld KB", took, facts.pages,
              QFile(PathOf(QStringLiteral("big.pdf"))).size() / 1024);
        QVERIFY(facts.pages > 100);
    }

    // A job that cannot end well says why and leaves no file behind.
    void unwritableFile() {
        viewertest::Render(*view, QStringLiteral("<p>x</p>"));
        DocumentPrinter printer(view.get(), std::make_unique<ScriptedDialogs>());
        printer.Printer().setOutputFileName(PathOf(QStringLiteral("no/such/folder/x.pdf")));
        const QString message = Outcome(printer, [&] { printer.PrintNow(); });
        QVERIFY2(message.startsWith(QStringLiteral("Cannot write")), qPrintable(message));
        QVERIFY(!QFile::exists(PathOf(QStringLiteral("no/such/folder/x.pdf"))));
    }

    // The reader moves on while a document prints: the print goes on to its end, with the
    // document it was asked for, and the view shows the next one.
    void printGoesOnWhenAnotherDocumentIsShown() {
        viewertest::Render(*view, viewertest::CyrillicDocument(1 << 20, QStringLiteral("big")));
        DocumentPrinter printer(view.get(), std::make_unique<ScriptedDialogs>());
        printer.Printer().setOutputFileName(PathOf(QStringLiteral("moved-on.pdf")));
        std::optional<viewertest::Outcome> next;
        QCOMPARE(Outcome(printer,
                         [&] {
                             printer.PrintNow();
                             next = viewertest::Render(*view, QStringLiteral("<p>next</p>"));
                         }),
                 QString());
        QVERIFY(next && next->Finished());
        QVERIFY(ReadPdf(PathOf(QStringLiteral("moved-on.pdf"))).pages > 100);
        QCOMPARE(Eval(*view, QStringLiteral("document.body.innerText")).toString(),
                 QStringLiteral("next"));
    }

    void oneJobAtATime() {
        viewertest::Render(*view, viewertest::CyrillicDocument(1 << 20, QStringLiteral("big")));
        DocumentPrinter printer(view.get(), std::make_unique<ScriptedDialogs>());
        printer.Printer().setOutputFileName(PathOf(QStringLiteral("first.pdf")));
        QCOMPARE(Outcome(printer,
                         [&] {
                             printer.PrintNow();
                             QVERIFY(printer.Busy());
                             QVERIFY_THROWS_EXCEPTION(BrowserError, printer.PrintNow());
                         }),
                 QString());
        QVERIFY(!printer.Busy());
        QVERIFY(ReadPdf(PathOf(QStringLiteral("first.pdf"))).pages > 100);
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
