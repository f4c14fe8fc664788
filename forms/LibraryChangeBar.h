#pragma once

#include <QFrame>

#include <functional>

class QTimer;

namespace orvelle::forms {

// A bar above the document that says, in plain words, that the open library's file has changed
// on disk since it was opened, and offers to read it again. It looks each second, and whenever
// asked, whether `changed` says so; it goes away once that says no more.
class LibraryChangeBar : public QFrame {
    Q_OBJECT
public:
    LibraryChangeBar(std::function<bool()> changed, QWidget* parent);

    // Looks now, shows or hides itself.
    void Check();

Q_SIGNALS:
    void ReloadRequested();

private:
    std::function<bool()> changed_;
    QTimer* timer_ = nullptr;
};

} // namespace orvelle::forms
