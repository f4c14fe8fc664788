#include "UserDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace orvelle::forms {

namespace {

class QtDialogs final : public UserDialogs {
public:
    QString ChooseFile(QWidget* parent, const QString& initialDir, const QString& filter) override {
        return QFileDialog::getOpenFileName(parent, QString(), initialDir, filter);
    }

    void ChooseFileLater(QWidget* parent, const QString& initialDir, const QString& filter,
                         const std::function<void(const QString&)>& chosen) override {
        auto* dialog = new QFileDialog(parent, QString(), initialDir, filter);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setFileMode(QFileDialog::ExistingFile);
        QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, chosen](int result) {
            const QStringList files = dialog->selectedFiles();
            chosen(result == QDialog::Accepted && !files.isEmpty() ? files.first() : QString());
        });
        dialog->open();
    }

    void ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                     Icon icon) override {
        QMessageBox box(icon == Icon::Error ? QMessageBox::Critical : QMessageBox::NoIcon, caption,
                        text, QMessageBox::Ok, parent);
        box.setTextFormat(Qt::PlainText); // messages quote documents and file names
        box.exec();
    }
};

UserDialogs* installed = nullptr;

} // namespace

UserDialogs& Dialogs() {
    static QtDialogs real;
    return installed ? *installed : real;
}

void SetDialogs(UserDialogs* dialogs) {
    installed = dialogs;
}

} // namespace orvelle::forms
