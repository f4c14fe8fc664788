// The real program, brought to one moment of its work for tst_leaving, which then ends it as a
// person or the system would and times how long it takes to go.
//
//   leaving_driver MOMENT REGISTRY_FILE
//
// It runs the program as main() does (the registry read from REGISTRY_FILE) and, once the
// window is up, brings it to MOMENT; there it prints one line on standard output,
//   READY <window id> <x> <y>
// with the screen position of the exit button. Moments: write-4mb, write-10mb (a long document
// being written), script-loops (a document whose script never returns), preview (the print
// preview being laid out), indexing (the search index being built), section (a folder being
// saved as PDF, into "cache/section.pdf" beside REGISTRY_FILE). The start-up tree load is
// reached by the test itself, from outside (it says nothing here).
#include "app/Program.h"
#include "forms/RegisterTreeItem.h"
#include "forms/SearchPanel.h"
#include "forms/SectionCommands.h"
#include "forms/StartupSources.h"
#include "forms/Unit2.h"
#include "forms/UserDialogs.h"
#include "viewer/DocumentRender.h"
#include "viewer/PrepareEngine.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <cstdio>

using namespace orvelle;

namespace {

// The register ids of the moments' documents in the test's library.
constexpr std::int32_t kFourMegabytes = 1;
constexpr std::int32_t kTenMegabytes = 2;
constexpr std::int32_t kLooping = 3;
constexpr std::int32_t kSection = 4;

QString sectionOutput;

// The save dialog answered with sectionOutput; nothing else is asked.
class SaveSection final : public forms::UserDialogs {
public:
    QString ChooseFile(QWidget*, const QString&, const QString&) override { return {}; }
    void ShowMessage(QWidget*, const QString&, const QString&, Icon) override {}
    void ChooseSaveFile(QWidget*, const QString&, const QString&, const QString&,
                        std::function<void(const QString&)> chosen) override {
        chosen(sectionOutput);
    }
};

void SayReady() {
    forms::TForm2& form = *forms::Form2;
    const QPoint exit = form.ToolButton12->mapToGlobal(form.ToolButton12->rect().center());
    std::printf("READY %llu %d %d\n", static_cast<unsigned long long>(form.winId()), exit.x(),
                exit.y());
    std::fflush(stdout);
}

QTreeWidgetItem* Find(std::int32_t id) {
    QTreeWidget* tree = forms::Form2->TreeView1;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        const auto* item = dynamic_cast<forms::RegisterTreeItem*>(*it);
        if (item && item->Entry().id == id) {
            return *it;
        }
    }
    std::fprintf(stderr, "no entry %d in the tree\n", id);
    std::exit(3);
}

viewer::DocumentRender* Open(std::int32_t id) {
    forms::Form2->TreeView1->setCurrentItem(Find(id));
    return forms::Form2->ShowSelectedEntry();
}

// Runs `then` once `condition` holds, looking every 20 ms, without waiting in between.
void When(const std::function<bool()>& condition, const std::function<void()>& then) {
    if (condition()) {
        then();
        return;
    }
    QTimer::singleShot(20, qApp, [condition, then] { When(condition, then); });
}

void Reach(const QString& moment) {
    if (moment == u"indexing") {
        When([] { return forms::Form2->SearchPanel1->Indexing(); }, SayReady);
        return;
    }
    // The other moments come after the library's index is built, so that each is alone.
    When([] { return !forms::Form2->SearchPanel1->Indexing(); },
         [moment] {
             if (moment == u"write-4mb" || moment == u"write-10mb") {
                 auto* render = Open(moment == u"write-4mb" ? kFourMegabytes : kTenMegabytes);
                 QObject::connect(render, &viewer::DocumentRender::Shown, qApp, SayReady);
             } else if (moment == u"script-loops") {
                 Open(kLooping);
                 QTimer::singleShot(500, qApp, SayReady);
             } else if (moment == u"preview") {
                 auto* render = Open(kFourMegabytes);
                 QObject::connect(render, &viewer::DocumentRender::Finished, qApp, [] {
                     forms::Form2->ToolButton2Click();
                     SayReady();
                 });
             } else if (moment == u"section") {
                 static SaveSection dialogs;
                 forms::SetDialogs(&dialogs);
                 forms::Form2->Sections1->SaveAsPdf(Find(kSection));
                 When(
                     [] {
                         return forms::Form2->Sections1->StateLabel()->text().contains(
                             QStringLiteral(": 3 из"));
                     },
                     SayReady);
             } else {
                 std::fprintf(stderr, "unknown moment\n");
                 std::exit(2);
             }
         });
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: leaving_driver MOMENT REGISTRY_FILE\n");
        return 2;
    }
    viewer::PrepareEngine();
    QApplication application(argc, argv);
    const QString moment = QString::fromLocal8Bit(argv[1]);
    forms::StartupSources::SetRegistryFile(QString::fromLocal8Bit(argv[2]));
    sectionOutput = QFileInfo(QString::fromLocal8Bit(argv[2]))
                        .dir()
                        .filePath(QStringLiteral("cache/section.pdf"));
    return app::RunProgram(application, [moment] { Reach(moment); });
}
