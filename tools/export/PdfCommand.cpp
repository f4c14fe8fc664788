#include "PdfCommand.h"

#include "platform/CompanionProgram.h"
#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QProcess>

#include <iostream>

namespace orvelle::exporter {

namespace {

constexpr int ExitFailure = 1;

} // namespace

int PdfCommand(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    platform::QuitOnTerminationSignals(application);
    QStringList arguments = QCoreApplication::arguments().mid(2); // after "pdf"
    QProcess helper;
    helper.setProcessChannelMode(QProcess::ForwardedChannels);
    int exitCode = ExitFailure;
    QObject::connect(&helper, &QProcess::finished, &application,
                     [&exitCode](int code, QProcess::ExitStatus status) {
                         exitCode = status == QProcess::NormalExit ? code : ExitFailure;
                         QCoreApplication::exit(0);
                     });
    QObject::connect(&helper, &QProcess::errorOccurred, &application,
                     [&helper](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             std::cerr << "cannot run " << helper.program().toStdString() << ": "
                                       << helper.errorString().toStdString() << '\n';
                             QCoreApplication::exit(0);
                         }
                     });
    helper.start(platform::CompanionProgram(QStringLiteral("orvelle-export-pdf")), arguments);
    application.exec();
    if (helper.state() != QProcess::NotRunning) {
        // A termination signal: the helper stops too, leaving OUT.pdf as it was.
        helper.terminate();
        if (!helper.waitForFinished(10000)) {
            helper.kill();
            helper.waitForFinished(2000);
        }
        return ExitFailure;
    }
    return exitCode;
}

} // namespace orvelle::exporter
