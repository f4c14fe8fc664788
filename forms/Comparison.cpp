#include "Comparison.h"

#include "ChangeMarks.h"
#include "ComparisonTree.h"
#include "ExportProcess.h"
#include "MarkedDocument.h"
#include "ProgressStrip.h"
#include "TOpenDialog.h"
#include "TitleFilter.h"
#include "UserDialogs.h"
#include "platform/NativeFileName.h"
#include "resources/Pictures.h"
#include "store/LibraryComparison.h"
#include "viewer/DocumentRender.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace orvelle::forms {

namespace {

// Exit codes of orvelle-export diff: 0 the same, 1 differences, 2 trouble.
constexpr int kExitDifferent = 1;

// The rows (from the top) that lead to `index`.
std::vector<int> RowsOf(QModelIndex index) {
    std::vector<int> rows;
    for (; index.isValid(); index = index.parent()) {
        rows.insert(rows.begin(), index.row());
    }
    return rows;
}

QModelIndex IndexOf(const QAbstractItemModel* model, const std::vector<int>& rows) {
    QModelIndex index;
    for (const int row : rows) {
        index = model->index(row, 0, index);
        if (!index.isValid()) {
            break;
        }
    }
    return index;
}

} // namespace

Comparison::Comparison(QWidget* window, QTreeWidget* tree, TitleFilter* filter, WindowHooks hooks)
    : QObject(window), window_(window), tree_(tree), filter_(filter), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("Comparison1"));
    run_ = new ExportProcess(this);
    documents_ = new ExportProcess(this);
    connect(run_, &ExportProcess::Finished, this, &Comparison::Finished);
    connect(run_, &ExportProcess::Failed, this, &Comparison::Failed);
    connect(run_, &ExportProcess::Progress, this, [this](qint64 done, qint64 total) {
        progress_->setRange(0, static_cast<int>(std::min<qint64>(total, 1 << 30)));
        progress_->setValue(static_cast<int>(std::min<qint64>(done, 1 << 30)));
    });
    connect(documents_, &ExportProcess::Finished, this, &Comparison::DocumentFinished);
    connect(documents_, &ExportProcess::Failed, this,
            [this](const QString& message) { state_->setText(message); });
    BuildActions(window);
    BuildBar();
    BuildStatusArea();
}

Comparison::~Comparison() {
    qDeleteAll(plainItems_);
}

void Comparison::BuildActions(QWidget* window) {
    start_ = new QAction(QIcon(resources::ComparePicture()),
                         QStringLiteral("Сравнить с другой версией…"), this);
    start_->setObjectName(QStringLiteral("CompareAction"));
    start_->setToolTip(QStringLiteral("Сравнить с другой версией библиотеки"));
    connect(start_, &QAction::triggered, this, &Comparison::Ask);
    close_ = new QAction(QStringLiteral("Закрыть сравнение"), this);
    close_->setObjectName(QStringLiteral("CloseComparisonAction"));
    close_->setEnabled(false);
    connect(close_, &QAction::triggered, this, &Comparison::Close);
    next_ = new QAction(QStringLiteral("Следующее изменение"), this);
    next_->setShortcut(QKeySequence(Qt::Key_F8));
    previous_ = new QAction(QStringLiteral("Предыдущее изменение"), this);
    previous_->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F8));
    for (QAction* action : {next_, previous_}) {
        action->setShortcutContext(Qt::WindowShortcut);
        action->setEnabled(false);
        window->addAction(action);
    }
    connect(next_, &QAction::triggered, this, &Comparison::NextChange);
    connect(previous_, &QAction::triggered, this, &Comparison::PreviousChange);
}

