// The real program, brought to one moment of its work for tst_leaving, which then ends it as a
// person or the system would and times how long it takes to go.
//
//   leaving_driver MOMENT REGISTRY_FILE
//
// It runs the program as main() does (the registry read from REGISTRY_FILE) and, once the
// window is up, brings it to MOMENT; there it prints one line on standard output,
//   READY <window id> <x> <y>
// with the screen position of the exit button. Moments: copy (the library being copied into
// the user's cache), write-4mb, write-10mb (a long document being written), script-loops (a
// document whose script never returns), preview (the print preview being laid out), indexing
// (the search index being built), comparing (a comparison with another edition running),
// section (a folder being saved as PDF, into "cache/section.pdf" beside REGISTRY_FILE); for
// copy, "NO COPY" when the library was ready at once. The start-up tree load is reached by the
// test itself, from outside (it says nothing here).
#include "app/Program.h"
#include "forms/Comparison.h"
#include "forms/RegisterTreeItem.h"
#include "forms/SearchPanel.h"
#include "forms/SectionCommands.h"
#include "forms/StartupSources.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"
#include "forms/UserDialogs.h"
#include "platform/ExitBound.h"
#include "platform/NativeFileName.h"
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
    if (moment == u"tree-load") {
        return; // the test finds it from outside
    }
    if (moment == u"copy") {
        // The status bar shows how far the library's copy into the cache is. The moment is taken
        // a while later, past the window's first frames: under Xvfb their GL set-up keeps the
        // window's thread busy for a second or more with a fresh shader cache, which is a
        // moment of its own.
        const auto* progress =
            forms::Form2->findChild<QWidget*>(QStringLiteral("LibraryPreparation"));
        When([progress] { return progress->isVisible() || !forms::Form2->LibraryPreparing(); },
             [progress] {
                 if (!progress->isVisible()) { // a file system that clones files at once
                     std::printf("NO COPY\n");
                     std::fflush(stdout);
                     return;
                 }
                 QTimer::singleShot(1500, qApp, SayReady);
             });
        return;
    }
    // The library is made ready after the window shows; the tree fills when it is.
    const auto libraryReady = [] { return !forms::Form2->LibraryPreparing(); };
    if (moment == u"indexing") {
        When([libraryReady] { return libraryReady() && forms::Form2->SearchPanel1->Indexing(); },
             SayReady);
        return;
    }
    if (moment == u"comparing") {
        // Taken as soon as it runs: a library compared with itself, its index current, can be
        // done within a tenth of a second on an idle machine.
        forms::Comparison& comparison = *forms::Form2->Comparison1;
        comparison.Start(
            platform::FromNativeFileName(forms::CustomerData->IBDatabase1.DatabaseName()), true);
        if (!comparison.Running()) {
            std::fprintf(stderr, "the comparison did not start\n");
            std::exit(3);
        }
        SayReady();
        return;
    }
    // The other moments come after the library's index is built, so that each is alone.
    When([libraryReady] { return libraryReady() && !forms::Form2->SearchPanel1->Indexing(); },
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
    // The exit bounded as the program's own main bounds it.
    return platform::RunThenBoundTheExit([&] {
        QApplication application(argc, argv);
        const QString moment = QString::fromLocal8Bit(argv[1]);
        forms::StartupSources::SetRegistryFile(QString::fromLocal8Bit(argv[2]));
        sectionOutput = QFileInfo(QString::fromLocal8Bit(argv[2]))
                            .dir()
                            .filePath(QStringLiteral("cache/section.pdf"));
        return app::RunProgram(application, [moment] { Reach(moment); });
    });
}
