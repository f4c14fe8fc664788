#pragma once

#include <functional>

class QPrinter;
class QWidget;

namespace orvelle::viewer {

// The three dialogs of the print commands, behind a seam so that tests can answer them.
class PrintDialogs {
public:
    virtual ~PrintDialogs() = default;

    // The print dialog on `printer`; true when the user asked to print.
    virtual bool AskPrint(QPrinter& printer, QWidget* parent) = 0;
    // The page setup dialog on `printer`; true when the user accepted the choice.
    virtual bool AskPageSetup(QPrinter& printer, QWidget* parent) = 0;
    // The print preview of `printer`; `paint` draws the pages into the printer it is given,
    // each time the preview needs them. Returns when the preview is closed.
    virtual void ShowPreview(QPrinter& printer, QWidget* parent,
                             const std::function<void(QPrinter*)>& paint) = 0;
};

// The Qt dialogs.
class QtPrintDialogs final : public PrintDialogs {
public:
    bool AskPrint(QPrinter& printer, QWidget* parent) override;
    bool AskPageSetup(QPrinter& printer, QWidget* parent) override;
    void ShowPreview(QPrinter& printer, QWidget* parent,
                     const std::function<void(QPrinter*)>& paint) override;
};

} // namespace orvelle::viewer
