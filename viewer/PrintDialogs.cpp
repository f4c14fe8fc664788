#include "PrintDialogs.h"

#include <QBuffer>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPageSetupDialog>
#include <QPdfDocument>
#include <QPdfView>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvelle::viewer {

bool QtPrintDialogs::AskPrint(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool QtPrintDialogs::AskPageSetup(QPrinter& printer, QWidget* parent) {
    QPageSetupDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

// The preview draws the pages from the engine's own PDF, page by page as they come into view,
// so a document of hundreds of pages opens at once.
void QtPrintDialogs::ShowPreview(const QByteArray& pdf, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QString::fromUtf8("Предварительный просмотр печати"));
    dialog.resize(800, 900);

    QByteArray bytes = pdf;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&buffer);

    auto* view = new QPdfView(&dialog);
    view->setPageMode(QPdfView::PageMode::MultiPage);
    view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    view->setDocument(&document);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    buttons->button(QDialogButtonBox::Close)->setText(QString::fromUtf8("Закрыть"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(view);
    layout->addWidget(buttons);
    dialog.exec();
    view->setDocument(nullptr);
}

} // namespace orvelle::viewer
