#pragma once

#include "store/LibraryCache.h"

#include <QObject>

#include <exception>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QToolButton;
class QWidget;

namespace orvelle::forms {

class LibraryLoader;

// A library made ready off the window's thread (LibraryLoader), the step that continues when it
// is, and the status bar's part that shows how far the copy is, with a cancel button.
class LibraryPreparation : public QObject {
    Q_OBJECT
public:
    // Gets the lease, or null and the failure; runs on the window's thread.
    using Step = std::function<void(const std::shared_ptr<const store::LibraryLease>& lease,
                                    const std::exception_ptr& failure)>;

    explicit LibraryPreparation(QWidget* parent);

    // The widget for the status bar: «Подготовка библиотеки: 412 из 1024 МБ» and "Отмена",
    // shown while a copy is under way.
    QWidget* Area() const { return area_; }

    // Makes `databaseName` ready, then runs `step` (its failures go to the error display). A
    // preparation still under way is cancelled, and its step dropped.
    void Then(const std::string& databaseName, Step step);
    // Stops the preparation under way and drops its step, as the cancel button does.
    void Cancel();
    bool Busy() const;

private:
    void ShowProgress(std::uint64_t done, std::uint64_t total);
    void Continue(const std::shared_ptr<const store::LibraryLease>& lease,
                  const std::exception_ptr& failure);

    LibraryLoader* loader_ = nullptr;
    Step step_;
    QWidget* area_ = nullptr;
    QLabel* label_ = nullptr;
    QToolButton* cancelButton_ = nullptr;
};

} // namespace orvelle::forms
