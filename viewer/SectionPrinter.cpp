#include "SectionPrinter.h"

#include "ContentProfile.h"
#include "DocumentScripts.h"
#include "GuardedPage.h"
#include "PageProcess.h"
#include "PdfAssembly.h"

#include <QDir>
#include <QFile>
#include <QFutureWatcher>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QThread>
#include <QVariantMap>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>

namespace orvelle::viewer {

namespace {

constexpr int kMemoryCheckMs = 500;
// A page the engine is printing is let go once the print answers, or after this long.
constexpr int kPrintAnswerLimitMs = 300 * 1000;
// What a page process may hold, as in the viewer: 2 GB plus what the engine needs to lay the
// document out.
constexpr qint64 kMemoryLimit = qint64{2} << 30;
constexpr qint64 kMemoryPerCharacter = 80;

bool IsInline(const QUrl& url) {
    const QString scheme = url.scheme();
    return scheme == u"about" || scheme == u"data" || scheme == u"blob";
}

// A page for one document: nothing it does navigates it; frames of its own markup load their
// inline content; WebRTC is taken away in every frame before the document's scripts run.
GuardedPage* NewDocumentPage(QObject* parent) {
    auto* page = new GuardedPage(
        ContentProfile(),
        [](const QWebEnginePage*, const QUrl& url, bool isMainFrame, NavigationKind kind) {
            return !isMainFrame && kind == NavigationKind::Script && IsInline(url);
        },
        parent);
    page->scripts().insert(scripts::NoPeerConnectionsScript());
    return page;
}

// A page in place of a skipped document, so the outline keeps an item per entry.
bool WriteNotePage(const QString& file, const QPageLayout& layout, const QString& title,
                   const QString& note) {
    QPdfWriter writer(file);
    writer.setPageLayout(layout);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Orvelle"));
    QPainter painter;
    if (!painter.begin(&writer)) {
        return false;
    }
    const QRect area = writer.pageLayout().paintRectPixels(writer.resolution());
    QFont font = painter.font();
    font.setPointSizeF(12);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, area.width(), area.height()), Qt::TextWordWrap,
                     title + QStringLiteral("\n\n") + note);
    return painter.end();
}

QString ZoomScript(double zoom) {
    return QStringLiteral("document.documentElement && "
                          "(document.documentElement.style.zoom = String(%1)); true")
        .arg(zoom);
}

} // namespace

// What the assembler thread shares with the printer.
struct SectionPrinter::Assembly {
    std::atomic<bool> cancel{false};
    bool cancelled = false;
    QString error;
};

SectionPrinter::SectionPrinter(std::vector<SectionEntry> entries, DocumentSource source,
                               Options options, QObject* parent)
    : QObject(parent), entries_(std::move(entries)), source_(std::move(source)),
      options_(std::move(options)) {
    limit_.setSingleShot(true);
    connect(&limit_, &QTimer::timeout, this, [this] {
        Skip(QStringLiteral("документ не был готов к печати за %1 с")
                 .arg(options_.documentLimit.count() / 1000.0));
    });
    memory_.setInterval(kMemoryCheckMs);
    connect(&memory_, &QTimer::timeout, this, &SectionPrinter::WatchMemory);
}

SectionPrinter::~SectionPrinter() {
    // Going now: the pages' processes end with them at once, as the viewer's own pages do when
    // the window goes. A page the engine is printing cannot be destroyed before its print ends
    // (the engine aborts the program): it is let go, and goes when its print ends or with the
    // program, which ends its process.
    DropPage(true);
    for (GuardedPage* page : findChildren<GuardedPage*>(Qt::FindDirectChildrenOnly)) {
        if (page->Held()) {
            page->setParent(nullptr);
            continue;
        }
        const qint64 pid = page->renderProcessPid();
        if (pid > 0 && !(options_.processInUse && options_.processInUse(pid))) {
            pageprocess::End(pid);
        }
    }
    if (assembler_) {
        assembly_->cancel = true;
        assembler_->wait(); // qpdf looks at the flag between parts and while writing
        delete assembler_;
    }
}

void SectionPrinter::Start(const QString& output) {
    if (started_) {
        return;
    }
    started_ = true;
    output_ = output;
    folder_ = std::make_unique<QTemporaryDir>(
        QDir(QDir::tempPath()).filePath(QStringLiteral("orvelle-section-XXXXXX")));
    if (!folder_->isValid()) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                Finish(Outcome::Failed, QStringLiteral("Не удалось создать временную папку: %1")
                                            .arg(folder_->errorString()));
            },
            Qt::QueuedConnection);
        return;
    }
    QMetaObject::invokeMethod(this, &SectionPrinter::RenderNext, Qt::QueuedConnection);
}

