#include "SearchPanel.h"

#include "ErrorDisplay.h"
#include "SearchResultDelegate.h"
#include "search/BackgroundBuilder.h"
#include "search/IndexLocation.h"
#include "search/Searcher.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace orvelle::forms {

namespace {

constexpr int kTypingPauseMs = 250;
constexpr int kResultLimit = 50;
constexpr int IdRole = Qt::UserRole + 11;
constexpr int MatchesRole = Qt::UserRole + 12;

// Name, folders and snippet as rich text: the name and folders escaped, the snippet escaped
// already with only its highlight marks left as markup.
QString ResultHtml(const search::SearchHit& hit) {
    QString snippet = hit.snippet;
    snippet
        .replace(QStringLiteral("<mark>"),
                 QStringLiteral("<span style=\"background-color:#ffe873\">"))
        .replace(QStringLiteral("</mark>"), QStringLiteral("</span>"));
    QString html = QStringLiteral("<b>%1</b>").arg(hit.name.toHtmlEscaped());
    if (!hit.path.isEmpty()) {
        html += QStringLiteral("<br><span style=\"color:#707070\">%1</span>")
                    .arg(hit.path.toHtmlEscaped());
    }
    if (!snippet.isEmpty()) {
        html += QStringLiteral("<br>") + snippet;
    }
    return html;
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

    failureLabel_ = new QLabel(this);
    failureLabel_->setObjectName(QStringLiteral("SearchFailure"));
    failureLabel_->setTextFormat(Qt::PlainText);
    failureLabel_->setWordWrap(true);
    failureLabel_->hide();
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
    progressArea_ = new QWidget(this);
    progressArea_->setObjectName(QStringLiteral("SearchProgress"));
    auto* row = new QHBoxLayout(progressArea_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    stateLabel_ = new QLabel(progressArea_);
    stateLabel_->setObjectName(QStringLiteral("SearchState"));
    stateLabel_->setTextFormat(Qt::PlainText);
    progressBar_ = new QProgressBar(progressArea_);
    progressBar_->setObjectName(QStringLiteral("SearchProgressBar"));
    progressBar_->setFixedSize(120, 15);
    progressBar_->setTextVisible(false);
    cancelButton_ = new QToolButton(progressArea_);
    cancelButton_->setObjectName(QStringLiteral("SearchCancel"));
    cancelButton_->setText(QStringLiteral("Отмена"));
    cancelButton_->setToolTip(QStringLiteral("Остановить построение индекса"));
    cancelButton_->setFixedHeight(17);
    connect(cancelButton_, &QToolButton::clicked, this, [this] {
        Guarded([this] {
            if (builder_) {
                builder_->Cancel();
            }
        });
    });
    row->addWidget(stateLabel_);
    row->addWidget(progressBar_);
    row->addWidget(cancelButton_);
    progressBar_->hide();
    cancelButton_->hide();
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
    searcher_ = std::make_unique<search::Searcher>(place_->folder);
    builder_ = std::make_unique<search::BackgroundBuilder>(databaseName, place_->folder);
    connect(builder_.get(), &search::BackgroundBuilder::Progress, this,
            [this](int done, int total) { Guarded([&] { OnProgress(done, total); }); });
    connect(builder_.get(), &search::BackgroundBuilder::Finished, this,
            [this](const search::BuildOutcome& outcome) { Guarded([&] { OnFinished(outcome); }); });
    connect(builder_.get(), &search::BackgroundBuilder::Failed, this,
            [this](const QString& message) { Guarded([&] { OnFailed(message); }); });
    ShowState(QStringLiteral("Индексирование…"));
    progressBar_->setRange(0, 0);
    progressBar_->show();
    cancelButton_->show();
    builder_->Start();
    if (!SearchEdit->text().trimmed().isEmpty()) {
        SearchNow();
    }
}

void SearchPanel::CloseLibrary() {
    Retire();
    searcher_.reset();
    place_.reset();
    ResultList->clear();
    failureLabel_->hide();
    progressBar_->hide();
    cancelButton_->hide();
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
    search::BackgroundBuilder* builder = builder_.get();
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
    connect(builder, &search::BackgroundBuilder::Finished, this, drop);
    connect(builder, &search::BackgroundBuilder::Failed, this, drop);
    retiring_.push_back({std::move(builder_), place_});
}

bool SearchPanel::Indexing() const {
    return builder_ && builder_->Running();
}

void SearchPanel::SearchNow() {
    ResultList->clear();
    failureLabel_->hide();
    const QString query = SearchEdit->text();
    if (!searcher_ || query.trimmed().isEmpty()) {
        return;
    }
    std::vector<search::SearchHit> hits;
    try {
        hits = searcher_->Search(query, {.limit = kResultLimit, .partialLastWord = true});
    } catch (const search::SearchError& error) {
        // Said where the results would be, so a failure never reads as "nothing found".
        failureLabel_->setText(QStringLiteral("Поиск не выполнен: ") +
                               QString::fromStdString(error.what()));
        failureLabel_->show();
        return;
    }
    for (const search::SearchHit& hit : hits) {
        auto* item = new QListWidgetItem(ResultList);
        item->setData(SearchResultDelegate::HtmlRole, ResultHtml(hit));
        item->setData(IdRole, hit.id);
        item->setData(MatchesRole, hit.matches);
        // Library text, shown as plain text even where a tooltip would read markup.
        item->setToolTip(Qt::convertFromPlainText(
            hit.path.isEmpty() ? hit.name : hit.path + QStringLiteral(" / ") + hit.name,
            Qt::WhiteSpaceNoWrap));
    }
    if (ResultList->count() > 0) {
        ResultList->setCurrentRow(0);
    }
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

void SearchPanel::OnFinished(const search::BuildOutcome& outcome) {
    progressBar_->hide();
    cancelButton_->hide();
    QString state;
    if (!outcome.complete) {
        state = QStringLiteral("Индексирование остановлено: поиск по части документов");
    }
    if (outcome.unreadable > 0) {
        state = QStringLiteral("Не проиндексировано документов: %1").arg(outcome.unreadable);
    }
    if (!place_->problem.isEmpty()) {
        state = state.isEmpty() ? place_->problem : state + QStringLiteral("; ") + place_->problem;
    }
    ShowState(state);
    if (!SearchEdit->text().trimmed().isEmpty()) {
        SearchNow();
    }
    Q_EMIT IndexingEnded();
}

void SearchPanel::OnFailed(const QString& message) {
    progressBar_->hide();
    cancelButton_->hide();
    ShowState(QStringLiteral("Индекс не построен: ") + message);
    Q_EMIT IndexingEnded();
}

void SearchPanel::ShowState(const QString& text) {
    stateLabel_->setText(text);
    stateLabel_->setToolTip(Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap));
    stateLabel_->setVisible(!text.isEmpty());
}

} // namespace orvelle::forms
