#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QTimer;
class QToolButton;

namespace orvelle::search {
class IndexProcess;
class Searcher;
struct BuildOutcome;
struct SearchHit;
struct IndexPlace;
} // namespace orvelle::search

namespace orvelle::forms {

// Full-text search over the open library: a field, ranked results with name, folders and
// snippet, and the index build's progress (for the status bar) with a way to cancel it. The
// index is built in the background when a library is opened; results come while the user
// types, from whatever has been indexed so far.
class SearchPanel : public QWidget {
    Q_OBJECT
public:
    explicit SearchPanel(QWidget* parent = nullptr);
    ~SearchPanel() override;

    QLineEdit* SearchEdit = nullptr;
    QListWidget* ResultList = nullptr;

    // The progress bar, the cancel button and the index's state, for the status bar.
    QWidget* ProgressArea() const { return progressArea_; }
    QProgressBar* ProgressBar() const { return progressBar_; }
    QToolButton* CancelButton() const { return cancelButton_; }
    // Shown after a cancelled build: builds the rest.
    QToolButton* ResumeButton() const { return resumeButton_; }
    QLabel* StateLabel() const { return stateLabel_; }
    QLabel* SummaryLabel() const { return summaryLabel_; }

    // Where indexes are kept; the user's cache folder unless set otherwise.
    void SetIndexRoot(const QString& root);
    // Starts indexing the library (stopping the build of any other) and searches it from now
    // on. CloseLibrary stops the build without waiting for it; results go away.
    void OpenLibrary(const std::string& databaseName);
    void CloseLibrary();
    bool Indexing() const;

    // Runs the query in the field now (typing runs it after a short pause) and says what it
    // found above the results.
    void SearchNow();
    // True between a keystroke in the field and the search it leads to.
    bool SearchPending() const;

    // What the panel says once a build has ended, empty when all went well (`placeProblem`:
    // why the index is not where it is usually kept). `details` gets the documents left out,
    // a line each with the reason, for the tooltip.
    static QString BuildNote(const search::BuildOutcome& outcome, const QString& placeProblem,
                             QString* details);

Q_SIGNALS:
    // The user chose a result: the register id and the words to highlight in the document.
    void OpenRequested(std::int32_t id, const QStringList& matches);
    // A build ended (complete or not) or failed.
    void IndexingEnded();

private:
    void BuildProgressArea();
    // Builds the open library's index (`rebuild`: anew, the present one set aside).
    void StartBuild(bool rebuild);
    void OnProgress(int done, int total);
    void OnFinished(const search::BuildOutcome& outcome);
    void OnFailed(const QString& message, bool libraryUnreadable);
    void ShowState(const QString& text, const QString& details = QString());
    void ShowHits(const std::vector<search::SearchHit>& hits);
    // What the last search found, in words: how many, in how much of the library, or why the
    // query was not understood.
    QString Summary(const QString& query);
    void Choose(QListWidgetItem* item);
    void Retire();

    // A stopped build still ending, with the folder it writes to.
    struct Retiring {
        std::unique_ptr<search::IndexProcess> builder;
        std::shared_ptr<search::IndexPlace> place;
    };

    QString indexRoot_;
    std::string databaseName_;
    std::shared_ptr<search::IndexPlace> place_;
    std::unique_ptr<search::Searcher> searcher_;
    std::unique_ptr<search::IndexProcess> builder_;
    bool rebuilt_ = false;           // the open library's index was found damaged and built anew
    std::vector<Retiring> retiring_; // destroyed (waited for) with the panel at the latest
    QTimer* typingPause_ = nullptr;
    QTimer* liveRefresh_ = nullptr;  // a search again after the growing index was committed
    QLabel* summaryLabel_ = nullptr; // what the last search found
    QLabel* failureLabel_ = nullptr; // why the last search failed; hidden otherwise
    QWidget* progressArea_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QToolButton* cancelButton_ = nullptr;
    QToolButton* resumeButton_ = nullptr;
    QLabel* stateLabel_ = nullptr;
};

} // namespace orvelle::forms