void SectionPrinter::Cancel() {
    if (!started_ || finished_) {
        return;
    }
    if (assembler_) {
        assembly_->cancel = true; // the assembler's end reports it
        return;
    }
    DropPage(true);
    Finish(Outcome::Cancelled, QString());
}

QString SectionPrinter::PartFile() const {
    return folder_->filePath(QStringLiteral("part-%1.pdf").arg(next_, 6, 10, QLatin1Char('0')));
}

void SectionPrinter::RenderNext() {
    if (finished_) {
        return;
    }
    if (next_ >= Total()) {
        Assemble();
        return;
    }
    emit Progress(next_, Total(), entries_[next_].title);
    QString html;
    try {
        html = source_(next_);
    } catch (const std::exception& error) {
        Skip(QString::fromUtf8(error.what()));
        return;
    }
    if (html.size() > kLargestDocument) {
        const qsizetype megabytes = html.size() >> 20;
        Skip(QStringLiteral("документ слишком велик: %1 МБ (предел %2 МБ)")
                 .arg(megabytes)
                 .arg(kLargestDocument >> 20));
        return;
    }
    ++generation_;
    const quint64 generation = generation_;
    documentSize_ = html.size();

    // The script that writes the document is made on a worker thread: turning megabytes into
    // a script would hold up the window.
    writeScript_.reset();
    stopScript_ = std::make_shared<std::atomic<bool>>(false);
    auto* made = new QFutureWatcher<QString>(this);
    connect(made, &QFutureWatcher<QString>::finished, this, [this, made, generation] {
        made->deleteLater();
        if (generation == generation_) {
            writeScript_ = made->result();
            WriteWhenReady();
        }
    });
    made->setFuture(QtConcurrent::run([html = std::move(html), generation, stop = stopScript_] {
        return scripts::WriteDocument(html, generation, false, stop.get());
    }));

    // The spare page brought up while the document before was printed, else a new one.
    pageReady_ = spare_ && spare_->HoldsDocument();
    page_ = spare_ ? spare_.data() : NewDocumentPage(this);
    spare_ = nullptr;
    connect(page_, &GuardedPage::DocumentReady, this, [this, generation] {
        if (generation == generation_) {
            pageReady_ = true;
            WriteWhenReady();
        }
    });
    connect(page_, &QWebEnginePage::renderProcessTerminated, this, [this, generation] {
        if (generation == generation_) {
            Skip(QStringLiteral("процесс страницы завершился"), false);
        }
    });
    limit_.start(options_.documentLimit);
    memory_.start();
    if (!pageReady_ && !page_->LoadStarted()) {
        page_->LoadEmptyDocument();
    }
}

void SectionPrinter::WriteWhenReady() {
    if (!page_ || !pageReady_ || !writeScript_) {
        return;
    }
    page_->MarkWritten(kMemoryPerCharacter * documentSize_);
    const QString script = std::move(*writeScript_);
    writeScript_.reset();
    QPointer<SectionPrinter> self(this);
    const quint64 generation = generation_;
    page_->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                         [self, generation](const QVariant& answer) {
                             if (self && generation == self->generation_ && self->page_) {
                                 self->WriteAnswered(answer);
                             }
                         });
}

void SectionPrinter::WriteAnswered(const QVariant& answer) {
    // Written at once, never in parts: the answer names the document, and nothing is pending.
    if (!answer.toMap().contains(QStringLiteral("name"))) {
        Skip(QStringLiteral("документ не удалось записать"));
        return;
    }
    Print();
}

void SectionPrinter::Print() {
    if (options_.zoom != 1.0) {
        page_->runJavaScript(ZoomScript(options_.zoom), QWebEngineScript::ApplicationWorld);
    }
    // The next document's page starts its process while this one prints.
    if (!spare_ && next_ + 1 < Total()) {
        spare_ = NewDocumentPage(this);
        spare_->LoadEmptyDocument();
    }
    // The page stays until the engine has answered, whatever happens to the document meanwhile:
    // a page process ended under a print takes the engine's helper processes down with it.
    QPointer<SectionPrinter> self(this);
    QPointer<GuardedPage> page(page_.data());
    const quint64 generation = generation_;
    page_->Hold();
    page_->printToPdf(
        [self, page, generation](const QByteArray& pdf) {
            if (page) {
                page->Release();
                if (!page->parent()) {
                    page->deleteLater(); // its printer went while it printed
                }
            }
            if (self && generation == self->generation_ && self->page_) {
                self->Printed(pdf);
            }
        },
        options_.layout);
}

