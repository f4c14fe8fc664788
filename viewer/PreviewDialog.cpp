#include "PreviewDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace orvelle::viewer {

namespace {

constexpr std::array<double, 9> kZoomSteps = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0};
// The entries of the zoom choice that are not a size.
constexpr int kFitWidthChoice = 0;
constexpr int kFitPageChoice = 1;

QToolButton* BarButton(QWidget* bar, const QString& tip) {
    auto* button = new QToolButton(bar);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}

QToolButton* BarButton(QWidget* bar, QStyle::StandardPixmap picture, const QString& tip) {
    QToolButton* button = BarButton(bar, tip);
    button->setIcon(bar->style()->standardIcon(picture));
    return button;
}

QToolButton* BarButton(QWidget* bar, const QString& text, const QString& tip) {
    QToolButton* button = BarButton(bar, tip);
    button->setText(text);
    return button;
}

} // namespace

PreviewDialog::PreviewDialog(const QByteArray& pdf, QWidget* parent)
    : QDialog(parent), bytes_(pdf), buffer_(&bytes_) {
    setWindowTitle(QStringLiteral("Предварительный просмотр печати"));
    resize(800, 900);
    buffer_.open(QIODevice::ReadOnly);
    document_ = new QPdfDocument(this);
    document_->load(&buffer_);

    view_ = new QPdfView(this);
    view_->setObjectName(QStringLiteral("PreviewPages"));
    view_->setPageMode(QPdfView::PageMode::MultiPage);
    view_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    view_->setDocument(document_);

    auto* bar = new QWidget(this);
    BuildBar(bar);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Печать..."));
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
    buttons->button(QDialogButtonBox::Close)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar);
    layout->addWidget(view_, 1);
    layout->addWidget(buttons);

    connect(view_->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this,
            &PreviewDialog::ShowPage);
    connect(view_, &QPdfView::zoomFactorChanged, this, &PreviewDialog::ShowZoom);
    connect(view_, &QPdfView::zoomModeChanged, this, &PreviewDialog::ShowZoom);
    ShowPage(0);
    ShowZoom();
    view_->setFocus();
}

PreviewDialog::~PreviewDialog() {
    // The view lets go of the document, the document of the bytes it reads, before they go.
    view_->setDocument(nullptr);
    delete document_;
}

void PreviewDialog::BuildBar(QWidget* bar) {
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    auto* first = BarButton(bar, QStyle::SP_MediaSkipBackward, QStringLiteral("Первая страница"));
    auto* previous =
        BarButton(bar, QStyle::SP_ArrowBack, QStringLiteral("Предыдущая страница (Page Up)"));
    auto* next =
        BarButton(bar, QStyle::SP_ArrowForward, QStringLiteral("Следующая страница (Page Down)"));
    auto* last = BarButton(bar, QStyle::SP_MediaSkipForward, QStringLiteral("Последняя страница"));
    pageNumber_ = new QSpinBox(bar);
    pageNumber_->setObjectName(QStringLiteral("PreviewPageNumber"));
    pageNumber_->setRange(1, std::max(1, PageCount()));
    pageNumber_->setKeyboardTracking(false);
    pageNumber_->setToolTip(QStringLiteral("Страница"));
    pageCount_ = new QLabel(QStringLiteral("из %1").arg(PageCount()), bar);
    pageCount_->setObjectName(QStringLiteral("PreviewPageCount"));
    auto* zoomOut = BarButton(bar, QStringLiteral("−"), QStringLiteral("Уменьшить"));
    auto* zoomIn = BarButton(bar, QStringLiteral("+"), QStringLiteral("Увеличить"));
    zoomChoice_ = new QComboBox(bar);
    zoomChoice_->setObjectName(QStringLiteral("PreviewZoom"));
    zoomChoice_->setEditable(false);
    zoomChoice_->addItem(QStringLiteral("По ширине"));
    zoomChoice_->addItem(QStringLiteral("Страница целиком"));
    for (const double step : kZoomSteps) {
        zoomChoice_->addItem(QStringLiteral("%1 %").arg(qRound(step * 100)), step);
    }

    for (QWidget* widget :
         std::initializer_list<QWidget*>{first, previous, pageNumber_, pageCount_, next, last}) {
        row->addWidget(widget);
    }
    row->addSpacing(16);
    row->addWidget(zoomOut);
    row->addWidget(zoomChoice_);
    row->addWidget(zoomIn);
    row->addStretch(1);

    connect(first, &QToolButton::clicked, this, [this] { GoToPage(0); });
    connect(previous, &QToolButton::clicked, this, [this] { GoToPage(CurrentPage() - 1); });
    connect(next, &QToolButton::clicked, this, [this] { GoToPage(CurrentPage() + 1); });
    connect(last, &QToolButton::clicked, this, [this] { GoToPage(PageCount() - 1); });
    connect(pageNumber_, &QSpinBox::valueChanged, this, [this](int number) {
        if (number - 1 != CurrentPage()) {
            GoToPage(number - 1);
        }
    });
    connect(zoomOut, &QToolButton::clicked, this, &PreviewDialog::ZoomOut);
    connect(zoomIn, &QToolButton::clicked, this, &PreviewDialog::ZoomIn);
    connect(zoomChoice_, &QComboBox::activated, this, [this](int index) {
        if (index == kFitWidthChoice) {
            FitWidth();
        } else if (index == kFitPageChoice) {
            FitPage();
        } else {
            SetZoom(zoomChoice_->itemData(index).toDouble());
        }
    });
}

