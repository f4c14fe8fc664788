#include "SectionCommands.h"

#include "ErrorDisplay.h"
#include "ProgressStrip.h"
#include "ReadingSettings.h"
#include "RegisterTreeItem.h"
#include "Unit3.h"
#include "UserDialogs.h"
#include "platform/AnsiText.h"
#include "store/RegisterQueries.h"
#include "viewer/BrowserView.h"
#include "viewer/PdfPrintJob.h"
#include "viewer/SectionPrinter.h"

#include <QDir>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QWebEnginePage>

#include <stdexcept>

namespace orvelle::forms {

namespace {

const QString kLastFolderKey = QStringLiteral("Sections/LastFolder");

// A file name made of an entry's name: the characters no file system takes become "_".
QString FileNameFor(const QString& name, const QString& suffix) {
    QString base = name.simplified();
    for (QChar& c : base) {
        if (QStringLiteral("\\/:*?\"<>|").contains(c) || c.unicode() < 0x20) {
            c = u'_';
        }
    }
    return (base.isEmpty() ? QStringLiteral("document") : base.left(120)) + suffix;
}

const store::TUzel* EntryOf(const QTreeWidgetItem* item) {
    const auto* entry = dynamic_cast<const RegisterTreeItem*>(item);
    return entry ? &entry->Entry() : nullptr;
}

// Writes the stored document `contentId` into `file` as UTF-8 with a byte order mark: a browser
// reads the file as UTF-8 even where the document declares the Windows-1251 it was stored in.
void WriteDocumentAsUtf8(std::int32_t contentId, const QString& file) {
    if (!CustomerData) {
        return;
    }
    const QString html =
        platform::FromAnsi(store::ReadDocumentContent(CustomerData->IBQuery1, contentId));
    QSaveFile out(file);
    const QByteArray bytes = QByteArray("\xEF\xBB\xBF") + html.toUtf8();
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        throw std::runtime_error(QStringLiteral("Не удалось записать %1: %2")
                                     .arg(QDir::toNativeSeparators(file), out.errorString())
                                     .toStdString());
    }
}

} // namespace

// The entries of a section, in tree order, and where their documents are.
struct SectionCommands::Section {
    QString title;
    std::vector<viewer::SectionEntry> entries;
    std::vector<std::int32_t> contentIds;
    quint64 treeGeneration = 0;
};

SectionCommands::SectionCommands(const Context& context, QObject* parent)
    : QObject(parent), context_(context) {
    auto* strip = new ProgressStrip(QStringLiteral("SectionProgress"), QStringLiteral("Section"),
                                    QStringLiteral("Остановить печать раздела"), context.window);
    progressArea_ = strip;
    state_ = strip->State();
    bar_ = strip->Bar();
    cancel_ = strip->CancelButton();
    connect(cancel_, &QToolButton::clicked, this, &SectionCommands::Cancel);
    progressArea_->hide();

    // Documents are read from the library the tree shows: a section ends with that tree.
    const auto cleared = [this] {
        ++treeGeneration_;
        if (Busy()) {
            Stop(QStringLiteral("Библиотека закрыта, раздел остался недопечатанным"));
        }
    };
    connect(context.tree->model(), &QAbstractItemModel::modelReset, this, cleared);
    connect(context.tree->model(), &QAbstractItemModel::rowsRemoved, this, cleared);
}

SectionCommands::~SectionCommands() = default;

bool SectionCommands::Busy() const {
    return writer_ || printJob_;
}

