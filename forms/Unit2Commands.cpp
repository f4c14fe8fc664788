// The main window's commands: open another database, exit, About.
#include "Unit2.h"

#include "ErrorDisplay.h"
#include "LibraryPreparation.h"
#include "Unit1.h"
#include "Unit3.h"
#include "UserDialogs.h"
#include "db/Errors.h"
#include "platform/NativeFileName.h"
#include "platform/TerminationSignals.h"
#include "store/LibraryHeader.h"
#include "viewer/BrowserView.h"

#include <QTreeWidget>

namespace orvelle::forms {

namespace {

// What the user is told when a chosen file did not open: why its copy could not be made, the
// plain explanation for a library written by an engine of another on-disk structure, else that
// it is no database.
QString OpenFailureText(const QString& fileName, const std::exception_ptr& preparationFailure) {
    if (preparationFailure) {
        return MessageOf(preparationFailure);
    }
    if (const auto header = store::ReadLibraryHeader(platform::NativeFileName(fileName))) {
        try {
            store::CheckOnDiskStructure(*header);
        } catch (const db::Exception& error) {
            return platform::FromClientMessage(error.Message());
        }
    }
    return QStringLiteral("Данный файл не является базой данных");
}

void CloseQuietly(db::Database& database) {
    try {
        database.Close();
    } catch (...) {
    }
}

} // namespace

// Connects to `fileName` and loads its register into an emptied tree.
bool TForm2::OpenDatabase(const QString& fileName) {
    db::Database& database = CustomerData->IBDatabase1;
    try {
        CustomerData->library.Open(platform::NativeFileName(fileName));
        ClearTree();
        LoadRegisterLevel(0, nullptr);
        return true;
    } catch (...) {
        CloseQuietly(database);
        return false;
    }
}

void TForm2::N3Click() {
    if (!OpenDialog1.Execute() || OpenDialog1.FileName.isEmpty()) {
        return;
    }
    OpenLibraryFile(OpenDialog1.FileName);
}

void TForm2::OpenLibraryFile(const QString& fileName, std::function<void()> opened) {
    // The library shown stays while the chosen one is made ready.
    PrepareLibraryThen(
        fileName, [this, fileName, opened = std::move(opened)](const std::exception_ptr& failure) {
            if (OpenChosenLibrary(fileName, failure) && opened) {
                opened();
            }
        });
}

bool TForm2::OpenChosenLibrary(const QString& chosen, const std::exception_ptr& failure) {
    db::Database& database = CustomerData->IBDatabase1;
    const QString previous = platform::FromNativeFileName(database.DatabaseName());
    const bool wasConnected = database.Connected();
    // Kept for the way back, so that going back copies nothing.
    std::shared_ptr<const store::LibraryLease> previousLease = CustomerData->library.HeldLease();
    if (!failure && OpenDatabase(chosen)) {
        return true;
    }
    if (platform::TerminationRequested()) {
        return false;
    }
    // The tree and the connection must agree: back to the library shown before, or nothing. A
    // library that could not be made ready closed nothing.
    if (!failure || !wasConnected) {
        CustomerData->library.UsePrepared(std::move(previousLease));
        if (!wasConnected || !OpenDatabase(previous)) {
            ClearTree();
            if (!wasConnected) {
                database.SetDatabaseName(platform::NativeFileName(previous));
            }
        }
    }
    Dialogs().ShowMessage(this, QStringLiteral("Ошибка при открытии файла"),
                          OpenFailureText(chosen, failure), UserDialogs::Icon::None);
    return false;
}

void TForm2::N6Click() {
    preparation_->Cancel();
    delete WebBrowser1.data();
    delete TreeView1;
    TreeView1 = nullptr;
    delete CustomerData;
    close();
}

void TForm2::ToolButton6Click() {
    N6Click();
}

void TForm2::N10Click() {
    AboutBox->show();
    AboutBox->raise();
    AboutBox->activateWindow();
}

} // namespace orvelle::forms
