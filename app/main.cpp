// Orvelle: the command line, a hand-over to a viewer already running, else start-up in a fixed
// order and the message loop.
#include "CommandLine.h"
#include "Program.h"
#include "platform/ExitBound.h"
#include "platform/InstanceChannel.h"
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
    return platform::RunThenBoundTheExit([&] {
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
        return app::RunProgram(application, {}, request);
    });
}
