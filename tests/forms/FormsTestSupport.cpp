#include "FormsTestSupport.h"

#include "forms/RegisterTreeItem.h"
#include "forms/StartupSources.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"
#include "platform/ExitBound.h"
#include "viewer/BrowserView.h"
#include "viewer/PageQuestion.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <cstdio>
#include <exception>
#include <fstream>
#include <optional>

namespace formstest {

namespace forms = orvelle::forms;

RecordingDialogs::RecordingDialogs() {
    forms::SetDialogs(this);
}

RecordingDialogs::~RecordingDialogs() {
    forms::SetDialogs(nullptr);
}

QString RecordingDialogs::ChooseFile(QWidget*, const QString& initialDir, const QString& filter) {
    fileRequests.append({initialDir, filter});
    log << QStringLiteral("file");
    return answers.isEmpty() ? QString() : answers.takeFirst();
}

void RecordingDialogs::ShowMessage(QWidget*, const QString& caption, const QString& text,
                                   Icon icon) {
    messages.append({caption, text, icon});
    log << QStringLiteral("message: ") + text;
    if (onMessage) {
        onMessage();
    }
}

void RecordingDialogs::ChooseSaveFile(QWidget*, const QString&, const QString& suggested,
                                      const QString&,
                                      std::function<void(const QString& file)> chosen) {
    log << QStringLiteral("save: ") + suggested;
    const QString answer = saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    if (!answer.isEmpty()) {
        chosen(answer);
    }
}

CurrentDirectory::CurrentDirectory(const QString& folder) : saved_(QDir::currentPath()) {
    QDir::setCurrent(folder);
}

CurrentDirectory::~CurrentDirectory() {
    QDir::setCurrent(saved_);
}

std::string RegistryText(const std::string& valueLine, bool withKey) {
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    if (withKey) {
        text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanta\\Kelvadom]\r\n";
    } else {
        text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanta\\Other]\r\n";
    }
    if (!valueLine.empty()) {
        text += valueLine + "\r\n";
    }
    return text;
}

std::string PathValueLine(const std::string& path) {
    std::string escaped;
    for (char c : path) {
        if (c == '\\' || c == '"') {
            escaped += '\\';
        }
        escaped += c;
    }
    return "\"DataBasePath\"=\"" + escaped + "\"";
}

void UseRegistry(const std::string& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    forms::StartupSources::SetRegistryFile(QString::fromStdString(file));
}

void StartWith(const orvelle::fixtures::TempDir& folder, const std::string& library) {
    UseRegistry(folder.File("machine.reg"), RegistryText(PathValueLine(library)));
}

MainWindow::MainWindow() {
    forms::CustomerData = new forms::TCustomerData();
    forms::Form2 = new forms::TForm2();
    WaitForLibrary();
}

void WaitForLibrary() {
    if (!QTest::qWaitFor([] { return !forms::Form2 || !forms::Form2->LibraryPreparing(); },
                         60000)) {
        qWarning("A library is still being made ready after a minute");
    }
}

MainWindow::~MainWindow() {
    delete forms::Form2;
    delete forms::CustomerData;
    forms::Form2 = nullptr;
    forms::CustomerData = nullptr;
}

namespace {

void ListItem(QTreeWidgetItem* item, int depth, QStringList& lines) {
    if (!item) {
        return;
    }
    const auto* entry = dynamic_cast<forms::RegisterTreeItem*>(item);
    const QString kind =
        entry && entry->Entry().IsFolder() ? QStringLiteral("F") : QStringLiteral("D");
    lines << QString(qsizetype{depth} * 2, u' ') + kind + u' ' +
                 QString::number(entry ? entry->Entry().id : -1) + u' ' + item->text(0);
    for (int i = 0; i < item->childCount(); ++i) {
        ListItem(item->child(i), depth + 1, lines);
    }
}

bool Expanded(QTreeWidgetItem* item) {
    if (item->isExpanded()) {
        return true;
    }
    for (int i = 0; i < item->childCount(); ++i) {
        if (Expanded(item->child(i))) {
            return true;
        }
    }
    return false;
}

} // namespace

QStringList TreeListing() {
    QStringList lines;
    QTreeWidget* tree = forms::Form2->TreeView1;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        ListItem(tree->topLevelItem(i), 0, lines);
    }
    return lines;
}

QTreeWidgetItem* ItemById(std::int32_t id) {
    for (QTreeWidgetItemIterator it(forms::Form2->TreeView1); *it; ++it) {
        if (static_cast<forms::RegisterTreeItem*>(*it)->Entry().id == id) {
            return *it;
        }
    }
    return nullptr;
}

void ClickTreeItem(std::int32_t id) {
    QTreeWidgetItem* item = ItemById(id);
    QVERIFY(item);
    QTreeWidget* tree = forms::Form2->TreeView1;
    for (QTreeWidgetItem* up = item->parent(); up; up = up->parent()) {
        up->setExpanded(true);
    }
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    WaitForRender();
}

void WaitForRender() {
    const auto ended = [] {
        return !forms::Form2 || !forms::Form2->WebBrowser1 ||
               !forms::Form2->WebBrowser1->CurrentRender();
    };
    (void)QTest::qWaitFor(ended, 180000);
    QVERIFY2(ended(), "the render did not end within three minutes");
}

void ClickElement(orvelle::viewer::BrowserView& view, const QString& id, Qt::MouseButton button) {
    const QVariantList box =
        Eval(view, QStringLiteral("(function(){var r=document.getElementById('%1')"
                                  ".getBoundingClientRect();"
                                  "return [r.left+r.width/2,r.top+r.height/2];})()")
                       .arg(id))
            .toList();
    QCOMPARE(box.size(), 2);
    QTest::mouseClick(view.focusProxy(), button, {}, QPoint(box[0].toInt(), box[1].toInt()));
}

bool AnyExpanded() {
    QTreeWidget* tree = forms::Form2->TreeView1;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (Expanded(tree->topLevelItem(i))) {
            return true;
        }
    }
    return false;
}

QVariant Eval(orvelle::viewer::BrowserView& view, const QString& script) {
    std::optional<std::optional<QVariant>> result;
    QObject context;
    orvelle::viewer::AskPage(
        view.page(), script, std::chrono::seconds(30), &context,
        [&result](std::optional<QVariant> value) { result = std::move(value); });
    (void)QTest::qWaitFor([&result] { return result.has_value(); }, 35000);
    return result && *result ? **result : QVariant(QStringLiteral("<no answer>"));
}

QString Mark(orvelle::viewer::BrowserView& view) {
    return Eval(view, QStringLiteral("(function(){var m=document.getElementById('mark');"
                                     "return m?m.textContent:'';})()"))
        .toString();
}

int ScrollY(orvelle::viewer::BrowserView& view) {
    return Eval(view, QStringLiteral("window.scrollY")).toInt();
}

void Pump(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

int RunTestMain(const std::function<int()>& body) noexcept {
    return orvelle::platform::RunThenBoundTheExit([&] {
        try {
            return body();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "The test stopped: %s\n", error.what());
        } catch (...) {
            std::fprintf(stderr, "The test stopped on an unknown exception\n");
        }
        return 1;
    });
}

} // namespace formstest
