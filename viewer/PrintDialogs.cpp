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
// so a document of hundreds of pages opens at once. It is a window of its own, not modal: the
// main window stays usable (and closable: the preview goes with it).
void QtPrintDialogs::ShowPreview(const QByteArray& pdf, QWidget* parent,
                                 std::function<void()> print) {
    auto* dialog = new QDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QString::fromUtf8("Предварительный просмотр печати"));
    dialog->resize(800, 900);

    // Children go in the order they came: the view before the document it shows, the document
    // before the bytes it reads.
    auto* view = new QPdfView(dialog);
    auto* document = new QPdfDocument(dialog);
    auto* buffer = new QBuffer(document);
    buffer->setData(pdf);
    buffer->open(QIODevice::ReadOnly);
    document->load(buffer);
    view->setPageMode(QPdfView::PageMode::MultiPage);
    view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    view->setDocument(document);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Close, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QString::fromUtf8("Печать..."));
    buttons->button(QDialogButtonBox::Close)->setText(QString::fromUtf8("Закрыть"));
    buttons->button(QDialogButtonBox::Close)->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [dialog, print] {
        dialog->close();
        if (print) {
            print();
        }
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);

    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(view);
    layout->addWidget(buttons);
    dialog->show();
}

} // namespace orvelle::viewer
