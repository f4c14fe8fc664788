#pragma once

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QProgressBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace orvelle::viewer {
class DocumentRender;
}

namespace orvelle::forms {

class ExportProcess;
class TitleFilter;
struct ComparisonRow;

// "Сравнить с другой версией…": the open library against another edition of it. The comparison
// runs in orvelle-export (a process of its own: it reads both libraries and parses documents'
// markup), reporting its progress in the status bar, where it can be cancelled. Then the tree
// shows the newer edition with every entry marked by what became of it and the removed ones
// greyed at their former places, a legend and «только изменения» above it and a summary in the
// status bar. A changed document is shown word by word (F8 and Shift+F8 go to the next and the
// previous change); others as they are stored in the edition the tree shows. Closing the
// comparison brings back the plain tree as it was.
class Comparison : public QObject {
    Q_OBJECT

public:
    // What the comparison needs of the window.
    struct WindowHooks {
        std::function<std::string()> currentLibrary; // as the client takes it; empty: none open
        std::function<std::string(std::int32_t contentId)> readCurrent; // a stored document of it
        std::function<void(QTreeWidgetItem*)> opening; // a document is about to be shown for it
        // Shows a document (Windows-1251) named after its entry; the render, or nullptr.
        std::function<viewer::DocumentRender*(const std::string& html, const QString& entryName)>
            show;
        std::function<void(const QString& anchor)> scrollTo;
        QPixmap folderPicture;
        QPixmap documentPicture;
    };

    Comparison(QWidget* window, QTreeWidget* tree, TitleFilter* filter, WindowHooks hooks);
    ~Comparison() override;

    QAction* StartAction() const { return start_; }
    QAction* CloseAction() const { return close_; }
    QAction* NextAction() const { return next_; }
    QAction* PreviousAction() const { return previous_; }
    // Legend, «только изменения» and a button that closes the comparison: above the tree.
    QWidget* Bar() const { return bar_; }
    // The summary, the run's state and progress with its cancel button: for the status bar.
    QWidget* StatusArea() const { return statusArea_; }
    QLabel* Summary() const { return summary_; }
    QLabel* State() const { return state_; }
    QCheckBox* OnlyChanges() const { return onlyChanges_; }
    QToolButton* CancelButton() const { return cancel_; }

    // Asks for the other edition's file, then whether it is the older or the newer one.
    void Ask();
    // Compares the open library with `otherFile`, which is the older edition or the newer one.
    void Start(const QString& otherFile, bool otherIsOlder);
    // Stops a comparison under way; the tree stays as it is.
    void Cancel();
    // Back to the plain tree.
    void Close();
    // The window's library is going: the plain tree kept aside goes too.
    void Forget();
    bool Running() const;
    bool Active() const { return active_; }

    // Whether `item` is an entry of the comparison's tree, whose document Open shows.
    bool Holds(const QTreeWidgetItem* item) const;
    // Shows the document of an entry of the comparison's tree. Gives the render when the
    // document is read from the open library; nullptr when orvelle-export reads or marks it
    // (the render starts when it is done) or nothing was shown.
    viewer::DocumentRender* Open(QTreeWidgetItem* item);
    void NextChange();
    void PreviousChange();

Q_SIGNALS:
    // The marked tree is in place.
    void Shown();
    // A run ended without a tree: failed (the state says why) or cancelled.
    void Ended();

private:
    void BuildActions(QWidget* window);
    // Whether `file` is the older or the newer edition; then compares.
    void AskEdition(const QString& file);
    void BuildBar();
    void BuildStatusArea();
    void Finished(int exitCode, const QByteArray& output, const QString& message);
    void Failed(const QString& message);
    void ShowTree(const std::vector<ComparisonRow>& rows);
    void ShowSummary(const std::vector<ComparisonRow>& rows);
    void DocumentFinished(int exitCode, const QByteArray& output, const QString& message);
    void SetChangeCount(int count);
    // Shows a document of the entry opened last; F8 and Shift+F8 step through its `changes`
    // once it is all on screen.
    viewer::DocumentRender* Show(const std::string& html, const QString& entryName, int changes);
    void KeepPlainTree();
    // The marks, the bar, the summary and the filter's narrowing go; the items stay.
    void LeaveMarkedTree();
    void RestorePlainTree();
    void EndRun(const QString& state);
    void Step(int by);

    QPointer<QWidget> window_;
    QPointer<QTreeWidget> tree_;
    QPointer<TitleFilter> filter_;
    WindowHooks hooks_;
    QAction* start_ = nullptr;
    QAction* close_ = nullptr;
    QAction* next_ = nullptr;
    QAction* previous_ = nullptr;
    QWidget* bar_ = nullptr;
    QCheckBox* onlyChanges_ = nullptr;
    QWidget* statusArea_ = nullptr;
    QLabel* summary_ = nullptr;
    QLabel* state_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QToolButton* cancel_ = nullptr;
    ExportProcess* run_ = nullptr;       // the comparison itself
    ExportProcess* documents_ = nullptr; // one document of it

    QString oldFile_;
    QString newFile_;
    bool currentIsOld_ = false;
    bool active_ = false;
    // The plain tree while the comparison's is shown, with where it stood.
    QList<QTreeWidgetItem*> plainItems_;
    std::vector<std::vector<int>> plainExpanded_; // rows from the top of each open folder
    std::vector<int> plainCurrent_;
    QString markedTitle_;
    QString openedName_;         // the entry whose document is under way
    quint64 openings_ = 0;       // counts Open calls: a render of an earlier one no longer counts
    bool markedPending_ = false; // the document under way is a changed one, word by word
    int changeCount_ = 0;
    int currentChange_ = 0;
};

} // namespace orvelle::forms
