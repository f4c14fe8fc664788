#include "PrintDialogs.h"

#include "PreviewDialog.h"

#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace orvelle::viewer {

bool QtPrintDialogs::AskPrint(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool QtPrintDialogs::AskPageSetup(QPrinter& printer, QWidget* parent) {
    QPageSetupDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

// The preview is a window of its own, not modal: the main window stays usable (and closable:
// the preview goes with it).
void QtPrintDialogs::ShowPreview(const QByteArray& pdf, QWidget* parent,
                                 std::function<void()> print) {
    auto* dialog = new PreviewDialog(pdf, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (print) {
        QObject::connect(dialog, &QDialog::accepted, dialog, std::move(print));
    }
    dialog->show();
}

} // namespace orvelle::viewer
