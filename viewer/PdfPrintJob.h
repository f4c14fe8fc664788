#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QPainter;
class QPdfDocument;
class QPrinter;
class QTimer;

namespace orvelle::viewer {

// Prints a PDF file on a printer in the background: one page per turn of the event loop, so
// the window stays usable, with progress and a way to stop. A printer that prints into a PDF
// file gets a copy of the file itself; a real printer gets each page drawn at its resolution,
// one page image held at a time.
class PdfPrintJob : public QObject {
    Q_OBJECT
public:
    // `printer` must outlive the job.
    PdfPrintJob(QString pdfFile, QPrinter& printer, QObject* parent = nullptr);
    ~PdfPrintJob() override;

    // Returns at once; Finished follows.
    void Start();
    // Stops after the page being drawn; the printer's job is aborted.
    void Cancel();

Q_SIGNALS:
    void Progress(int page, int pages);
    // `message` says why nothing (or not everything) was printed; empty when all was.
    void Finished(bool printed, const QString& message);

private:
    void PrintPage();
    void Finish(bool printed, const QString& message);

    QString pdfFile_;
    QPrinter& printer_;
    std::unique_ptr<QPdfDocument> document_;
    std::unique_ptr<QPainter> painter_;
    QTimer* next_ = nullptr;
    std::optional<bool> fullPageBefore_;
    int page_ = 0;
    bool finished_ = false;
};

} // namespace orvelle::viewer
