#include "DocumentPrinter.h"

#include "BrowserError.h"
#include "BrowserView.h"
#include "WaitCursor.h"

#include <QEventLoop>
#include <QFile>
#include <QPrinterInfo>
#include <QTimer>

#include <memory>

namespace orvelle::viewer {

namespace {

// Printing runs in the engine and answers later; a job that never answers ends here.
constexpr int kPrintLimitMs = 300000;

bool IsPdfFile(const QPrinter& printer) {
    return printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
}

// Waits in a local loop until `done`, the limit, or the view going away.
void WaitFor(QObject* view, QEventLoop& loop, const bool& done) {
    if (done)
        return;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(view, &QObject::destroyed, &loop, &QEventLoop::quit);
    limit.start(kPrintLimitMs);
    loop.exec();
}

// Marks a print job under way for as long as it lives.
struct Busy {
    explicit Busy(bool& flag) : flag_(flag) {
        if (flag_)
            throw BrowserError(QStringLiteral("The document is being printed already"));
        flag_ = true;
    }
    ~Busy() { flag_ = false; }
    bool& flag_;
};

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
    const QByteArray pdf = MakePdf(printer_.pageLayout());
    if (dialogs_->ShowPreview(pdf, parent))
        PrintWithDialog(parent);
}

void DocumentPrinter::PageSetup(QWidget* parent) {
    dialogs_->AskPageSetup(printer_, parent);
}

void DocumentPrinter::PrintTo(QPrinter& printer) {
    RequireDocument();
    if (IsPdfFile(printer)) {
        const QByteArray pdf = MakePdf(printer.pageLayout());
        QFile file(printer.outputFileName());
        if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() || !file.flush())
            throw BrowserError(QStringLiteral("Cannot write %1: %2")
                                   .arg(printer.outputFileName(), file.errorString()));
        return;
    }
    if (printer.outputFormat() == QPrinter::PdfFormat)
        // A PDF printer without a file is what Qt gives when the system has no printer.
        throw BrowserError(QPrinterInfo::availablePrinters().isEmpty()
                               ? QStringLiteral("No printer is installed")
                               : QStringLiteral("The printer has no file to print into"));
    Rasterise(printer);
}

QByteArray DocumentPrinter::MakePdf(const QPageLayout& layout) {
    RequireDocument();
    Busy busy(printing_);
    WaitCursor wait;
    struct Shared {
        bool done = false;
        QByteArray pdf;
        QEventLoop* loop = nullptr;
    };
    auto shared = std::make_shared<Shared>();
    QEventLoop loop;
    shared->loop = &loop;
    view_->page()->printToPdf(
        [shared](const QByteArray& pdf) {
            shared->done = true;
            shared->pdf = pdf;
            if (shared->loop)
                shared->loop->quit();
        },
        layout);
    WaitFor(view_.data(), loop, shared->done);
    shared->loop = nullptr;
    if (!shared->done) {
        if (!view_)
            throw BrowserError(QStringLiteral("The browser was closed while printing"));
        throw BrowserError(
            QStringLiteral("The document was not printed within %1 s").arg(kPrintLimitMs / 1000));
    }
    if (shared->pdf.isEmpty())
        throw BrowserError(QStringLiteral("The document could not be printed"));
    return shared->pdf;
}

void DocumentPrinter::Rasterise(QPrinter& printer) {
    Busy busy(printing_);
    WaitCursor wait;
    if (printer.resolution() > kResolution)
        printer.setResolution(kResolution);
    BrowserView* view = view_.data();
    bool finished = false;
    bool success = false;
    QEventLoop loop;
    QObject::connect(view, &QWebEngineView::printFinished, &loop, [&](bool ok) {
        finished = true;
        success = ok;
        loop.quit();
    });
    view->print(&printer);
    WaitFor(view, loop, finished);
    if (!finished) {
        if (!view_)
            throw BrowserError(QStringLiteral("The browser was closed while printing"));
        throw BrowserError(
            QStringLiteral("The document was not printed within %1 s").arg(kPrintLimitMs / 1000));
    }
    if (!success)
        throw BrowserError(QStringLiteral("The document could not be printed"));
}

} // namespace orvelle::viewer
