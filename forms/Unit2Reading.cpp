// The main window's reading aids: find in page, title filter, history, zoom, document menu.
#include "Unit2.h"

#include "BrowserContextMenu.h"
#include "DocumentHistory.h"
#include "FindBar.h"
#include "PrintZoom.h"
#include "TitleFilter.h"
#include "ToolBarLook.h"
#include "ZoomControl.h"
#include "viewer/BrowserView.h"

#include <QBoxLayout>
#include <QFrame>

namespace orvelle::forms {

void TForm2::BuildReadingAids() {
    FindBar1 = new FindBar(WebBrowser1, Panel2); // under the document
    Panel2->layout()->addWidget(FindBar1);

    TitleFilter1 = new TitleFilter(TreeView1, Panel1); // above the tree
    static_cast<QBoxLayout*>(Panel1->layout())->insertWidget(0, TitleFilter1);

    History1 =
        new DocumentHistory(this, TreeView1, WebBrowser1, [this] { return ShowSelectedEntry(); });
    ToolBar5 = MakeFlatToolBar(ControlBar1, "ToolBar5");
    ToolBar5->setFixedWidth(46);
    ToolButton13 = AddToolButton(ToolBar5, History1->BackAction(), "ToolButton13");
    ToolButton14 = AddToolButton(ToolBar5, History1->ForwardAction(), "ToolButton14");
    static_cast<QBoxLayout*>(ControlBar1->layout())->insertWidget(2, ToolBar5);

    Zoom1 = new ZoomControl(this, WebBrowser1);
    PrintZoom1 = new PrintZoom(this, WebBrowser1);
    connect(Zoom1, &ZoomControl::Changed, PrintZoom1, &PrintZoom::Apply);
    BrowserMenu1 =
        new BrowserContextMenu(WebBrowser1, {FindBar1->OpenAction(), [this] { N4Click(); },
                                             [this] { ToolButton2Click(); }});
}

} // namespace orvelle::forms
