#include "ExportProcess.h"

#include "platform/ChildProcessFiles.h"
#include "platform/CompanionProgram.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <utility>

namespace orvelle::forms {

ExportProcess::ExportProcess(QObject* parent) : QObject(parent) {}

ExportProcess::~ExportProcess() {
    // The process goes with this object: killed, it is reaped at once (as QProcess's own end
    // would, but without its warning).
    if (QProcess* process = std::exchange(process_, nullptr)) {
        process->disconnect(this);
        process->kill();
        process->waitForFinished(1000);
    }
}

QString ExportProcess::ProgramPath() {
    QString beside = platform::CompanionProgram(QStringLiteral("orvelle-export"));
    if (QFileInfo(beside).isExecutable()) {
        return beside;
    }
#ifdef ORVELLE_EXPORT_IN_BUILD_TREE
    return QStringLiteral(ORVELLE_EXPORT_IN_BUILD_TREE);
#else
    return beside;
#endif
}

void ExportProcess::Start(const QStringList& arguments) {
    Cancel();
    output_.clear();
    errors_.clear();
    message_.clear();
    auto* process = new QProcess(this);
    process_ = process;
    connect(process, &QProcess::readyReadStandardOutput, this, &ExportProcess::ReadOutput);
    connect(process, &QProcess::readyReadStandardError, this, &ExportProcess::ReadErrors);
    connect(process, &QProcess::finished, this, &ExportProcess::Ended);
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (process == process_ && error == QProcess::FailedToStart) {
            Fail(QStringLiteral("Не удалось запустить %1: %2")
                     .arg(QDir::toNativeSeparators(ProgramPath()), process->errorString()));
        }
    });
    platform::KeepOpenFilesFromChild(*process);
    process->start(ProgramPath(), arguments);
}

void ExportProcess::Cancel() {
    QProcess* process = process_;
    process_ = nullptr;
    if (!process) {
        return;
    }
    process->disconnect(this);
    process->kill(); // ends at once; the object reaps it when it goes
    process->deleteLater();
}

bool ExportProcess::Running() const {
    return process_ != nullptr;
}

void ExportProcess::ReadOutput() {
    if (!process_) {
        return;
    }
    output_ += process_->readAllStandardOutput();
    if (output_.size() > kOutputLimit) {
        Fail(QStringLiteral("Слишком большой ответ: больше %1 МБ").arg(kOutputLimit >> 20));
    }
}

void ExportProcess::ReadErrors() {
    if (!process_) {
        return;
    }
    static const QRegularExpression progress(QStringLiteral("^(\\d+)/(\\d+)$"));
    errors_ += process_->readAllStandardError();
    qsizetype end = 0;
    while ((end = errors_.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(errors_.left(end)).trimmed();
        errors_.remove(0, end + 1);
        const QRegularExpressionMatch match = progress.match(line);
        if (match.hasMatch()) {
            Q_EMIT Progress(match.captured(1).toLongLong(), match.captured(2).toLongLong());
        } else if (!line.isEmpty() && message_.size() < 20) {
            message_ << line;
        }
    }
}

void ExportProcess::Ended(int exitCode, QProcess::ExitStatus status) {
    if (!process_) {
        return;
    }
    ReadOutput();
    ReadErrors();
    if (!process_) {
        return; // the output was too large
    }
    if (!errors_.isEmpty()) {
        message_ << QString::fromUtf8(errors_).trimmed();
    }
    std::exchange(process_, nullptr)->deleteLater();
    if (status != QProcess::NormalExit) {
        Q_EMIT Failed(QStringLiteral("Сравнение прервано: программа %1 завершилась аварийно")
                          .arg(QFileInfo(ProgramPath()).fileName()));
        return;
    }
    const QByteArray output = std::exchange(output_, QByteArray());
    Q_EMIT Finished(exitCode, output, message_.join(QChar('\n')));
}

void ExportProcess::Fail(const QString& message) {
    Cancel();
    output_.clear();
    Q_EMIT Failed(message);
}

} // namespace orvelle::forms
