// Finding and opening the database when the main window is created.
#include "Unit2.h"

#include "StartupSources.h"
#include "Unit3.h"
#include "UserDialogs.h"
#include "db/Errors.h"
#include "platform/MachineRegistry.h"
#include "platform/NativeFileName.h"
#include "platform/StartupFiles.h"
#include "platform/TerminationSignals.h"

#include <QDir>
#include <QFile>

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

// A path.ini created empty while a database is being looked for. It is removed again unless
// a database opened and its path was recorded, so that no start is left with an empty or a
// wrong path.ini.
class PendingPathIni {
public:
    explicit PendingPathIni(QString fileName) : fileName_(std::move(fileName)) {
        platform::CreateEmptyFile(fileName_);
    }
    ~PendingPathIni() {
        if (!recorded_) {
            QFile::remove(fileName_);
        }
    }
    PendingPathIni(const PendingPathIni&) = delete;
    PendingPathIni& operator=(const PendingPathIni&) = delete;

    void Record(const QString& path) {
        platform::WriteSingleLine(fileName_, path);
        recorded_ = true;
    }

private:
    QString fileName_;
    bool recorded_ = false;
};

} // namespace

void TForm2::FormCreate() {
    db::Database& database = CustomerData->IBDatabase1;

    // The path the estimating application recorded; none means nothing to open.
    const QString registryPath =
        platform::MachineRegistry(StartupSources::RegistryFile())
            .ReadString(platform::KelvadomKey, platform::DataBasePathValue);
    if (registryPath.isEmpty()) {
        return;
    }

    // First attempt, at the recorded path; its failure is not shown, the fallback follows.
    try {
        database.SetDatabaseName(platform::NativeFileName(registryPath));
        CustomerData->library.AddCredentials();
        database.Open();
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

    // The fallback: the path recorded in path.ini; without path.ini, a database beside us or
    // one the user picks, recorded in a new path.ini once it opened.
    const QString directory = platform::CurrentDirectory();
    const QString pathIni = platform::PathIniName(directory);
    QString candidate;
    std::unique_ptr<PendingPathIni> pending;
    const platform::FirstLineResult firstLine = platform::ReadFirstLine(pathIni);
    if (firstLine.status == platform::OpenStatus::Opened) {
        candidate = firstLine.line;
    } else {
        pending = std::make_unique<PendingPathIni>(pathIni); // a failure here leaves the handler
        OpenDialog1.InitialDir = directory;
        if (platform::HasKvdEntry(directory) && !database.Connected()) {
            // A database right beside us is opened silently; one that does not open is passed
            // over for the user's choice.
            const QString beside = FirstKvdFile(directory);
            if (!beside.isEmpty() && OpenDatabase(beside)) {
                pending->Record(beside);
                return;
            }
            ClearTree();
            if (platform::TerminationRequested()) {
                return;
            }
        }
        Dialogs().ShowMessage(nullptr, QStringLiteral("Error"),
                              QStringLiteral("Файл \\путь к базе данных не найден !"),
                              UserDialogs::Icon::Error);
        if (platform::TerminationRequested() || !OpenDialog1.Execute() ||
            OpenDialog1.FileName.isEmpty() || platform::TerminationRequested()) {
            return; // no path to open
        }
        candidate = OpenDialog1.FileName;
    }

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

    // Connect and load; the first query starts the transaction. The credentials go in once
    // more, which a connection left open by the first attempt refuses.
    CustomerData->library.AddCredentials();
    try {
        database.Open();
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
}

} // namespace orvelle::forms
