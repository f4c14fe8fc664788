// The main window's comparison with another edition of its library: the toolbar button, the
// tree's menu items, the bar above the tree and the summary in the status bar.
#include "Unit2.h"

#include "Comparison.h"
#include "ComparisonMenuItems.h"
#include "DocumentHistory.h"
#include "ErrorDisplay.h"
#include "FindBar.h"
#include "PrintZoom.h"
#include "TitleFilter.h"
#include "ToolBarLook.h"
#include "Unit3.h"
#include "store/RegisterQueries.h"
#include "viewer/BrowserView.h"
#include "viewer/DocumentRender.h"

#include <QBoxLayout>
#include <QStatusBar>

namespace orvelle::forms {

void TForm2::BuildComparison() {
    Comparison::WindowHooks hooks;
    hooks.currentLibrary = [] {
        return CustomerData && CustomerData->IBDatabase1.Connected()
                   ? CustomerData->IBDatabase1.DatabaseName()
                   : std::string();
    };
    hooks.readCurrent = [](std::int32_t contentId) {
        return store::ReadDocumentContent(CustomerData->IBQuery1, contentId);
    };
    hooks.opening = [this](QTreeWidgetItem* item) {
        History1->DocumentOpened(item);
        FindBar1->DocumentChanged();
    };
    hooks.show = [this](const std::string& html, const QString& entryName) {
        viewer::DocumentRender* render = nullptr;
        Guarded([&] {
            render = RenderHtml(html, entryName);
            if (render && PrintZoom1) {
                connect(render, &viewer::DocumentRender::Finished, PrintZoom1, &PrintZoom::Apply);
            }
        });
        return render;
    };
    hooks.scrollTo = [this](const QString& anchor) {
        if (WebBrowser1) {
            WebBrowser1->ScrollToAnchor(anchor, this, [](viewer::BrowserView::ScrollOutcome) {});
        }
    };
    hooks.folderPicture = CustomerData->ImageList2.Picture(0);
    hooks.documentPicture = CustomerData->ImageList2.Picture(2);
    Comparison1 = new Comparison(this, TreeView1, TitleFilter1, std::move(hooks));

    ToolBar7 = MakeFlatToolBar(ControlBar1, "ToolBar7");
    ToolBar7->setFixedWidth(23);
    ToolButton17 = AddToolButton(ToolBar7, Comparison1->StartAction(), "ToolButton17");
    auto* band = static_cast<QBoxLayout*>(ControlBar1->layout());
    band->insertWidget(band->count() - 1, ToolBar7); // before the stretch
    AddComparisonMenuItems(TreeView1, *Comparison1);
    // Under the title filter, above the tree.
    auto* contents = static_cast<QBoxLayout*>(TitleFilter1->parentWidget()->layout());
    contents->insertWidget(contents->indexOf(TitleFilter1) + 1, Comparison1->Bar());
    StatusBar1->addPermanentWidget(Comparison1->StatusArea());
}

} // namespace orvelle::forms
