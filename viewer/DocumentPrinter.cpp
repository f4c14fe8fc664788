#include "DocumentPrinter.h"

#include "BrowserError.h"
#include "BrowserView.h"
#include "PageSetupSettings.h"
#include "platform/WaitCursor.h"

#include "EngineWait.h"

#include <QFile>
#include <QPrinterInfo>

#include <memory>

namespace orvelle::viewer {

namespace {

// Printing runs in the engine and answers later; a job that never answers ends here.
constexpr std::chrono::milliseconds kPrintLimit{300000};

bool IsPdfFile(const QPrinter& printer) {
    return printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
}

// Marks a print job under way for as long as it lives.
struct Busy {
    explicit Busy(bool& flag) : flag_(flag) {
        if (flag_) {
            throw BrowserError(QStringLiteral("The document is being printed already"));
        }
        flag_ = true;
    }
    ~Busy() { flag_ = false; }
    bool& flag_;
};

} // namespace

DocumentPrinter::DocumentPrinter(BrowserView* view, std::unique_ptr<PrintDialogs> dialogs)
    : view_(view), dialogs_(std::move(dialogs)), printer_(QPrinter::ScreenResolution) {
    if (!dialogs_) {
        dialogs_ = std::make_unique<QtPrintDialogs>();
    }
    printer_.setResolution(kResolution);
    RestorePageSetup(printer_); // the reader's last page setup, or 10 mm margins
}

void DocumentPrinter::RequireDocument() const {
    if (!view_ || !view_->HasDocument()) {
        throw BrowserError(QStringLiteral("There is no document to print yet"));
    }
}

void DocumentPrinter::PrintWithDialog(QWidget* parent) {
    RequireDocument();
    if (dialogs_->AskPrint(printer_, parent)) {
        PrintTo(printer_);
    }
}

void DocumentPrinter::PrintNow() {
    RequireDocument();
    PrintTo(printer_);
}

void DocumentPrinter::Preview(QWidget* parent) {
    RequireDocument();
    const QByteArray pdf = MakePdf(printer_.pageLayout());
    if (dialogs_->ShowPreview(pdf, parent)) {
        PrintWithDialog(parent);
    }
}

void DocumentPrinter::PageSetup(QWidget* parent) {
    if (dialogs_->AskPageSetup(printer_, parent)) {
        KeepPageSetup(printer_);
    }
}

void DocumentPrinter::PrintTo(QPrinter& printer) {
    RequireDocument();
    if (IsPdfFile(printer)) {
        const QByteArray pdf = MakePdf(printer.pageLayout());
        QFile file(printer.outputFileName());
        if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() || !file.flush()) {
            throw BrowserError(QStringLiteral("Cannot write %1: %2")
                                   .arg(printer.outputFileName(), file.errorString()));
        }
        return;
    }
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        // A PDF printer without a file is what Qt gives when the system has no printer.
        throw BrowserError(QPrinterInfo::availablePrinters().isEmpty()
                               ? QStringLiteral("No printer is installed")
                               : QStringLiteral("The printer has no file to print into"));
    }
    Rasterise(printer);
}

// What a print job's wait came to, as a message, or nothing when it succeeded.
static void RequirePrinted(EngineWait::Outcome outcome) {
    switch (outcome) {
    case EngineWait::Outcome::Answered:
        return;
    case EngineWait::Outcome::GuardGone:
        throw BrowserError(QStringLiteral("The browser was closed while printing"));
    case EngineWait::Outcome::PageProcessEnded:
        throw BrowserError(QStringLiteral("The browser's page process ended while printing"));
    default:
        throw BrowserError(QStringLiteral("The document was not printed within %1 s")
                               .arg(kPrintLimit.count() / 1000));
    }
}

QByteArray DocumentPrinter::MakePdf(const QPageLayout& layout) {
    RequireDocument();
    Busy busy(printing_);
    platform::WaitCursor wait;
    QWebEnginePage* page = view_->page();
    EngineWait printed(view_.data(), page);
    const auto answer = printed.Answerer();
    page->printToPdf([answer](const QByteArray& pdf) { answer(pdf); }, layout);
    RequirePrinted(printed.Wait(kPrintLimit));
    const QByteArray pdf = printed.Value().toByteArray();
    if (pdf.isEmpty()) {
        throw BrowserError(QStringLiteral("The document could not be printed"));
    }
    return pdf;
}

void DocumentPrinter::Rasterise(QPrinter& printer) {
    Busy busy(printing_);
    platform::WaitCursor wait;
    if (printer.resolution() > kResolution) {
        printer.setResolution(kResolution);
    }
    BrowserView* view = view_.data();
    EngineWait printed(view, view->page());
    QObject receiver;
    QObject::connect(view, &QWebEngineView::printFinished, &receiver,
                     [answer = printed.Answerer()](bool ok) { answer(ok); });
    view->print(&printer);
    RequirePrinted(printed.Wait(kPrintLimit));
    if (!printed.Value().toBool()) {
        throw BrowserError(QStringLiteral("The document could not be printed"));
    }
}

} // namespace orvelle::viewer
