#include "LibraryPreparation.h"

#include "ErrorDisplay.h"
#include "LibraryLoader.h"
#include "store/PreparationText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace orvelle::forms {

LibraryPreparation::LibraryPreparation(QWidget* parent)
    : QObject(parent), loader_(new LibraryLoader(this)) {
    area_ = new QWidget(parent);
    area_->setObjectName(QStringLiteral("LibraryPreparation"));
    auto* row = new QHBoxLayout(area_);
    row->setContentsMargins(4, 0, 4, 0);
    label_ = new QLabel(area_);
    label_->setObjectName(QStringLiteral("LibraryPreparationText"));
    label_->setTextFormat(Qt::PlainText);
    cancelButton_ = new QToolButton(area_);
    cancelButton_->setObjectName(QStringLiteral("LibraryPreparationCancel"));
    cancelButton_->setText(QStringLiteral("Отмена"));
    cancelButton_->setToolTip(QStringLiteral("Не открывать эту библиотеку"));
    cancelButton_->setFixedHeight(17);
    row->addWidget(label_);
    row->addWidget(cancelButton_);
    area_->hide();
    connect(cancelButton_, &QToolButton::clicked, this, &LibraryPreparation::Cancel);
    connect(loader_, &LibraryLoader::Progress, this, &LibraryPreparation::ShowProgress);
    connect(loader_, &LibraryLoader::Ready, this,
            [this](const std::shared_ptr<const store::LibraryLease>& lease) {
                Continue(lease, nullptr);
            });
    connect(loader_, &LibraryLoader::Failed, this,
            [this](const std::exception_ptr& error) { Continue(nullptr, error); });
}

void LibraryPreparation::Then(const std::string& databaseName, Step step) {
    step_ = std::move(step);
    loader_->Start(databaseName);
}

void LibraryPreparation::Cancel() {
    loader_->Cancel();
    step_ = nullptr;
    area_->hide();
}

bool LibraryPreparation::Busy() const {
    return loader_->Busy();
}

void LibraryPreparation::ShowProgress(std::uint64_t done, std::uint64_t total) {
    label_->setText(QString::fromStdString(store::PreparationText(done, total)));
    area_->show();
}

void LibraryPreparation::Continue(const std::shared_ptr<const store::LibraryLease>& lease,
                                  const std::exception_ptr& failure) {
    area_->hide();
    if (const Step step = std::exchange(step_, nullptr)) {
        Guarded([&] { step(lease, failure); });
    }
}

} // namespace orvelle::forms
