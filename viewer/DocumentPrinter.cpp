#include "DocumentPrinter.h"

#include "BrowserError.h"
#include "BrowserView.h"
#include "PageSetupSettings.h"
#include "PrintJob.h"

#include <QPrinterInfo>
#include <QSaveFile>

namespace orvelle::viewer {

namespace {

bool IsPdfFile(const QPrinter& printer) {
    return printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
}

// Writes the whole file or nothing: a failed or interrupted write leaves no partial file.
QString WriteWhole(const QString& fileName, const QByteArray& bytes) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString());
    }
    return {};
}

} // namespace

DocumentPrinter::DocumentPrinter(BrowserView* view, std::unique_ptr<PrintDialogs> dialogs,
                                 QObject* parent)
    : QObject(parent), view_(view), dialogs_(std::move(dialogs)),
      printer_(QPrinter::ScreenResolution) {
    if (!dialogs_) {
        dialogs_ = std::make_unique<QtPrintDialogs>();
    }
    printer_.setResolution(kResolution);
    RestorePageSetup(printer_); // the reader's last page setup, or 10 mm margins
}

DocumentPrinter::~DocumentPrinter() = default;

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
    QPointer<QWidget> owner(parent);
    MakePdf(printer_.pageLayout(), [this, owner, parent](const QByteArray& pdf) {
        if (parent && !owner) {
            return; // the window it was asked for has gone
        }
        dialogs_->ShowPreview(pdf, owner, [this, owner] {
            try {
                PrintWithDialog(owner);
            } catch (const std::exception& error) {
                emit Failed(QString::fromUtf8(error.what()));
            }
        });
    });
}

void DocumentPrinter::PageSetup(QWidget* parent) {
    if (dialogs_->AskPageSetup(printer_, parent)) {
        KeepPageSetup(printer_);
    }
}

void DocumentPrinter::PrintTo(QPrinter& printer) {
    RequireDocument();
    if (IsPdfFile(printer)) {
        const QString fileName = printer.outputFileName();
        MakePdf(printer.pageLayout(), [this, fileName](const QByteArray& pdf) {
            const QString failure = WriteWhole(fileName, pdf);
            if (failure.isEmpty()) {
                emit Printed();
            } else {
                emit Failed(failure);
            }
        });
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

PrintJob* DocumentPrinter::StartJob() {
    RequireDocument();
    if (Busy()) {
        throw BrowserError(QStringLiteral("The document is being printed already"));
    }
    auto* job = new PrintJob(view_->page(), this);
    connect(view_.data(), &BrowserView::Closing, job, &PrintJob::Abandon);
    connect(job, &PrintJob::Failed, this, &DocumentPrinter::Failed);
    job_ = job;
    return job;
}

void DocumentPrinter::MakePdf(const QPageLayout& layout,
                              std::function<void(const QByteArray&)> done) {
    PrintJob* job = StartJob();
    connect(job, &PrintJob::Succeeded, this, std::move(done));
    QPointer<PrintJob> alive(job);
    QPointer<QWebEnginePage> page(job->Page());
    page->printToPdf(
        [alive, page](const QByteArray& pdf) {
            if (!alive) {
                // A page whose view went while it printed waited for this to go.
                if (page && !page->parent()) {
                    page->deleteLater();
                }
                return;
            }
            if (pdf.isEmpty()) {
                alive->Fail(QStringLiteral("The document could not be printed"));
                return;
            }
            alive->Succeed(pdf);
        },
        layout);
}

void DocumentPrinter::Rasterise(QPrinter& printer) {
    PrintJob* job = StartJob();
    if (printer.resolution() > kResolution) {
        printer.setResolution(kResolution);
    }
    connect(job, &PrintJob::Succeeded, this, [this] { emit Printed(); });
    connect(
        view_.data(), &QWebEngineView::printFinished, job,
        [job](bool ok) {
            if (ok) {
                job->Succeed();
            } else {
                job->Fail(QStringLiteral("The document could not be printed"));
            }
        },
        Qt::SingleShotConnection);
    view_->print(&printer);
}

} // namespace orvelle::viewer
