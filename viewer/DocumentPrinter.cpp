#include "DocumentPrinter.h"

#include "BrowserError.h"
#include "BrowserView.h"

#include <QEventLoop>
#include <QPrinterInfo>
#include <QTimer>

namespace orvelle::viewer {

namespace {

// Printing runs in the engine and answers later; a job that never answers ends here.
constexpr int kPrintLimitMs = 120000;

bool CanOpen(const QPrinter& printer) {
    // A PDF printer without a file has nowhere to write: that is what Qt gives when the
    // system has no printer at all.
    return printer.outputFormat() != QPrinter::PdfFormat || !printer.outputFileName().isEmpty();
}

} // namespace

DocumentPrinter::DocumentPrinter(BrowserView* view, std::unique_ptr<PrintDialogs> dialogs)
    : view_(view), dialogs_(std::move(dialogs)), printer_(QPrinter::ScreenResolution) {
    if (!dialogs_)
        dialogs_ = std::make_unique<QtPrintDialogs>();
    printer_.setResolution(kResolution);
}

void DocumentPrinter::RequireDocument() const {
    if (!view_ || !view_->HasDocument())
        throw BrowserError(QStringLiteral("There is no document to print yet"));
}

void DocumentPrinter::PrintWithDialog(QWidget* parent) {
    RequireDocument();
    if (dialogs_->AskPrint(printer_, parent))
        PrintTo(printer_);
}

void DocumentPrinter::PrintNow() {
    RequireDocument();
    PrintTo(printer_);
}

void DocumentPrinter::Preview(QWidget* parent) {
    RequireDocument();
    dialogs_->ShowPreview(printer_, parent, [this](QPrinter* target) { PrintTo(*target); });
}

void DocumentPrinter::PageSetup(QWidget* parent) {
    dialogs_->AskPageSetup(printer_, parent);
}

void DocumentPrinter::PrintTo(QPrinter& printer) {
    RequireDocument();
    if (!CanOpen(printer))
        throw BrowserError(QPrinterInfo::availablePrinters().isEmpty()
                               ? QStringLiteral("No printer is installed")
                               : QStringLiteral("The printer has no file to print into"));
    if (printing_)
        throw BrowserError(QStringLiteral("The document is being printed already"));
    printing_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{printing_};

    if (printer.resolution() > kResolution)
        printer.setResolution(kResolution);

    BrowserView* view = view_.data();
    bool finished = false;
    bool success = false;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(view, &QObject::destroyed, &loop, &QEventLoop::quit);
    QObject::connect(view, &QWebEngineView::printFinished, &loop, [&](bool ok) {
        finished = true;
        success = ok;
        loop.quit();
    });
    view->print(&printer);
    if (!finished) {
        limit.start(kPrintLimitMs);
        loop.exec();
    }
    if (!finished) {
        if (!view_)
            return; // the window went away; nobody is waiting for the pages any more
        throw BrowserError(
            QStringLiteral("The document was not printed within %1 s").arg(kPrintLimitMs / 1000));
    }
    if (!success)
        throw BrowserError(QStringLiteral("The document could not be printed"));
}

} // namespace orvelle::viewer
