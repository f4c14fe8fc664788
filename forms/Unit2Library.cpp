// The main window's libraries: made ready off the window's thread with their progress in the
// status bar, the step that waits for one going on when it is; a library that changes on disk
// while it is open is said so, and read again on request at the same entry.
#include "Unit2.h"

#include "LibraryChangeBar.h"
#include "LibraryPreparation.h"
#include "RegisterTreeItem.h"
#include "Unit3.h"
#include "platform/NativeFileName.h"

#include <QLayout>
#include <QStatusBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

namespace orvelle::forms {

void TForm2::BuildLibraryStatus() {
    preparation_ = new LibraryPreparation(this);
    StatusBar1->addPermanentWidget(preparation_->Area());
    changeBar_ = new LibraryChangeBar(
        [] { return CustomerData && CustomerData->library.ChangedOnDisk(); }, centralWidget());
    // Above the panes, under the toolbars.
    static_cast<QVBoxLayout*>(centralWidget()->layout())->insertWidget(1, changeBar_);
    connect(changeBar_, &LibraryChangeBar::ReloadRequested, this, [this] { ReloadLibrary(); });
}

bool TForm2::LibraryPreparing() const {
    return preparation_ && preparation_->Busy();
}

void TForm2::PrepareLibraryThen(const QString& fileName, PreparedStep step) {
    preparation_->Then(
        platform::NativeFileName(fileName),
        [this, step = std::move(step)](const std::shared_ptr<const store::LibraryLease>& lease,
                                       const std::exception_ptr& failure) {
            if (!CustomerData || !TreeView1) {
                return; // the exit command ran meanwhile
            }
            if (lease) {
                CustomerData->library.UsePrepared(lease);
            }
            step(failure);
        });
}

void TForm2::OpenDatabaseThen(const QString& fileName, std::function<void(bool opened)> then) {
    PrepareLibraryThen(fileName,
                       [this, fileName, then = std::move(then)](const std::exception_ptr& failure) {
                           then(!failure && OpenDatabase(fileName));
                       });
}

void TForm2::ReloadLibrary() {
    if (!CustomerData) {
        return;
    }
    const QString name = platform::FromNativeFileName(CustomerData->IBDatabase1.DatabaseName());
    const std::int32_t shown = shownEntry_;
    PrepareLibraryThen(name, [this, name, shown](const std::exception_ptr& failure) {
        if (failure) {
            std::rethrow_exception(failure); // the library shown stays, and so does the bar
        }
        try {
            CustomerData->library.Open(platform::NativeFileName(name));
        } catch (...) {
            ClearTree();
            throw;
        }
        ClearTree();
        LoadRegisterLevel(0, nullptr);
        changeBar_->Check();
        ShowEntryAgain(shown);
    });
}

// After a reload: the entry that was shown, as it is now; when it is gone, nothing of it.
void TForm2::ShowEntryAgain(std::int32_t id) {
    if (id < 0) {
        return;
    }
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it) {
        const auto* item = dynamic_cast<const RegisterTreeItem*>(*it);
        if (item && item->Entry().id == id) {
            OpenSearchHit(id, {});
            return;
        }
    }
    shownEntry_ = -1;
    RenderHtml(std::string());
    SetStatusPanelText(0, QString());
}

} // namespace orvelle::forms
