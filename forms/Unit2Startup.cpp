// Finding and opening the database when the main window is created. Each step that attaches a
// library goes on once the library is ready (copied into the user's cache off the window's
// thread), so the window shows at once whatever the library's size.
#include "Unit2.h"

#include "LibraryPreparation.h"
#include "PendingPathIni.h"
#include "StartupSources.h"
#include "Unit3.h"
#include "UserDialogs.h"
#include "db/Errors.h"
#include "platform/MachineRegistry.h"
#include "platform/NativeFileName.h"
#include "platform/StartupFiles.h"
#include "platform/TerminationSignals.h"

#include <QDir>

#include <memory>

namespace orvelle::forms {

namespace {

// The first regular file named *.kvd in the folder, by name; empty when there is none.
QString FirstKvdFile(const QString& folder) {
    QDir dir(folder, QStringLiteral("*.kvd"), QDir::Name | QDir::IgnoreCase,
             QDir::Files | QDir::Hidden | QDir::System);
    const QFileInfoList files = dir.entryInfoList();
    return files.isEmpty() ? QString() : QDir::toNativeSeparators(files.first().absoluteFilePath());
}

} // namespace

void TForm2::FormCreate() {
    // The path the estimating application recorded; none means nothing to open.
    const QString registryPath =
        platform::MachineRegistry(StartupSources::RegistryFile())
            .ReadString(platform::KelvadomKey, platform::DataBasePathValue);
    if (registryPath.isEmpty()) {
        return;
    }
    // First attempt, at the recorded path, once its library is ready.
    CustomerData->IBDatabase1.SetDatabaseName(platform::NativeFileName(registryPath));
    CustomerData->library.AddCredentials();
    PrepareLibraryThen(registryPath,
                       [this](const std::exception_ptr& failure) { FirstAttempt(failure); });
}

// Its failure is not shown: the fallback follows.
void TForm2::FirstAttempt(const std::exception_ptr& failure) {
    try {
        if (failure) {
            std::rethrow_exception(failure);
        }
        CustomerData->IBDatabase1.Open();
        CustomerData->IBTransaction1.SetActive(true);
        LoadRegisterLevel(0, nullptr);
        return;
    } catch (...) {
    }
    // A termination signal ends start-up here and at every later step: no fallback, no
    // question to the user.
    if (platform::TerminationRequested()) {
        return;
    }
    StartupFallback();
}

// The fallback: the path recorded in path.ini; without path.ini, a database beside us or one
// the user picks, recorded in a new path.ini once it opened.
void TForm2::StartupFallback() {
    const QString directory = platform::CurrentDirectory();
    const QString pathIni = platform::PathIniName(directory);
    const platform::FirstLineResult firstLine = platform::ReadFirstLine(pathIni);
    if (firstLine.status == platform::OpenStatus::Opened) {
        ConnectCandidate(firstLine.line, nullptr);
        return;
    }
    // A failure here leaves the handler.
    const auto pending = std::make_shared<PendingPathIni>(pathIni);
    OpenDialog1.InitialDir = directory;
    if (platform::HasKvdEntry(directory) && !CustomerData->IBDatabase1.Connected()) {
        // A database right beside us is opened silently; one that does not open is passed
        // over for the user's choice.
        if (const QString beside = FirstKvdFile(directory); !beside.isEmpty()) {
            OpenDatabaseThen(beside, [this, pending, beside](bool opened) {
                if (opened) {
                    pending->Record(beside);
                    return;
                }
                ClearTree();
                if (!platform::TerminationRequested()) {
                    AskForTheLibrary(pending);
                }
            });
            return;
        }
    }
    AskForTheLibrary(pending);
}

void TForm2::AskForTheLibrary(const std::shared_ptr<PendingPathIni>& pending) {
    Dialogs().ShowMessage(nullptr, QStringLiteral("Error"),
                          QStringLiteral("Файл \\путь к базе данных не найден !"),
                          UserDialogs::Icon::Error);
    if (platform::TerminationRequested() || !OpenDialog1.Execute() ||
        OpenDialog1.FileName.isEmpty() || platform::TerminationRequested()) {
        return; // no path to open
    }
    ConnectCandidate(OpenDialog1.FileName, pending);
}

void TForm2::ConnectCandidate(QString candidate, const std::shared_ptr<PendingPathIni>& pending) {
    db::Database& database = CustomerData->IBDatabase1;
    // Point the connection at the candidate; a connection left open by the first attempt
    // refuses, and the user is asked once more before the refusal is shown.
    try {
        database.SetDatabaseName(platform::NativeFileName(candidate));
    } catch (const db::EIBClientError&) {
        if (OpenDialog1.Execute()) {
            candidate = OpenDialog1.FileName;
            database.SetDatabaseName(platform::NativeFileName(candidate));
        }
        if (platform::TerminationRequested()) {
            return;
        }
        database.SetDatabaseName(platform::NativeFileName(candidate));
    }
    // The credentials go in once more, which a connection left open by the first attempt
    // refuses.
    CustomerData->library.AddCredentials();
    // Connect and load once the library is ready; the first query starts the transaction.
    PrepareLibraryThen(candidate, [this, candidate, pending](const std::exception_ptr& failure) {
        try {
            if (failure) {
                std::rethrow_exception(failure);
            }
            CustomerData->IBDatabase1.Open();
            LoadRegisterLevel(0, nullptr);
        } catch (...) {
            if (platform::TerminationRequested()) {
                return;
            }
            throw;
        }
        if (pending) {
            pending->Record(candidate);
        }
    });
}

} // namespace orvelle::forms
