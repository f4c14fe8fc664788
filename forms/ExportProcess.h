#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace orvelle::forms {

// orvelle-export run in a process of its own, for work on library contents that the window must
// not do itself (parsing documents' markup, reading another library): its standard output is
// collected up to a limit, "done/total" lines on its standard error are reported as progress and
// every other line there is kept as its message. Reports by signal; Cancel() or the object's end
// ends the process.
class ExportProcess : public QObject {
    Q_OBJECT

public:
    // The most output kept: a document may be as large as the viewer shows (64 MB) and a tree
    // listing of a large library some tens of megabytes.
    static constexpr qint64 kOutputLimit = qint64{96} << 20;

    explicit ExportProcess(QObject* parent = nullptr);
    ~ExportProcess() override;

    // orvelle-export beside the program, else the one of the build tree the program comes from.
    static QString ProgramPath();

    // Starts orvelle-export with `arguments`, ending whatever run was under way (silently).
    void Start(const QStringList& arguments);
    // Ends the run under way without a signal.
    void Cancel();
    bool Running() const;

Q_SIGNALS:
    void Progress(qint64 done, qint64 total);
    // The program ended by itself: its exit code, its output and its message (empty when none).
    void Finished(int exitCode, const QByteArray& output, const QString& message);
    // It could not start, crashed or wrote more than the limit.
    void Failed(const QString& message);

private:
    void ReadOutput();
    void ReadErrors();
    void Ended(int exitCode, QProcess::ExitStatus status);
    void Fail(const QString& message);

    QPointer<QProcess> process_;
    QByteArray output_;
    QByteArray errors_; // an unfinished last line
    QStringList message_;
};

} // namespace orvelle::forms