int PreviewDialog::PageCount() const {
    return document_->pageCount();
}

int PreviewDialog::CurrentPage() const {
    return view_->pageNavigator()->currentPage();
}

void PreviewDialog::GoToPage(int page) {
    if (PageCount() == 0) {
        return;
    }
    page = std::clamp(page, 0, PageCount() - 1);
    view_->pageNavigator()->jump(page, QPointF(), view_->zoomFactor());
    ShowPage(page);
}

double PreviewDialog::Zoom() const {
    return view_->zoomFactor();
}

void PreviewDialog::SetZoom(double zoom) {
    // The view goes back to the top when its zoom changes: the page stays where it was.
    const int page = CurrentPage();
    view_->setZoomMode(QPdfView::ZoomMode::Custom);
    view_->setZoomFactor(std::clamp(zoom, kZoomSteps.front(), kZoomSteps.back()));
    GoToPage(page);
}

void PreviewDialog::ZoomIn() {
    const auto step = std::upper_bound(kZoomSteps.begin(), kZoomSteps.end(), Zoom() + 0.001);
    SetZoom(step == kZoomSteps.end() ? kZoomSteps.back() : *step);
}

void PreviewDialog::ZoomOut() {
    const auto step = std::lower_bound(kZoomSteps.begin(), kZoomSteps.end(), Zoom() - 0.001);
    SetZoom(step == kZoomSteps.begin() ? kZoomSteps.front() : *(step - 1));
}

void PreviewDialog::FitWidth() {
    const int page = CurrentPage();
    view_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    GoToPage(page);
}

void PreviewDialog::FitPage() {
    const int page = CurrentPage();
    view_->setZoomMode(QPdfView::ZoomMode::FitInView);
    GoToPage(page);
}

void PreviewDialog::ShowPage(int page) {
    const QSignalBlocker quiet(pageNumber_);
    pageNumber_->setValue(page + 1);
}

void PreviewDialog::ShowZoom() {
    const QSignalBlocker quiet(zoomChoice_);
    switch (view_->zoomMode()) {
    case QPdfView::ZoomMode::FitToWidth:
        zoomChoice_->setCurrentIndex(kFitWidthChoice);
        return;
    case QPdfView::ZoomMode::FitInView:
        zoomChoice_->setCurrentIndex(kFitPageChoice);
        return;
    default:
        break;
    }
    const int exact = zoomChoice_->findData(view_->zoomFactor());
    if (exact >= 0) {
        zoomChoice_->setCurrentIndex(exact);
    }
}

} // namespace orvelle::viewer
