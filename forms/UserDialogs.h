#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace orvelle::forms {

// Every modal dialog the program shows goes through here, so tests can answer them
// without a dialog ever waiting on screen.
class UserDialogs {
public:
    enum class Icon { None, Error };

    virtual ~UserDialogs() = default;
    // The open-file dialog: the chosen file's full name, or an empty text when cancelled.
    virtual QString ChooseFile(QWidget* parent, const QString& initialDir,
                               const QString& filter) = 0;
    // The same without waiting: `chosen` is called with the answer once there is one. The real
    // dialog is window-modal and returns at once; the default asks ChooseFile.
    virtual void ChooseFileLater(QWidget* parent, const QString& initialDir, const QString& filter,
                                 const std::function<void(const QString&)>& chosen) {
        chosen(ChooseFile(parent, initialDir, filter));
    }
    // A message box with one OK button.
    virtual void ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                             Icon icon) = 0;
};

// The dialogs in use: the real ones unless a test installed others.
UserDialogs& Dialogs();
// Installs `dialogs` (not owned); nullptr goes back to the real ones.
void SetDialogs(UserDialogs* dialogs);

} // namespace orvelle::forms