void Comparison::BuildBar() {
    bar_ = new QWidget(window_);
    bar_->setObjectName(QStringLiteral("ComparisonBar"));
    auto* column = new QVBoxLayout(bar_);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(2);
    auto* legend = new QLabel(ChangeLegend(), bar_); // our own text, no library's
    legend->setObjectName(QStringLiteral("ComparisonLegend"));
    legend->setTextFormat(Qt::RichText);
    legend->setWordWrap(true);
    auto* row = new QHBoxLayout;
    onlyChanges_ = new QCheckBox(QStringLiteral("только изменения"), bar_);
    onlyChanges_->setObjectName(QStringLiteral("OnlyChanges"));
    connect(onlyChanges_, &QCheckBox::toggled, this, [this](bool only) {
        if (!filter_) {
            return;
        }
        if (only) {
            filter_->SetEntryFilter([](const QTreeWidgetItem* item) {
                const auto* marked = dynamic_cast<const ComparisonTreeItem*>(item);
                return marked && marked->Changes() != 0;
            });
        } else {
            filter_->SetEntryFilter(nullptr);
        }
    });
    auto* closeButton = new QToolButton(bar_);
    closeButton->setObjectName(QStringLiteral("CloseComparison"));
    closeButton->setDefaultAction(close_);
    closeButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    row->addWidget(onlyChanges_);
    row->addStretch(1);
    row->addWidget(closeButton);
    column->addWidget(legend);
    column->addLayout(row);
    bar_->hide();
}

void Comparison::BuildStatusArea() {
    auto* strip =
        new ProgressStrip(QStringLiteral("ComparisonStatus"), QStringLiteral("Comparison"),
                          QStringLiteral("Остановить сравнение"), window_);
    statusArea_ = strip;
    summary_ = new QLabel(strip);
    summary_->setObjectName(QStringLiteral("ComparisonSummary"));
    summary_->setTextFormat(Qt::PlainText);
    strip->Row()->insertWidget(0, summary_);
    state_ = strip->State();
    progress_ = strip->Bar();
    cancel_ = strip->CancelButton();
    connect(cancel_, &QToolButton::clicked, this, &Comparison::Cancel);
    progress_->hide();
    cancel_->hide();
}

void Comparison::Ask() {
    const std::string current = hooks_.currentLibrary();
    if (current.empty()) {
        state_->setText(QStringLiteral("Нет открытой библиотеки, с которой можно сравнить"));
        return;
    }
    Dialogs().ChooseFileLater(
        window_, QString(),
        TOpenDialog::QtFilter(QStringLiteral("База данных|*.kvd|Все файлы|*.*")),
        [self = QPointer<Comparison>(this)](const QString& file) {
            if (self && !file.isEmpty()) {
                self->AskEdition(file);
            }
        });
}

void Comparison::AskEdition(const QString& file) {
    auto* question = new QMessageBox(
        QMessageBox::Question, QStringLiteral("Сравнить с другой версией"),
        QStringLiteral("Файл «%1» — это более старая или более новая редакция, чем открытая "
                       "библиотека?")
            .arg(file),
        QMessageBox::NoButton, window_);
    question->setObjectName(QStringLiteral("EditionQuestion"));
    question->setTextFormat(Qt::PlainText);
    question->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* older =
        question->addButton(QStringLiteral("Более старая"), QMessageBox::AcceptRole);
    QPushButton* newer =
        question->addButton(QStringLiteral("Более новая"), QMessageBox::AcceptRole);
    older->setObjectName(QStringLiteral("Older"));
    newer->setObjectName(QStringLiteral("Newer"));
    question->addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
    connect(question, &QMessageBox::buttonClicked, this,
            [this, file, older, newer](QAbstractButton* chosen) {
                if (chosen == older || chosen == newer) {
                    Start(file, chosen == older);
                }
            });
    question->open();
}

void Comparison::Start(const QString& otherFile, bool otherIsOlder) {
    Close();
    const QString current = platform::FromNativeFileName(hooks_.currentLibrary());
    currentIsOld_ = !otherIsOlder;
    oldFile_ = otherIsOlder ? otherFile : current;
    newFile_ = otherIsOlder ? current : otherFile;
    state_->setText(QStringLiteral("Сравнение…"));
    summary_->clear();
    progress_->setRange(0, 0);
    progress_->show();
    cancel_->show();
    run_->Start({QStringLiteral("diff"), oldFile_, newFile_, QStringLiteral("--tree"),
                 QStringLiteral("--progress")});
}

void Comparison::Cancel() {
    if (run_->Running()) {
        run_->Cancel();
        EndRun(QString());
        Q_EMIT Ended();
    }
}

