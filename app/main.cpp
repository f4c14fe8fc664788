// Orvelle: start-up in a fixed order, then the message loop.
#include "CommandLine.h"
#include "StartupFailure.h"
#include "forms/ErrorDisplay.h"
#include "forms/LaunchRequest.h"
#include "forms/StartupSources.h"
#include "forms/Unit1.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"
#include "platform/InstanceChannel.h"
#include "platform/QtTranslations.h"
#include "platform/TerminationSignals.h"
#include "resources/Pictures.h"
#include "viewer/PrepareEngine.h"

#include <QApplication>

#include <cstdio>

using namespace orvelle;

int main(int argc, char* argv[]) {
    if (app::AsksForHelp(argc, argv)) {
        std::fputs(app::UsageText(), stdout);
        return 0;
    }
    viewer::PrepareEngine();
    QApplication application(argc, argv);
    const app::CommandLine commandLine =
        app::ParseCommandLine(QCoreApplication::arguments().mid(1));
    if (commandLine.action != app::CommandLine::Action::Run) {
        std::fprintf(stderr, "%s\n\n%s", commandLine.error.toLocal8Bit().constData(),
                     app::UsageText());
        return 2;
    }
    // What the command line asks for goes to a viewer already running, when there is one.
    const forms::LaunchRequest& request = commandLine.request;
    if (!request.Empty() && platform::InstanceChannel().Send(request.ToMessage())) {
        return 0;
    }
    forms::StartupSources::SetLaunchLibrary(request.file);

    // Before anything attaches a database: see there.
    platform::QuitOnTerminationSignals(application);
    platform::InstallQtTranslations(application);
    application.setWindowIcon(resources::ProgramIcon());
    application.setQuitOnLastWindowClosed(false); // closing the main window ends the program

    try {
        forms::CustomerData = new forms::TCustomerData(&application);
        forms::Form2 = new forms::TForm2();
        forms::AboutBox = new forms::TAboutBox();
    } catch (...) {
        if (platform::TerminationRequested()) {
            return 0;
        }
        app::ShowStartupFailure(std::current_exception());
        return 1;
    }

    // A termination signal during start-up ends the program before its window shows.
    int result = 0;
    if (!platform::TerminationRequested()) {
        forms::ListenForLaunches(*forms::Form2);
        forms::Form2->ShowAsLastTime();
        QMetaObject::invokeMethod(
            forms::Form2,
            [request] { forms::Guarded([&] { forms::Form2->ResumeReading(request); }); },
            Qt::QueuedConnection);
        result = application.exec();
    }
    delete forms::AboutBox;
    delete forms::Form2;
    delete forms::CustomerData;
    return result;
}