std::unique_ptr<SectionCommands::Section>
SectionCommands::TakeSection(QTreeWidgetItem* item) const {
    auto section = std::make_unique<Section>();
    section->treeGeneration = treeGeneration_;
    // Depth first in tree order, without recursion: a register may be very deep.
    std::vector<std::pair<QTreeWidgetItem*, int>> stack{{item, 0}};
    while (!stack.empty()) {
        const auto [current, depth] = stack.back();
        stack.pop_back();
        if (const store::TUzel* entry = EntryOf(current)) {
            section->entries.push_back({platform::FromAnsi(entry->name), depth});
            section->contentIds.push_back(entry->idCONTENTS);
        }
        for (int i = current->childCount() - 1; i >= 0; --i) {
            stack.emplace_back(current->child(i), depth + 1);
        }
    }
    section->title = section->entries.empty() ? QString() : section->entries.front().title;
    return section;
}

void SectionCommands::ChooseSaveFile(const QString& caption, const QString& name,
                                     const QString& filter,
                                     std::function<void(const QString& file)> chosen) {
    const QString folder =
        ReadingSettings()
            .value(kLastFolderKey,
                   QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .toString();
    const quint64 generation = treeGeneration_;
    QPointer<SectionCommands> self(this);
    Dialogs().ChooseSaveFile(
        context_.window, caption, QDir(folder).filePath(name), filter,
        [self, generation, chosen = std::move(chosen)](const QString& file) {
            if (!self || file.isEmpty()) {
                return;
            }
            ReadingSettings().setValue(kLastFolderKey, QFileInfo(file).absolutePath());
            if (generation == self->treeGeneration_) { // else the tree changed meanwhile
                Guarded([&] { chosen(file); });
            }
        });
}

void SectionCommands::PrintSection(QTreeWidgetItem* item) {
    if (!EntryOf(item) || Busy()) {
        return;
    }
    auto section = std::make_shared<std::unique_ptr<Section>>(TakeSection(item));
    auto* dialog = new QPrintDialog(context_.printer, context_.window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, section] {
        if ((*section)->treeGeneration != treeGeneration_ || Busy()) {
            return; // the tree changed while the dialog was up
        }
        printFolder_ = std::make_unique<QTemporaryDir>(
            QDir(QDir::tempPath()).filePath(QStringLiteral("orvelle-print-XXXXXX")));
        Start(std::move(*section), printFolder_->filePath(QStringLiteral("section.pdf")), true);
    });
    dialog->open();
}

void SectionCommands::SaveAsPdf(QTreeWidgetItem* item) {
    if (!EntryOf(item) || Busy()) {
        return;
    }
    std::shared_ptr<Section> section = TakeSection(item);
    ChooseSaveFile(QStringLiteral("Сохранить как PDF"), FileNameFor(section->title, ".pdf"),
                   QStringLiteral("PDF (*.pdf)"), [this, section](const QString& file) {
                       if (!Busy()) {
                           Start(std::make_unique<Section>(std::move(*section)), file, false);
                       }
                   });
}

void SectionCommands::SaveDocument(QTreeWidgetItem* item) {
    const store::TUzel* entry = EntryOf(item);
    if (!entry) {
        return;
    }
    const std::int32_t contentId = entry->idCONTENTS;
    ChooseSaveFile(QStringLiteral("Сохранить документ как"),
                   FileNameFor(platform::FromAnsi(entry->name), ".html"),
                   QStringLiteral("HTML (*.html *.htm)"),
                   [contentId](const QString& file) { WriteDocumentAsUtf8(contentId, file); });
}