bool Comparison::Running() const {
    return run_->Running();
}

void Comparison::EndRun(const QString& state) {
    progress_->hide();
    cancel_->hide();
    state_->setText(state);
}

void Comparison::Failed(const QString& message) {
    EndRun(QStringLiteral("Сравнение не удалось: %1").arg(message));
    Q_EMIT Ended();
}

void Comparison::Finished(int exitCode, const QByteArray& output, const QString& message) {
    if (exitCode > kExitDifferent) {
        Failed(message.isEmpty() ? QStringLiteral("код завершения %1").arg(exitCode) : message);
        return;
    }
    const std::optional<std::vector<ComparisonRow>> rows = ParseComparisonTree(output);
    if (!rows) {
        Failed(QStringLiteral("непонятный ответ программы сравнения"));
        return;
    }
    EndRun(QString());
    ShowTree(*rows);
    ShowSummary(*rows);
    Q_EMIT Shown();
}

void Comparison::KeepPlainTree() {
    const QAbstractItemModel* model = tree_->model();
    plainCurrent_ = RowsOf(tree_->currentIndex());
    plainExpanded_.clear();
    // Only open folders are walked into, so a large closed tree costs nothing here.
    std::vector<QModelIndex> open;
    for (int row = model->rowCount() - 1; row >= 0; --row) {
        open.push_back(model->index(row, 0));
    }
    while (!open.empty()) {
        const QModelIndex index = open.back();
        open.pop_back();
        if (!tree_->isExpanded(index)) {
            continue;
        }
        plainExpanded_.push_back(RowsOf(index));
        for (int row = model->rowCount(index) - 1; row >= 0; --row) {
            open.push_back(model->index(row, 0, index));
        }
    }
    plainItems_ = tree_->invisibleRootItem()->takeChildren();
}

void Comparison::RestorePlainTree() {
    const QList<QTreeWidgetItem*> marked = tree_->invisibleRootItem()->takeChildren();
    qDeleteAll(marked);
    tree_->addTopLevelItems(std::exchange(plainItems_, {}));
    const QAbstractItemModel* model = tree_->model();
    for (const std::vector<int>& rows : plainExpanded_) {
        tree_->setExpanded(IndexOf(model, rows), true);
    }
    if (!plainCurrent_.empty()) {
        const QModelIndex current = IndexOf(model, plainCurrent_);
        tree_->setCurrentIndex(current);
        tree_->scrollTo(current);
    }
    plainExpanded_.clear();
    plainCurrent_.clear();
}

void Comparison::ShowTree(const std::vector<ComparisonRow>& rows) {
    if (!tree_) {
        return;
    }
    KeepPlainTree();
    tree_->addTopLevelItems(
        MakeComparisonItems(rows, hooks_.folderPicture, hooks_.documentPicture));
    active_ = true;
    close_->setEnabled(true);
    bar_->show();
    if (filter_) {
        filter_->Apply(filter_->text());
    }
}

void Comparison::ShowSummary(const std::vector<ComparisonRow>& rows) {
    int added = 0;
    int changed = 0;
    int removed = 0;
    int renamed = 0;
    int moved = 0;
    for (const ComparisonRow& row : rows) {
        added += (row.changes & store::kAdded) != 0;
        changed += (row.changes & store::kChanged) != 0;
        removed += (row.changes & store::kRemoved) != 0;
        renamed += (row.changes & store::kRenamed) != 0;
        moved += (row.changes & store::kMoved) != 0;
    }
    summary_->setText(QStringLiteral("новых: %1, изменённых: %2, удалённых: %3, "
                                     "переименованных: %4, перемещённых: %5")
                          .arg(added)
                          .arg(changed)
                          .arg(removed)
                          .arg(renamed)
                          .arg(moved));
}

void Comparison::Close() {
    Cancel();
    documents_->Cancel();
    if (!active_) {
        return;
    }
    state_->clear();
    LeaveMarkedTree();
    if (tree_) {
        RestorePlainTree();
    }
    if (filter_) {
        filter_->Apply(filter_->text());
    }
}

