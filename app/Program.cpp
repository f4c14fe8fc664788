#include "Program.h"

#include "StartupFailure.h"
#include "forms/ErrorDisplay.h"
#include "forms/StartupSources.h"
#include "forms/Unit1.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"
#include "platform/QtTranslations.h"
#include "platform/TerminationSignals.h"
#include "resources/Pictures.h"

#include <QApplication>
#include <QTimer>

namespace orvelle::app {

int RunProgram(QApplication& application, const std::function<void()>& started,
               const forms::LaunchRequest& request) {
    // Before anything attaches a database: see there.
    platform::QuitOnTerminationSignals(application);
    platform::InstallQtTranslations(application);
    application.setWindowIcon(resources::ProgramIcon());
    application.setQuitOnLastWindowClosed(false); // closing the main window ends the program

    forms::StartupSources::SetLaunchLibrary(request.file);
    try {
        forms::CustomerData = new forms::TCustomerData(&application);
        forms::Form2 = new forms::TForm2();
        forms::AboutBox = new forms::TAboutBox();
    } catch (...) {
        if (platform::TerminationRequested()) {
            return 0;
        }
        ShowStartupFailure(std::current_exception());
        return 1;
    }

    // A termination signal during start-up ends the program before its window shows.
    int result = 0;
    if (!platform::TerminationRequested()) {
        forms::ListenForLaunches(*forms::Form2);
        forms::Form2->ShowAsLastTime();
        QTimer::singleShot(0, forms::Form2, [request] {
            forms::Guarded([&] { forms::Form2->ResumeReading(request); });
        });
        if (started) {
            QTimer::singleShot(0, &application, started);
        }
        result = application.exec();
    }
    // Nothing waits for the engine or a worker here: the browser ends its pages' processes,
    // the search panel stops its build, the data module detaches.
    delete forms::AboutBox;
    delete forms::Form2;
    delete forms::CustomerData;
    return result;
}

} // namespace orvelle::app
