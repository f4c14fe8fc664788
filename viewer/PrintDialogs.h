#pragma once

#include <functional>

class QByteArray;
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
    // The print preview: shows `pdf`, the pages as they will print, and returns at once; the
    // preview stays open beside the window until the user closes it. `print` runs when the user
    // asks to print from it.
    virtual void ShowPreview(const QByteArray& pdf, QWidget* parent,
                             std::function<void()> print) = 0;
};

// The Qt dialogs.
class QtPrintDialogs final : public PrintDialogs {
public:
    bool AskPrint(QPrinter& printer, QWidget* parent) override;
    bool AskPageSetup(QPrinter& printer, QWidget* parent) override;
    void ShowPreview(const QByteArray& pdf, QWidget* parent, std::function<void()> print) override;
};

} // namespace orvelle::viewer
