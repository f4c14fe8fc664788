#pragma once

#include "PrintDialogs.h"

#include <QPointer>
#include <QPrinter>

#include <memory>

class QWidget;

namespace orvelle::viewer {

class BrowserView;

// The four print commands on the document a BrowserView shows. One printer is kept for all of
// them, so a page setup choice holds for later prints and previews, and for later sessions
// (PageSetupSettings: paper, orientation, margins; 10 mm margins until the reader chooses). Every
// failure (no document yet, no printer, the engine failing to print) is a BrowserError.
//
// The engine lays the document out as PDF. Printing into a PDF file and the preview use that
// PDF as it is (vector pages: fast and small); a printer device gets the pages drawn as
// images at kResolution.
class DocumentPrinter {
public:
    // Pages are drawn at this resolution: sharp on paper, quick in the preview.
    static constexpr int kResolution = 200;

    // `dialogs` defaults to the Qt dialogs.
    explicit DocumentPrinter(BrowserView* view, std::unique_ptr<PrintDialogs> dialogs = nullptr);

    // The print dialog, then printing when the user agrees.
    void PrintWithDialog(QWidget* parent = nullptr);
    // Printing at once on the kept printer (at first the default printer), no dialog.
    void PrintNow();
    // The print preview; printing from it goes through the print dialog.
    void Preview(QWidget* parent = nullptr);
    // The page setup dialog.
    void PageSetup(QWidget* parent = nullptr);

    // Prints the shown document on `printer` and returns when it is done.
    void PrintTo(QPrinter& printer);

    QPrinter& Printer() { return printer_; }

private:
    void RequireDocument() const;
    // The document laid out on pages of `layout`, as PDF.
    QByteArray MakePdf(const QPageLayout& layout);
    // Draws the document into a printer device at kResolution; returns when done.
    void Rasterise(QPrinter& printer);

    QPointer<BrowserView> view_;
    std::unique_ptr<PrintDialogs> dialogs_;
    QPrinter printer_;
    bool printing_ = false;
};

} // namespace orvelle::viewer