void SectionPrinter::Printed(const QByteArray& pdf) {
    if (pdf.isEmpty()) {
        Skip(QStringLiteral("документ не удалось напечатать"));
        return;
    }
    const QString file = PartFile();
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(pdf) != pdf.size() || !out.flush()) {
        DropPage(false);
        Finish(Outcome::Failed,
               QStringLiteral("Не удалось записать %1: %2").arg(file, out.errorString()));
        return;
    }
    out.close();
    DropPage(false);
    AddPart(file);
}

void SectionPrinter::Skip(const QString& reason, bool endProcess) {
    if (finished_) {
        return;
    }
    DropPage(endProcess);
    const SectionEntry& entry = entries_[next_];
    notes_ << QStringLiteral("«%1»: %2").arg(entry.title, reason);
    emit Skipped(next_, reason);
    const QString file = PartFile();
    if (!WriteNotePage(file, options_.layout, entry.title,
                       QStringLiteral("Документ пропущен: %1.").arg(reason))) {
        Finish(Outcome::Failed, QStringLiteral("Не удалось записать %1").arg(file));
        return;
    }
    AddPart(file);
}

void SectionPrinter::AddPart(const QString& file) {
    const SectionEntry& entry = entries_[next_];
    parts_.push_back({file, entry.title, entry.depth});
    ++next_;
    QMetaObject::invokeMethod(this, &SectionPrinter::RenderNext, Qt::QueuedConnection);
}

void SectionPrinter::WatchMemory() {
    if (!page_) {
        return;
    }
    const qint64 pid = page_->renderProcessPid();
    const qint64 limit = kMemoryLimit + page_->DocumentMemory();
    if (pageprocess::ResidentBytes(pid) > limit) {
        Skip(QStringLiteral("документ занял больше %1 МБ памяти").arg(limit >> 20));
    }
}

void SectionPrinter::DropPage(bool endProcess) {
    limit_.stop();
    memory_.stop();
    if (stopScript_) {
        *stopScript_ = true; // a script still being made is of no use now
    }
    writeScript_.reset();
    pageReady_ = false;
    ++generation_;
    GuardedPage* page = page_.data();
    page_ = nullptr;
    if (page) {
        page->disconnect(this);
        LetGo(page, endProcess);
    }
}

void SectionPrinter::LetGo(GuardedPage* page, bool endProcess) {
    if (page->Held()) {
        connect(
            page, &GuardedPage::Released, this,
            [this, page, endProcess] { LetGo(page, endProcess); }, Qt::SingleShotConnection);
        QTimer::singleShot(kPrintAnswerLimitMs, page, [page] {
            while (page->Held()) {
                page->Release();
            }
        });
        return;
    }
    // A page stuck in a script would keep its process busy for ever: it ends with the page,
    // unless another page of the program lives in it.
    const qint64 pid = page->renderProcessPid();
    if (endProcess && pid > 0 && !(options_.processInUse && options_.processInUse(pid))) {
        pageprocess::End(pid);
    }
    page->deleteLater();
}

void SectionPrinter::Assemble() {
    emit Progress(Total(), Total(), QString());
    assembly_ = std::make_shared<Assembly>();
    auto assembly = assembly_;
    auto parts = parts_;
    const QString output = output_;
    assembler_ = QThread::create([assembly, parts, output] {
        try {
            AssemblePdf(parts, output, [assembly] { return assembly->cancel.load(); });
        } catch (const PdfAssemblyCancelled&) {
            assembly->cancelled = true;
        } catch (const std::exception& error) {
            assembly->error = QString::fromUtf8(error.what());
        }
    });
    connect(assembler_, &QThread::finished, this, [this] {
        assembler_->wait();
        delete assembler_;
        assembler_ = nullptr;
        if (assembly_->cancelled) {
            Finish(Outcome::Cancelled, QString());
        } else if (!assembly_->error.isEmpty()) {
            Finish(Outcome::Failed, assembly_->error);
        } else {
            Finish(Outcome::Written, QString());
        }
    });
    assembler_->start();
}

void SectionPrinter::Finish(Outcome outcome, const QString& message) {
    if (finished_) {
        return;
    }
    finished_ = true;
    delete spare_.data();
    folder_.reset(); // the parts go
    emit Finished(outcome, message);
}

} // namespace orvelle::viewer
