#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QPrinter;
class QProgressBar;
class QTemporaryDir;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace orvelle::viewer {
class BrowserView;
class PdfPrintJob;
class SectionPrinter;
} // namespace orvelle::viewer

namespace orvelle::forms {

// The tree's commands on whole sections and on one entry's document:
//  - «Печать раздела…»: a folder's page and every entry under it, in tree order, each from a
//    new page, on the printer chosen in the print dialog;
//  - «Сохранить как PDF…»: the same (or one document) into one PDF whose outline mirrors the tree;
//  - «Сохранить документ как…»: the entry's stored HTML as a UTF-8 file.
// Sections are written in the background, one document at a time (viewer/SectionPrinter), with
// their progress and a cancel button in the status bar; one section at a time. A section is
// stopped when the tree is cleared or another library is opened.
class SectionCommands : public QObject {
    Q_OBJECT
public:
    struct Context {
        QWidget* window;
        QTreeWidget* tree;
        viewer::BrowserView* view;    // its pages' processes are never ended by a section
        QPrinter* printer;            // the page setup and the printer of the print commands
        std::function<double()> zoom; // the documents' zoom on paper
    };

    SectionCommands(const Context& context, QObject* parent);
    ~SectionCommands() override;

    // The progress, its cancel button and the last outcome, for the status bar.
    QWidget* ProgressArea() const { return progressArea_; }
    QLabel* StateLabel() const { return state_; }

    void PrintSection(QTreeWidgetItem* item);
    void SaveAsPdf(QTreeWidgetItem* item);
    void SaveDocument(QTreeWidgetItem* item);
    void Cancel();
    bool Busy() const;
    // The printer sections are printed on (the print commands' own).
    QPrinter& Printer() const { return *context_.printer; }

    // A document's time to be written and laid out before it is skipped.
    void SetDocumentLimit(int milliseconds) { documentLimitMs_ = milliseconds; }

Q_SIGNALS:
    // A section ended: written (and printed) or not; `message` says what went wrong or what
    // was skipped.
    void SectionFinished(bool done, const QString& message);

private:
    struct Section;

    std::unique_ptr<Section> TakeSection(QTreeWidgetItem* item) const;
    void Start(std::unique_ptr<Section> section, const QString& output, bool print);
    void SectionWritten(bool print);
    // Ends the section under way; `why` is what the reader is told.
    void Stop(const QString& why, bool cancelled = false);
    // Shows how the section ended; a failure, or skipped documents, also in a message.
    void Report(bool done, const QString& message, bool cancelled = false);
    void ShowProgress(const QString& text, int done, int total);
    // The save-file dialog in the folder used last; `chosen` runs (guarded) with the file once
    // the reader has chosen one, unless the tree changed meanwhile.
    void ChooseSaveFile(const QString& caption, const QString& name, const QString& filter,
                        std::function<void(const QString& file)> chosen);

    Context context_;
    QPointer<QWidget> progressArea_;
    QLabel* state_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QToolButton* cancel_ = nullptr;
    std::unique_ptr<Section> section_;
    std::unique_ptr<QTemporaryDir> printFolder_;
    QPointer<viewer::SectionPrinter> writer_;
    QPointer<viewer::PdfPrintJob> printJob_;
    quint64 treeGeneration_ = 0; // counts clearings of the tree
    int documentLimitMs_ = 60000;
};

} // namespace orvelle::forms
