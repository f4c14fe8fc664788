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

bool QtPrintDialogs::ShowPreview(const QByteArray& pdf, QWidget* parent) {
    PreviewDialog dialog(pdf, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace orvelle::viewer
