// Finding and opening the database when the main window is created.
#include "Unit2.h"

#include "StartupSources.h"
#include "Unit3.h"
#include "UserDialogs.h"
#include "platform/AnsiText.h"
#include "platform/MachineRegistry.h"
#include "platform/StartupFiles.h"

namespace orvelle::forms {

namespace {

void AddCredentials(db::Database& database) {
    database.Params().Add("user_name=SYSDBA");
    database.Params().Add("password=cobaltine");
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
    if (std::optional<QString> firstLine = platform::ReadFirstLine(pathIni)) {
        candidate = *firstLine;
    } else {
        platform::PathIniWriter pathIniFile(pathIni); // created empty; a failure leaves here
        OpenDialog1.InitialDir = directory;
        QString chosen = platform::FirstKvdFile(directory);
        if (chosen.isEmpty()) {
            Dialogs().ShowMessage(nullptr, QStringLiteral("Error"),
                                  QStringLiteral("Файл \\путь к базе данных не найден !"),
                                  UserDialogs::Icon::Error);
            if (OpenDialog1.Execute())
                chosen = OpenDialog1.FileName;
        }
        if (chosen.isEmpty()) {
            // No path to open: leave no empty path.ini that would spoil every later start.
            pathIniFile.Discard();
            return;
        }
        pathIniFile.WriteLine(chosen);
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