void SectionCommands::Start(std::unique_ptr<Section> section, const QString& output, bool print) {
    section_ = std::move(section);
    viewer::SectionPrinter::Options options;
    options.layout = context_.printer->pageLayout();
    options.zoom = context_.zoom ? context_.zoom() : 1.0;
    options.documentLimit = std::chrono::milliseconds(documentLimitMs_);
    options.processInUse = [view = QPointer<viewer::BrowserView>(context_.view)](qint64 pid) {
        if (view) {
            for (const QWebEnginePage* page : view->findChildren<QWebEnginePage*>()) {
                if (page->renderProcessPid() == pid) {
                    return true;
                }
            }
        }
        return false;
    };
    // Documents are read on the window's thread, one just before it is written: a short read.
    const auto source = [this](int index) {
        if (!CustomerData) {
            throw std::runtime_error("библиотека закрыта");
        }
        return platform::FromAnsi(
            store::ReadDocumentContent(CustomerData->IBQuery1, section_->contentIds[index]));
    };
    auto* writer = new viewer::SectionPrinter(section_->entries, source, options, this);
    writer_ = writer;
    connect(writer, &viewer::SectionPrinter::Progress, this,
            [this](int index, int total, const QString& title) {
                ShowProgress(
                    index < total
                        ? QStringLiteral("«%1»: %2 из %3").arg(title).arg(index + 1).arg(total)
                        : QStringLiteral("Сборка PDF…"),
                    index, total);
            });
    connect(writer, &viewer::SectionPrinter::Finished, this,
            [this, writer, print](viewer::SectionPrinter::Outcome outcome, const QString& message) {
                writer->deleteLater();
                if (outcome == viewer::SectionPrinter::Outcome::Written) {
                    SectionWritten(print);
                } else if (outcome == viewer::SectionPrinter::Outcome::Failed) {
                    Report(false, message);
                }
            });
    writer->Start(output);
}

void SectionCommands::SectionWritten(bool print) {
    if (!print) {
        Report(true, QString());
        return;
    }
    auto* job = new viewer::PdfPrintJob(printFolder_->filePath(QStringLiteral("section.pdf")),
                                        *context_.printer, this);
    printJob_ = job;
    connect(job, &viewer::PdfPrintJob::Progress, this, [this](int page, int pages) {
        ShowProgress(QStringLiteral("Печать: страница %1 из %2").arg(page + 1).arg(pages), page,
                     pages);
    });
    connect(job, &viewer::PdfPrintJob::Finished, this,
            [this, job](bool printed, const QString& message) {
                job->deleteLater();
                printFolder_.reset();
                Report(printed, message);
            });
    job->Start();
}

void SectionCommands::Cancel() {
    if (Busy()) {
        Stop(QStringLiteral("Отменено"), true);
    }
}

void SectionCommands::Stop(const QString& why, bool cancelled) {
    if (writer_) {
        writer_->disconnect(this);
        writer_->Cancel();
        writer_->deleteLater();
    }
    if (printJob_) {
        printJob_->disconnect(this);
        printJob_->Cancel();
        printJob_->deleteLater();
    }
    printFolder_.reset();
    Report(false, why, cancelled);
}

void SectionCommands::Report(bool done, const QString& message, bool cancelled) {
    QStringList lines;
    if (writer_) {
        lines = writer_->Notes();
    }
    const bool skipped = !lines.isEmpty();
    if (!message.isEmpty()) {
        lines.prepend(message);
    }
    writer_ = nullptr;
    printJob_ = nullptr;
    section_.reset();
    bar_->hide();
    cancel_->hide();
    state_->setText(!done ? message
                    : skipped ? QStringLiteral("Готово, пропущено документов: %1").arg(lines.size())
                              : QStringLiteral("Готово"));
    QTimer::singleShot(8000, this, [this] {
        if (!Busy() && progressArea_) {
            progressArea_->hide();
        }
    });
    if (done && skipped) {
        Dialogs().ShowMessage(context_.window, QStringLiteral("Раздел"),
                              QStringLiteral("Пропущены документы:\n") + lines.join(u'\n'),
                              UserDialogs::Icon::None);
    } else if (!done && !cancelled) {
        Dialogs().ShowMessage(context_.window, QStringLiteral("Раздел"), lines.join(u'\n'),
                              UserDialogs::Icon::Error);
    }
    emit SectionFinished(done, lines.join(u'\n'));
}

void SectionCommands::ShowProgress(const QString& text, int done, int total) {
    progressArea_->show();
    state_->setText(text);
    bar_->setRange(0, total);
    bar_->setValue(done);
    bar_->show();
    cancel_->show();
}

} // namespace orvelle::forms