void Comparison::Forget() {
    run_->Cancel();
    documents_->Cancel();
    EndRun(QString());
    qDeleteAll(std::exchange(plainItems_, {}));
    plainExpanded_.clear();
    plainCurrent_.clear();
    if (active_) {
        LeaveMarkedTree();
    }
}

void Comparison::LeaveMarkedTree() {
    active_ = false;
    close_->setEnabled(false);
    bar_->hide();
    summary_->clear();
    SetChangeCount(0);
    {
        const QSignalBlocker quiet(onlyChanges_);
        onlyChanges_->setChecked(false);
    }
    if (filter_) {
        filter_->SetEntryFilter(nullptr);
    }
}

bool Comparison::Holds(const QTreeWidgetItem* item) const {
    return active_ && dynamic_cast<const ComparisonTreeItem*>(item) != nullptr;
}

viewer::DocumentRender* Comparison::Open(QTreeWidgetItem* selected) {
    auto* item = dynamic_cast<ComparisonTreeItem*>(selected);
    if (!active_ || !item) {
        return nullptr;
    }
    documents_->Cancel();
    ++openings_;
    hooks_.opening(item);
    SetChangeCount(0);
    openedName_ = item->text(0);
    const ComparisonRow& row = item->Row();
    const auto content = [](const std::optional<std::int32_t>& id) {
        return id ? QString::number(*id) : QStringLiteral("-");
    };
    if (row.changes & store::kChanged) {
        markedTitle_ = item->text(0);
        markedPending_ = true;
        documents_->Start({QStringLiteral("diff"), oldFile_, newFile_, QStringLiteral("--contents"),
                           content(row.oldContent), content(row.newContent),
                           QStringLiteral("--words")});
        return nullptr;
    }
    // Removed entries are read in the old edition, every other in the new one.
    const bool inOld = (row.changes & store::kRemoved) != 0;
    if (inOld == currentIsOld_) {
        return Show(hooks_.readCurrent(item->Entry().idCONTENTS), openedName_, 0);
    }
    markedPending_ = false;
    documents_->Start({QStringLiteral("diff"), oldFile_, newFile_, QStringLiteral("--stored"),
                       inOld ? QStringLiteral("old") : QStringLiteral("new"),
                       QString::number(item->Entry().idCONTENTS)});
    return nullptr;
}

void Comparison::DocumentFinished(int exitCode, const QByteArray& output, const QString& message) {
    const bool marked = markedPending_;
    if (exitCode != 0 && !(marked && exitCode == kExitDifferent)) {
        state_->setText(message.isEmpty() ? QStringLiteral("Документ не прочитан") : message);
        return;
    }
    if (!marked) {
        Show(output.toStdString(), openedName_, 0);
        return;
    }
    const MarkedDocument document =
        MarkChanges(output, QStringLiteral("%1 — изменения").arg(markedTitle_));
    Show(document.html, openedName_, document.changes);
}

viewer::DocumentRender* Comparison::Show(const std::string& html, const QString& entryName,
                                         int changes) {
    viewer::DocumentRender* render = hooks_.show(html, entryName);
    if (render && changes > 0) {
        // The changes can be stepped through once they are all on the page, unless another
        // entry was opened meanwhile.
        const quint64 opening = openings_;
        connect(render, &viewer::DocumentRender::Finished, this, [this, opening, changes] {
            if (opening == openings_) {
                SetChangeCount(changes);
            }
        });
    }
    return render;
}

void Comparison::SetChangeCount(int count) {
    changeCount_ = count;
    currentChange_ = 0;
    next_->setEnabled(count > 0);
    previous_->setEnabled(count > 0);
}

void Comparison::Step(int by) {
    if (changeCount_ == 0) {
        return;
    }
    currentChange_ = currentChange_ == 0 && by < 0
                         ? changeCount_
                         : (currentChange_ - 1 + by + changeCount_) % changeCount_ + 1;
    hooks_.scrollTo(ChangeAnchor(currentChange_));
}

void Comparison::NextChange() {
    Step(1);
}

void Comparison::PreviousChange() {
    Step(-1);
}

} // namespace orvelle::forms
