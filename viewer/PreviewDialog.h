#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QDialog>

class QComboBox;
class QLabel;
class QPdfDocument;
class QPdfView;
class QSpinBox;
class QToolButton;

namespace orvelle::viewer {

// The print preview: the pages as they will print, drawn from the engine's own PDF as they
// come into view, so a document of hundreds of pages opens at once. A bar above the pages goes
// to the first, previous, next and last page or to a page by its number, tells the page count
// ("из 12") and zooms (out, in, a choice of sizes, the page's width, the whole page); Page Up
// and Page Down scroll. "Печать..." accepts the dialog (the caller prints), "Закрыть" rejects it.
class PreviewDialog : public QDialog {
    Q_OBJECT
public:
    explicit PreviewDialog(const QByteArray& pdf, QWidget* parent = nullptr);
    ~PreviewDialog() override;

    int PageCount() const;
    // The page at the top of the view, from 0.
    int CurrentPage() const;
    void GoToPage(int page);
    // The zoom, 1.0 for the paper's own size.
    double Zoom() const;
    void SetZoom(double zoom);
    void ZoomIn();
    void ZoomOut();
    void FitWidth();
    void FitPage();

    QPdfView* View() const { return view_; }
    QLabel* PageCountLabel() const { return pageCount_; }

private:
    void BuildBar(QWidget* bar);
    void ShowPage(int page);
    void ShowZoom();

    QByteArray bytes_;
    QBuffer buffer_;
    QPdfDocument* document_ = nullptr;
    QPdfView* view_ = nullptr;
    QSpinBox* pageNumber_ = nullptr;
    QLabel* pageCount_ = nullptr;
    QComboBox* zoomChoice_ = nullptr;
};

} // namespace orvelle::viewer
