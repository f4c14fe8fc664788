// Finding and opening the database when the main window is created.
#include "Unit2.h"

#include "StartupSources.h"
#include "Unit3.h"
#include "UserDialogs.h"
#include "db/Errors.h"
#include "platform/AnsiText.h"
#include "platform/MachineRegistry.h"
#include "platform/StartupFiles.h"

#include <QDir>
#include <QFile>

namespace orvelle::forms {

namespace {

// The first regular file named *.kvd in the folder, by name; empty when there is none.
QString FirstKvdFile(const QString& folder) {
    QDir dir(folder, QStringLiteral("*.kvd"), QDir::Name | QDir::IgnoreCase,
             QDir::Files | QDir::Hidden | QDir::System);
    const QFileInfoList files = dir.entryInfoList();
    return files.isEmpty() ? QString() : QDir::toNativeSeparators(files.first().absoluteFilePath());
}

void AddCredentials(db::Database& database) {
    database.Params().Add(store::kUserNameLine);
    database.Params().Add(store::kPasswordLine);
}

} // namespace

void TForm2::FormCreate() {
    db::Database& database = CustomerData->IBDatabase1;

    // 1-2. The path the estimating application recorded; none means nothing to open.
    const QString registryPath =
        platform::MachineRegistry(StartupSources::RegistryFile())
            .ReadString(platform::KelvadomKey, platform::DataBasePathValue);
    if (registryPath.isEmpty())
        return;

    // 3. First attempt; its failure is not shown, the fallback follows.
    try {
        database.SetDatabaseName(platform::ToAnsi(registryPath));
        AddCredentials(database);
        database.Open();
        CustomerData->IBTransaction1.SetActive(true);
        LoadRegisterLevel(0, nullptr);
        return;
    } catch (...) {
    }

    // 4. The path recorded in path.ini, or one the user picks and we record there.
    const QString directory = platform::CurrentDirectory();
    const QString pathIni = platform::PathIniName(directory);
    QString candidate;
    const platform::FirstLineResult firstLine = platform::ReadFirstLine(pathIni);
    if (firstLine.status == platform::OpenStatus::Opened) {
        candidate = firstLine.line;
    } else {
        platform::CreateEmptyFile(pathIni); // a failure here leaves the handler
        OpenDialog1.InitialDir = directory;
        QString chosen;
        if (platform::HasKvdEntry(directory))
            chosen = FirstKvdFile(directory); // a database right beside us: use it
        if (chosen.isEmpty()) {
            Dialogs().ShowMessage(nullptr, QStringLiteral("Error"),
                                  QStringLiteral("Файл \\путь к базе данных не найден !"),
                                  UserDialogs::Icon::Error);
            if (OpenDialog1.Execute())
                chosen = OpenDialog1.FileName;
        }
        if (chosen.isEmpty()) {
            // No path to open: leave no empty path.ini that would spoil every later start.
            QFile::remove(pathIni);
            return;
        }
        platform::WriteSingleLine(pathIni, chosen);
        candidate = chosen;
    }

    // 5. Point the connection at the candidate; a connection left open by step 3 refuses.
    try {
        database.SetDatabaseName(platform::ToAnsi(candidate));
    } catch (const db::EIBClientError&) {
        if (OpenDialog1.Execute()) {
            candidate = OpenDialog1.FileName;
            database.SetDatabaseName(platform::ToAnsi(candidate));
        }
        database.SetDatabaseName(platform::ToAnsi(candidate));
    }

    // 6-7. Connect and load; the first query starts the transaction.
    AddCredentials(database);
    database.Open();
    LoadRegisterLevel(0, nullptr);
}

} // namespace orvelle::forms
