#pragma once

#include "PrintDialogs.h"
#include "PrintJob.h"

#include <QObject>
#include <QPointer>
#include <QPrinter>

#include <functional>
#include <memory>

class QWidget;

namespace orvelle::viewer {

class BrowserView;

// The four print commands on the document a BrowserView shows. One printer is kept for all of
// them, so a page setup choice holds for later prints and previews, and for later sessions
// (PageSetupSettings: paper, orientation, margins; 10 mm margins until the reader chooses).
//
// The engine lays the document out as PDF. Printing into a PDF file and the preview use that
// PDF as it is (vector pages: fast and small); a printer device gets the pages drawn as
// images at kResolution.
//
// Nothing waits for the engine: a command checks what it can at once (a failure then is a
// BrowserError from the call: no document yet, no printer, a job already under way), starts
// the job and returns; the job reports by signal: Printed, or Failed with the reason. A job
// goes on when another document is shown meanwhile; it fails when its page's process ends, and
// ends silently when its view goes away.
class DocumentPrinter : public QObject {
    Q_OBJECT
public:
    // Pages are drawn at this resolution: sharp on paper, quick in the preview.
    static constexpr int kResolution = 200;

    // `dialogs` defaults to the Qt dialogs.
    explicit DocumentPrinter(BrowserView* view, std::unique_ptr<PrintDialogs> dialogs = nullptr,
                             QObject* parent = nullptr);
    ~DocumentPrinter() override;

    // The print dialog, then printing when the user agrees.
    void PrintWithDialog(QWidget* parent = nullptr);
    // Printing at once on the kept printer (at first the default printer), no dialog.
    void PrintNow();
    // The print preview, once the pages are laid out; printing from it goes through the print
    // dialog.
    void Preview(QWidget* parent = nullptr);
    // The page setup dialog.
    void PageSetup(QWidget* parent = nullptr);

    // Prints the shown document on `printer`, which must outlive the job.
    void PrintTo(QPrinter& printer);

    QPrinter& Printer() { return printer_; }
    bool Busy() const { return job_ && !job_->Ended(); }

Q_SIGNALS:
    void Printed();
    void Failed(const QString& message);

private:
    void RequireDocument() const;
    // Starts a job on the shown page; throws when one is under way already.
    PrintJob* StartJob();
    // The document laid out on pages of `layout`, as PDF, handed to `done`.
    void MakePdf(const QPageLayout& layout, std::function<void(const QByteArray&)> done);
    // Draws the document into a printer device at kResolution.
    void Rasterise(QPrinter& printer);

    QPointer<BrowserView> view_;
    std::unique_ptr<PrintDialogs> dialogs_;
    QPrinter printer_;
    QPointer<PrintJob> job_;
};

} // namespace orvelle::viewer
