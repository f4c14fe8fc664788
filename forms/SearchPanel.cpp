#include "SearchPanel.h"

#include "ErrorDisplay.h"
#include "ProgressStrip.h"
#include "SearchResultDelegate.h"
#include "search/IndexLocation.h"
#include "search/IndexProcess.h"
#include "search/Searcher.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace orvelle::forms {

namespace {

// Why a document was left out of the index, as the panel's tooltip says it.
QString SkipReasonText(search::SkipReason reason) {
    switch (reason) {
    case search::SkipReason::TooLarge:
        return QStringLiteral("больше 64 МБ");
    case search::SkipReason::TooSlow:
        return QStringLiteral("читался слишком долго");
    case search::SkipReason::OutOfMemory:
        return QStringLiteral("требовал слишком много памяти");
    case search::SkipReason::Crashed:
        return QStringLiteral("останавливал индексатор");
    }
    return {};
}

constexpr int kTypingPauseMs = 250;
// While the index is built, the results are asked again at most this often as it grows.
constexpr int kLiveRefreshMs = 1000;
constexpr int kResultLimit = 50;
constexpr int IdRole = Qt::UserRole + 11;
constexpr int MatchesRole = Qt::UserRole + 12;

// A line of plain text above the results, hidden until there is something to say.
QLabel* MakeMessageLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->hide();
    return label;
}

} // namespace

