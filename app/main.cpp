// Orvelle: start-up in a fixed order, then the message loop.
#include "StartupFailure.h"
#include "forms/Unit1.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"
#include "platform/TerminationSignals.h"
#include "resources/Pictures.h"
#include "viewer/PrepareEngine.h"

#include <QApplication>

using namespace orvelle;

int main(int argc, char* argv[]) {
    viewer::PrepareEngine();
    QApplication application(argc, argv);
    application.setWindowIcon(resources::ProgramIcon());
    application.setQuitOnLastWindowClosed(false); // closing the main window ends the program

    try {
        forms::CustomerData = new forms::TCustomerData(&application);
        forms::Form2 = new forms::TForm2();
        forms::AboutBox = new forms::TAboutBox();
    } catch (...) {
        app::ShowStartupFailure(std::current_exception());
        return 1;
    }

    platform::QuitOnTerminationSignals(application);
    forms::Form2->showMaximized();
    const int result = application.exec();
    delete forms::AboutBox;
    delete forms::Form2;
    delete forms::CustomerData;
    return result;
}
