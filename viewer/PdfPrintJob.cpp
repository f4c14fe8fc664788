#include "PdfPrintJob.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfDocument>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTimer>

namespace orvelle::viewer {

PdfPrintJob::PdfPrintJob(QString pdfFile, QPrinter& printer, QObject* parent)
    : QObject(parent), pdfFile_(std::move(pdfFile)), printer_(printer) {
    next_ = new QTimer(this);
    next_->setSingleShot(true);
    next_->setInterval(0);
    connect(next_, &QTimer::timeout, this, &PdfPrintJob::PrintPage);
}

PdfPrintJob::~PdfPrintJob() {
    if (painter_) {
        printer_.abort();
        painter_->end();
    }
    if (fullPageBefore_) {
        printer_.setFullPage(*fullPageBefore_);
    }
}

void PdfPrintJob::Start() {
    if (printer_.outputFormat() == QPrinter::PdfFormat) {
        // Into a file: the PDF as it is (vector pages). Without a file Qt has no printer.
        const QString target = printer_.outputFileName();
        QMetaObject::invokeMethod(
            this,
            [this, target] {
                if (target.isEmpty()) {
                    Finish(false, QPrinterInfo::availablePrinters().isEmpty()
                                      ? QStringLiteral("No printer is installed")
                                      : QStringLiteral("The printer has no file to print into"));
                    return;
                }
                QFile::remove(target);
                if (!QFile::copy(pdfFile_, target)) {
                    Finish(false, QStringLiteral("Не удалось записать %1").arg(target));
                    return;
                }
                Finish(true, QString());
            },
            Qt::QueuedConnection);
        return;
    }
    document_ = std::make_unique<QPdfDocument>();
    if (document_->load(pdfFile_) != QPdfDocument::Error::None || document_->pageCount() == 0) {
        QMetaObject::invokeMethod(
            this, [this] { Finish(false, QStringLiteral("Не удалось прочитать PDF раздела")); },
            Qt::QueuedConnection);
        return;
    }
    fullPageBefore_ = printer_.fullPage();
    printer_.setFullPage(true); // the pages carry their margins already
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(&printer_)) {
        painter_.reset();
        QMetaObject::invokeMethod(
            this, [this] { Finish(false, QStringLiteral("Could not open printer for painting")); },
            Qt::QueuedConnection);
        return;
    }
    next_->start();
}

void PdfPrintJob::Cancel() {
    if (finished_) {
        return;
    }
    next_->stop();
    if (painter_) {
        printer_.abort();
        painter_->end();
        painter_.reset();
    }
    Finish(false, QStringLiteral("Печать отменена"));
}

void PdfPrintJob::PrintPage() {
    const int pages = document_->pageCount();
    emit Progress(page_, pages);
    if (page_ > 0 && !printer_.newPage()) {
        Cancel();
        return;
    }
    const QRect paper = printer_.paperRect(QPrinter::DevicePixel).toRect();
    const QSizeF points = document_->pagePointSize(page_);
    const double scale = printer_.resolution() / 72.0;
    const QSize size = (points * scale).toSize().boundedTo(paper.size() * 2);
    const QImage image = document_->render(page_, size);
    painter_->drawImage(paper, image);
    if (++page_ < pages) {
        next_->start();
        return;
    }
    const bool printed = painter_->end();
    painter_.reset();
    Finish(printed, printed ? QString() : QStringLiteral("The document could not be printed"));
}

void PdfPrintJob::Finish(bool printed, const QString& message) {
    if (finished_) {
        return;
    }
    finished_ = true;
    if (fullPageBefore_) {
        printer_.setFullPage(*fullPageBefore_); // the printer is the print commands' too
        fullPageBefore_.reset();
    }
    emit Finished(printed, message);
}

} // namespace orvelle::viewer
