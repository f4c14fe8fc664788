#pragma once

#include <QString>

class QWidget;

namespace orvelle::forms {

// The open-file dialog component: a filter of "caption|pattern" pairs, an initial folder
// and the chosen file's full name.
class TOpenDialog {
public:
    explicit TOpenDialog(QWidget* owner) : owner_(owner) {}

    QString Filter; // "База данных|*.kvd|Все файлы|*.*"
    QString InitialDir;
    QString FileName;

    // Runs the dialog; true when the user picked a file (FileName then holds it).
    bool Execute();
    // The filter in the form Qt's file dialog takes: "База данных (*.kvd);;Все файлы (*.*)".
    static QString QtFilter(const QString& filter);

private:
    QWidget* owner_;
};

} // namespace orvelle::forms