SearchPanel::SearchPanel(QWidget* parent)
    : QWidget(parent), indexRoot_(search::DefaultIndexRoot()) {
    setObjectName(QStringLiteral("SearchPanel1"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(1, 1, 1, 1);
    column->setSpacing(2);

    SearchEdit = new QLineEdit(this);
    SearchEdit->setObjectName(QStringLiteral("SearchEdit1"));
    SearchEdit->setPlaceholderText(QStringLiteral("Слова или шифр"));
    SearchEdit->setClearButtonEnabled(true);
    column->addWidget(SearchEdit);

    summaryLabel_ = MakeMessageLabel(this, "SearchSummary");
    column->addWidget(summaryLabel_);
    failureLabel_ = MakeMessageLabel(this, "SearchFailure");
    column->addWidget(failureLabel_);

    ResultList = new QListWidget(this);
    ResultList->setObjectName(QStringLiteral("ResultList1"));
    ResultList->setItemDelegate(new SearchResultDelegate(ResultList));
    ResultList->setWordWrap(true);
    ResultList->setUniformItemSizes(false);
    ResultList->setResizeMode(QListView::Adjust); // snippets wrap anew at every width
    ResultList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ResultList->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    column->addWidget(ResultList, 1);

    typingPause_ = new QTimer(this);
    typingPause_->setSingleShot(true);
    typingPause_->setInterval(kTypingPauseMs);
    // Every handler runs guarded, as the window's own do.
    connect(typingPause_, &QTimer::timeout, this, [this] { Guarded([this] { SearchNow(); }); });
    connect(SearchEdit, &QLineEdit::textChanged, typingPause_, qOverload<>(&QTimer::start));
    liveRefresh_ = new QTimer(this);
    liveRefresh_->setSingleShot(true);
    liveRefresh_->setInterval(kLiveRefreshMs);
    connect(liveRefresh_, &QTimer::timeout, this, [this] { Guarded([this] { SearchNow(); }); });
    connect(SearchEdit, &QLineEdit::returnPressed, this, [this] {
        Guarded([this] {
            typingPause_->stop();
            SearchNow();
            Choose(ResultList->currentItem() ? ResultList->currentItem() : ResultList->item(0));
        });
    });
    const auto choose = [this](QListWidgetItem* item) { Guarded([this, item] { Choose(item); }); };
    connect(ResultList, &QListWidget::itemClicked, this, choose);
    connect(ResultList, &QListWidget::itemActivated, this, choose);

    BuildProgressArea();
}

SearchPanel::~SearchPanel() = default;

void SearchPanel::BuildProgressArea() {
    auto* strip = new ProgressStrip(QStringLiteral("SearchProgress"), QStringLiteral("Search"),
                                    QStringLiteral("Остановить построение индекса"), this);
    progressArea_ = strip;
    stateLabel_ = strip->State();
    progressBar_ = strip->Bar();
    cancelButton_ = strip->CancelButton();
    connect(cancelButton_, &QToolButton::clicked, this, [this] {
        Guarded([this] {
            if (builder_) {
                builder_->Cancel();
            }
        });
    });
    resumeButton_ = strip->AddButton(QStringLiteral("SearchResume"),
                                     QStringLiteral("Продолжить индексирование"),
                                     QStringLiteral("Проиндексировать остальные документы"));
    connect(resumeButton_, &QToolButton::clicked, this, [this] {
        Guarded([this] {
            if (place_ && !Indexing()) {
                StartBuild(false); // goes on from what the stopped build wrote
            }
        });
    });
    progressBar_->hide();
    cancelButton_->hide();
    resumeButton_->hide();
    stateLabel_->hide();
}

void SearchPanel::SetIndexRoot(const QString& root) {
    indexRoot_ = root;
}

void SearchPanel::OpenLibrary(const std::string& databaseName) {
    CloseLibrary();
    place_ =
        std::make_shared<search::IndexPlace>(search::ChooseIndexPlace(indexRoot_, databaseName));
    if (!place_->Usable()) {
        ShowState(QStringLiteral("Поиск недоступен: ") + place_->problem);
        return;
    }
    databaseName_ = databaseName;
    rebuilt_ = false;
    searcher_ = std::make_unique<search::Searcher>(place_->folder);
    StartBuild(false);
    if (!SearchEdit->text().trimmed().isEmpty()) {
        SearchNow();
    }
}

void SearchPanel::StartBuild(bool rebuild) {
    builder_ = std::make_unique<search::IndexProcess>(search::DefaultBuilderProgram(),
                                                      databaseName_, place_->folder);
    connect(builder_.get(), &search::IndexProcess::Progress, this,
            [this](int done, int total) { Guarded([&] { OnProgress(done, total); }); });
    connect(builder_.get(), &search::IndexProcess::Committed, this, [this] {
        if (!SearchEdit->text().trimmed().isEmpty() && !liveRefresh_->isActive()) {
            liveRefresh_->start(); // the results grow with the index
        }
    });
    connect(builder_.get(), &search::IndexProcess::Finished, this,
            [this](const search::BuildOutcome& outcome) { Guarded([&] { OnFinished(outcome); }); });
    connect(builder_.get(), &search::IndexProcess::Failed, this,
            [this](const QString& message, bool libraryUnreadable) {
                Guarded([&] { OnFailed(message, libraryUnreadable); });
            });
    builder_->SetRebuild(rebuild);
    ShowState(rebuild ? QStringLiteral("Индекс повреждён, строится заново…")
                      : QStringLiteral("Индексирование…"));
    progressBar_->setRange(0, 0);
    progressBar_->show();
    cancelButton_->show();
    resumeButton_->hide();
    builder_->Start();
}

void SearchPanel::CloseLibrary() {
    Retire();
    searcher_.reset();
    place_.reset();
    ResultList->clear();
    failureLabel_->hide();
    summaryLabel_->hide();
    liveRefresh_->stop();
    progressBar_->hide();
    cancelButton_->hide();
    resumeButton_->hide();
    ShowState(QString());
}

// The build of the library being closed is told to stop and left to end on its own thread,
// with its index folder, so the window never waits for it; nothing it reports is shown.
void SearchPanel::Retire() {
    if (!builder_) {
        return;
    }
    builder_->disconnect(this);
    builder_->Cancel();
    if (!builder_->Running()) {
        builder_.reset();
        return;
    }
    search::IndexProcess* builder = builder_.get();
    const auto drop = [this, builder] {
        // Later, not inside the builder's own signal.
        QMetaObject::invokeMethod(
            this,
            [this, builder] {
                std::erase_if(retiring_,
                              [builder](const Retiring& r) { return r.builder.get() == builder; });
            },
            Qt::QueuedConnection);
    };
    connect(builder, &search::IndexProcess::Finished, this, drop);
    connect(builder, &search::IndexProcess::Failed, this, drop);
    retiring_.push_back({std::move(builder_), place_});
}

bool SearchPanel::Indexing() const {
    return builder_ && builder_->Running();
}

bool SearchPanel::SearchPending() const {
    return typingPause_->isActive();
}

void SearchPanel::SearchNow() {
    liveRefresh_->stop();
    const QListWidgetItem* chosen = ResultList->currentItem();
    const std::int32_t chosenId = chosen ? chosen->data(IdRole).toInt() : 0;
    const int scrolled = ResultList->verticalScrollBar()->value();
    ResultList->clear();
    failureLabel_->hide();
    summaryLabel_->hide();
    const QString query = SearchEdit->text();
    if (!searcher_ || query.trimmed().isEmpty()) {
        return;
    }
    std::vector<search::SearchHit> hits;
    try {
        hits = searcher_->Search(query, {.limit = kResultLimit, .partialLastWord = true});
    } catch (const search::SearchError& error) {
        if (error.Damaged() && !Indexing() && !rebuilt_) {
            rebuilt_ = true;  // once per library: an index that stays damaged is reported
            StartBuild(true); // the results come when it is built
            return;
        }
        // Said where the results would be, so a failure never reads as "nothing found".
        failureLabel_->setText(QStringLiteral("Поиск не выполнен: ") +
                               QString::fromStdString(error.what()));
        failureLabel_->show();
        return;
    }
    ShowHits(hits);
    summaryLabel_->setText(Summary(query.trimmed()));
    summaryLabel_->show();
    // A refresh while the index grows keeps the reader's place.
    for (int row = 0; row < ResultList->count() && chosenId != 0; ++row) {
        if (ResultList->item(row)->data(IdRole).toInt() == chosenId) {
            ResultList->setCurrentRow(row);
            ResultList->verticalScrollBar()->setValue(scrolled);
        }
    }
}

void SearchPanel::ShowHits(const std::vector<search::SearchHit>& hits) {
    for (const search::SearchHit& hit : hits) {
        auto* item = new QListWidgetItem(ResultList);
        item->setData(SearchResultDelegate::NameRole, hit.name);
        item->setData(SearchResultDelegate::PathRole, hit.path);
        item->setData(SearchResultDelegate::SnippetRole, hit.snippet);
        item->setData(IdRole, hit.id);
        item->setData(MatchesRole, hit.matches);
        // Library text, shown as plain text even where a tooltip would read markup.
        item->setToolTip(Qt::convertFromPlainText(
            hit.path.isEmpty() ? hit.name : hit.path + QStringLiteral(" / ") + hit.name,
            Qt::WhiteSpaceNoWrap));
        // What a screen reader says: the name, then where it is and the words around the match.
        item->setData(Qt::AccessibleTextRole, hit.name);
        const QString snippet = QTextDocumentFragment::fromHtml(hit.snippet).toPlainText();
        item->setData(Qt::AccessibleDescriptionRole,
                      hit.path.isEmpty() ? snippet : hit.path + QStringLiteral(". ") + snippet);
    }
    if (ResultList->count() > 0) {
        ResultList->setCurrentRow(0);
    }
}

QString SearchPanel::Summary(const QString& query) {
    const search::SearchSummary& last = searcher_->LastSearch();
    if (!last.understood) {
        return QStringLiteral("Запрос не понят: напишите слова или шифр; фраза пишется в "
                              "кавычках, а «*» в конце слова находит слова с этим началом "
                              "(смет* — смета, сметный…)");
    }
    const QString found =
        last.exact ? QString::number(last.matches) : QStringLiteral("более %1").arg(last.matches);
    const bool complete = searcher_->Complete();
    if (Indexing() || !complete) {
        const int indexed = searcher_->DocumentCount();
        const QString going = Indexing() ? QStringLiteral("индексирование продолжается")
                                         : QStringLiteral("индексирование остановлено");
        if (indexed == 0) {
            return QStringLiteral("Индексирование…: документы ещё не проиндексированы");
        }
        if (last.matches == 0) {
            return QStringLiteral("Ничего не найдено по запросу «%1» в %2 проиндексированных "
                                  "документах; %3")
                .arg(query)
                .arg(indexed)
                .arg(going);
        }
        return QStringLiteral("Найдено в %1 из %2 проиндексированных документов; %3")
            .arg(found)
            .arg(indexed)
            .arg(going);
    }
    if (last.matches == 0) {
        return QStringLiteral("Ничего не найдено по запросу «%1»").arg(query);
    }
    QString text = QStringLiteral("Найдено документов: %1").arg(found);
    if (last.matches > kResultLimit) {
        text += QStringLiteral(", показаны первые %1").arg(kResultLimit);
    }
    return text;
}

void SearchPanel::Choose(QListWidgetItem* item) {
    if (!item) {
        return;
    }
    Q_EMIT OpenRequested(item->data(IdRole).toInt(), item->data(MatchesRole).toStringList());
}

void SearchPanel::OnProgress(int done, int total) {
    progressBar_->setRange(0, total);
    progressBar_->setValue(done);
    ShowState(QStringLiteral("Индексирование: %1 из %2").arg(done).arg(total));
}

QString SearchPanel::BuildNote(const search::BuildOutcome& outcome, const QString& placeProblem,
                               QString* details) {
    QStringList parts;
    if (!outcome.complete) {
        parts << QStringLiteral("Индексирование остановлено: поиск по части документов");
    }
    if (outcome.unreadable > 0) {
        parts << QStringLiteral("Не проиндексировано документов: %1").arg(outcome.unreadable);
    }
    if (!outcome.skipped.empty()) {
        parts << QStringLiteral("Пропущено документов: %1").arg(outcome.skipped.size());
    }
    if (!outcome.setAside.isEmpty()) {
        parts << QStringLiteral("Индекс был повреждён и построен заново");
    }
    if (!placeProblem.isEmpty()) {
        parts << placeProblem;
    }
    if (details) {
        details->clear();
        for (const search::SkippedDocument& skipped : outcome.skipped) {
            details->append(
                QStringLiteral("%1 (%2)\n").arg(skipped.name, SkipReasonText(skipped.reason)));
        }
    }
    for (qsizetype i = 1; i < parts.size(); ++i) {
        parts[i][0] = parts[i][0].toLower(); // one sentence: "…; индекс был повреждён…"
    }
    return parts.join(QStringLiteral("; "));
}

void SearchPanel::OnFinished(const search::BuildOutcome& outcome) {
    progressBar_->hide();
    cancelButton_->hide();
    if (!outcome.complete) {
        resumeButton_->show();
    }
    QString details;
    ShowState(BuildNote(outcome, place_->problem, &details), details);
    if (!SearchEdit->text().trimmed().isEmpty()) {
        SearchNow();
    }
    Q_EMIT IndexingEnded();
}

void SearchPanel::OnFailed(const QString& message, bool) {
    progressBar_->hide();
    cancelButton_->hide();
    ShowState(QStringLiteral("Индекс не построен: ") + message);
    Q_EMIT IndexingEnded();
}

void SearchPanel::ShowState(const QString& text, const QString& details) {
    stateLabel_->setText(text);
    const QString tip = details.isEmpty() ? text : text + QStringLiteral(":\n") + details.trimmed();
    stateLabel_->setToolTip(Qt::convertFromPlainText(tip, Qt::WhiteSpaceNoWrap));
    stateLabel_->setVisible(!text.isEmpty());
}

} // namespace orvelle::forms
