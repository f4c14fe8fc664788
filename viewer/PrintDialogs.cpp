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
bool QtPrintDialogs::ShowPreview(const QByteArray& pdf, QWidget* parent) {
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

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Close, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QString::fromUtf8("Печать..."));
    buttons->button(QDialogButtonBox::Close)->setText(QString::fromUtf8("Закрыть"));
    buttons->button(QDialogButtonBox::Close)->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(view);
    layout->addWidget(buttons);
    const bool print = dialog.exec() == QDialog::Accepted;
    view->setDocument(nullptr);
    return print;
}

} // namespace orvelle::viewer
