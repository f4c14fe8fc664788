#pragma once

#include <QObject>
#include <QPageLayout>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTemporaryDir;
class QThread;

namespace orvelle::viewer {

class GuardedPage;
struct PdfPart;

// One entry of a section, in the order its pages go out.
struct SectionEntry {
    QString title; // plain text: the outline item
    int depth = 0; // 0 for the section's own entry, 1 for what lies right under it, ...
};

// Writes stored documents one after another into one PDF, each from a new page, with an
// outline that mirrors the entries' nesting: a whole section of a library for printing or
// saving. It works in the background, reports by signals and never waits on the engine.
//
// Every document gets a fresh page of its own in the content profile (no request leaves it,
// nothing navigates, no dialog or window appears), with the same scripts the viewer writes
// with; one document is held at a time, and the script that writes it is made on a worker
// thread. A document that does not get written and laid out
// within the time limit (a script that never ends, say), that uses too much memory, or whose
// page process ends, is skipped: its page process is ended (unless another page shares it),
// and in its place the PDF gets a page that names it and says why. The pages are put
// together by qpdf (PdfAssembly) on a thread of its own.
class SectionPrinter : public QObject {
    Q_OBJECT
public:
    // The stored HTML of entry `index`, as text. Asked on the printer's thread just before the
    // entry is written; an exception skips the entry, its message becoming the note.
    using DocumentSource = std::function<QString(int index)>;
    // True when another page of the program lives in the page process `pid`.
    using ProcessInUse = std::function<bool(qint64 pid)>;

    enum class Outcome { Written, Cancelled, Failed };
    Q_ENUM(Outcome)

    struct Options {
        QPageLayout layout;
        double zoom = 1.0; // the documents' zoom on paper
        std::chrono::milliseconds documentLimit{60000};
        ProcessInUse processInUse;
    };

    // Documents larger than this are skipped, as the viewer refuses them.
    static constexpr qsizetype kLargestDocument = qsizetype{64} << 20;

    SectionPrinter(std::vector<SectionEntry> entries, DocumentSource source, Options options,
                   QObject* parent = nullptr);
    ~SectionPrinter() override;

    // Starts writing the PDF to `output`, which is replaced only by a complete file; returns
    // at once.
    void Start(const QString& output);
    // Stops as soon as it can; Finished(Cancelled) follows and `output` is left as it was.
    void Cancel();

    int Total() const { return static_cast<int>(entries_.size()); }
    // One line per skipped document: its title and why.
    const QStringList& Notes() const { return notes_; }

Q_SIGNALS:
    // Entry `index` of `total` is being written; `index` == `total` while the pages are put
    // together.
    void Progress(int index, int total, const QString& title);
    // Entry `index` was skipped; the note says why.
    void Skipped(int index, const QString& note);
    // The end: the PDF is written, or the work was cancelled, or it failed (`message` says why).
    void Finished(orvelle::viewer::SectionPrinter::Outcome outcome, const QString& message);

private:
    struct Assembly;

    void RenderNext();
    // Writes once both the page and the script that writes into it are ready.
    void WriteWhenReady();
    void WriteAnswered(const QVariant& answer);
    void Print();
    void Printed(const QByteArray& pdf);
    // Puts a note page in place of the document; its page goes, and with `endProcess` its
    // process too.
    void Skip(const QString& reason, bool endProcess = true);
    void WatchMemory();
    void DropPage(bool endProcess);
    // The page goes, and with `endProcess` its process (unless another page lives in it); a
    // page the engine is printing goes only once the print has answered.
    void LetGo(GuardedPage* page, bool endProcess);
    void AddPart(const QString& file);
    void Assemble();
    void Finish(Outcome outcome, const QString& message);
    QString PartFile() const;

    std::vector<SectionEntry> entries_;
    DocumentSource source_;
    Options options_;
    QString output_;
    std::unique_ptr<QTemporaryDir> folder_;
    std::vector<PdfPart> parts_;
    QStringList notes_;
    int next_ = 0;
    quint64 generation_ = 0;      // a new one per document: answers for an older one are dropped
    QPointer<GuardedPage> page_;  // the document being written or printed
    QPointer<GuardedPage> spare_; // an empty page for the next one
    qsizetype documentSize_ = 0;  // of the document being written, in characters
    bool pageReady_ = false;
    std::optional<QString> writeScript_; // made on a worker thread
    std::shared_ptr<std::atomic<bool>> stopScript_;
    bool started_ = false;
    bool finished_ = false;
    QTimer limit_;
    QTimer memory_;
    std::shared_ptr<Assembly> assembly_;
    QThread* assembler_ = nullptr;
};

} // namespace orvelle::viewer
