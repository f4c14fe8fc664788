// Orvelle: start-up in a fixed order, then the message loop.
#include "Program.h"
#include "viewer/PrepareEngine.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    orvelle::viewer::PrepareEngine();
    QApplication application(argc, argv);
    return orvelle::app::RunProgram(application);
}
