// The comparison with another edition in the window: asked for through the toolbar, run in
// orvelle-export, the marked tree with the removed entries at their places, «только изменения»,
// a changed document word by word, the others as stored, and back to the plain tree. Both ways
// round (the open library the newer or the older edition), and a file that is no library.
#include "FormsTestSupport.h"

#include "fixtures/Databases.h"
#include "fixtures/Editions.h"
#include "forms/ChangeMarks.h"
#include "forms/Comparison.h"
#include "forms/ComparisonTree.h"
#include "forms/TitleFilter.h"
#include "forms/Unit2.h"
#include "store/LibraryComparison.h"
#include "tools/export/OutputEscaping.h"
#include "viewer/BrowserView.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <memory>

using namespace orvelle;
using formstest::RecordingDialogs;

namespace {

forms::Comparison& Compare() {
    return *forms::Form2->Comparison1;
}

// Asks for a comparison with `file` through the toolbar button and answers the question.
void AskFor(RecordingDialogs& dialogs, const std::string& file, const char* edition) {
    dialogs.answers << QString::fromStdString(file);
    QTest::mouseClick(forms::Form2->ToolButton17, Qt::LeftButton);
    QMessageBox* question = nullptr;
    QTRY_VERIFY((question = forms::Form2->findChild<QMessageBox*>("EditionQuestion")));
    question->findChild<QPushButton*>(edition)->click();
}

// Each item of the tree as "depth id changes name", depth first.
QStringList MarkedListing() {
    QStringList lines;
    for (QTreeWidgetItemIterator it(forms::Form2->TreeView1); *it; ++it) {
        int depth = 0;
        for (QTreeWidgetItem* up = (*it)->parent(); up; up = up->parent()) {
            ++depth;
        }
        const auto* item = dynamic_cast<const forms::ComparisonTreeItem*>(*it);
        lines << QStringLiteral("%1 %2 %3 %4")
                     .arg(depth)
                     .arg(static_cast<const forms::RegisterTreeItem*>(*it)->Entry().id)
                     .arg(item ? static_cast<int>(item->Changes()) : -1)
                     .arg((*it)->text(0));
    }
    return lines;
}

QStringList ExpectedListing() {
    QStringList lines;
    const auto rows = forms::ParseComparisonTree(QByteArray(fixtures::EditionTree()));
    for (const forms::ComparisonRow& row : rows.value()) {
        lines << QStringLiteral("%1 %2 %3 %4")
                     .arg(row.depth)
                     .arg(row.id)
                     .arg(row.changes)
                     .arg(row.name);
    }
    return lines;
}

QString PageText() {
    return formstest::Eval(*forms::Form2->WebBrowser1, QStringLiteral("document.body.innerText"))
        .toString();
}

bool Shown(std::int32_t id) {
    QTreeWidgetItem* item = formstest::ItemById(id);
    return item && !item->isHidden();
}

} // namespace

class ComparisonTest : public QObject {
    Q_OBJECT

    fixtures::TempDir folder_;
    std::string old_, new_;
    std::unique_ptr<formstest::CurrentDirectory> cwd_;
    std::unique_ptr<RecordingDialogs> dialogs_;

private slots:
    void initTestCase() {
        old_ = folder_.File("old.kvd");
        new_ = folder_.File("new.kvd");
        fixtures::BuildEditions(old_, new_);
        fixtures::WriteFile(folder_.File("broken.kvd"), std::string(9000, 'x'));
        cwd_ =
            std::make_unique<formstest::CurrentDirectory>(QString::fromStdString(folder_.Path()));
    }
    void init() { dialogs_ = std::make_unique<RecordingDialogs>(); }
    void cleanup() { dialogs_.reset(); }
    void cleanupTestCase() { cwd_.reset(); }

    // A name or text goes through orvelle-export's escaping and comes back as it was, whatever
    // controls and separators it holds.
    void fieldsComeBackAsWritten_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("Cyrillic and ё") << QString::fromUtf8("Ёмкость: смета №1");
        QTest::newRow("tabs, breaks, backslashes") << QStringLiteral("a\tb\r\nc\\d\\n");
        QTest::newRow("terminal controls") << QStringLiteral("\x1b[2J\a\b\x7f");
        QTest::newRow("a NUL inside")
            << QString(QStringLiteral("before")).append(QChar(0)).append(u"after");
        QTest::newRow("C1 controls, line and paragraph separators")
            << QString::fromUtf8("\u0085 \u009b31m \u2028 \u2029");
        QTest::newRow("escapes as plain text") << QStringLiteral("\\x41 \\u0041");
    }
    void fieldsComeBackAsWritten() {
        QFETCH(QString, text);
        const std::string line = exporter::EscapeForLine(text.toStdString());
        QVERIFY(line.find_first_of("\t\n\r") == std::string::npos);
        QCOMPARE(forms::UnescapeField(QByteArrayView(line.data(), qsizetype(line.size()))), text);
    }

    void markedTreeDocumentsAndBack_data() {
        QTest::addColumn<bool>("openIsNew");
        QTest::newRow("the open library is the newer edition") << true;
        QTest::newRow("the open library is the older edition") << false;
    }
    void markedTreeDocumentsAndBack() {
        QFETCH(bool, openIsNew);
        formstest::StartWith(folder_, openIsNew ? new_ : old_);
        formstest::MainWindow window;
        forms::Form2->show();
        QVERIFY(QTest::qWaitForWindowExposed(forms::Form2));
        QTreeWidget* tree = forms::Form2->TreeView1;
        formstest::ItemById(openIsNew ? 6 : 4)->setExpanded(true);
        const QStringList plain = formstest::TreeListing();

        AskFor(*dialogs_, openIsNew ? old_ : new_, openIsNew ? "Older" : "Newer");
        QTRY_VERIFY_WITH_TIMEOUT(Compare().Active(), 60000);
        QCOMPARE(MarkedListing(), ExpectedListing());
        QCOMPARE(Compare().Summary()->text(),
                 QStringLiteral("новых: 3, изменённых: 3, удалённых: 5, переименованных: 2, "
                                "перемещённых: 2"));
        QVERIFY(Compare().Bar()->isVisibleTo(forms::Form2));
        const QTreeWidgetItem* removed = formstest::ItemById(16);
        QCOMPARE(removed->data(0, Qt::ForegroundRole).value<QColor>(),
                 forms::ChangeColour(store::kRemoved));
        QVERIFY(removed->data(0, Qt::ToolTipRole).toString().contains(QStringLiteral("удалён")));
        QVERIFY(formstest::ItemById(1)->font(0).bold()); // holds changes

        // Only the changes, with the folders that hold them.
        Compare().OnlyChanges()->setChecked(true);
        for (const std::int32_t id : {1, 12, 13, 16, 2, 15, 3, 31}) {
            QVERIFY2(Shown(id), qPrintable(QString::number(id)));
        }
        for (const std::int32_t id : {11, 14, 21}) {
            QVERIFY2(!Shown(id), qPrintable(QString::number(id)));
        }
        Compare().OnlyChanges()->setChecked(false);
        QVERIFY(Shown(11));

        // A changed document word by word, F8 to its change.
        formstest::ClickTreeItem(13);
        QTRY_COMPARE_WITH_TIMEOUT(forms::Form2->StatusPanelText(0),
                                  QStringLiteral("Расценки — изменения"), 30000);
        QCOMPARE(formstest::Eval(*forms::Form2->WebBrowser1,
                                 QStringLiteral("[...document.querySelectorAll('del,ins')]"
                                                ".map(e=>e.tagName+':'+e.textContent).join()"))
                     .toString(),
                 QStringLiteral("DEL:120,INS:135"));
        QTRY_VERIFY(Compare().NextAction()->isEnabled()); // once all of it is on the page
        QTest::keyClick(forms::Form2, Qt::Key_F8);
        // Entries whose text did not change as stored in the newer edition, removed ones in
        // the older: from the open library or through orvelle-export.
        const std::pair<std::int32_t, const char*> documents[] = {
            {14, "Текст без изменений жирный"},
            {16, "Этот документ отозван."},
            {61, "Новый лист."}};
        for (const auto& [id, text] : documents) {
            formstest::ClickTreeItem(id);
            QTRY_VERIFY2_WITH_TIMEOUT(PageText().contains(QString::fromUtf8(text)),
                                      qPrintable(PageText()), 30000);
        }
        QVERIFY(!Compare().NextAction()->isEnabled());

        // Closing the comparison brings the plain tree back as it was.
        QTest::mouseClick(Compare().Bar()->findChild<QToolButton*>("CloseComparison"),
                          Qt::LeftButton);
        QVERIFY(!Compare().Active());
        QCOMPARE(formstest::TreeListing(), plain);
        QVERIFY(formstest::ItemById(openIsNew ? 6 : 4)->isExpanded());
        QVERIFY(Compare().Summary()->text().isEmpty());
        QVERIFY(!Compare().Bar()->isVisibleTo(forms::Form2));
        QVERIFY(tree->actions().contains(Compare().StartAction()));
        QCOMPARE(dialogs_->messages.size(), 0);
    }

    void aFileThatIsNoLibrary() {
        formstest::StartWith(folder_, new_);
        formstest::MainWindow window;
        const QStringList plain = formstest::TreeListing();
        // Through the real file dialog: the click returns while it is up.
        dialogs_.reset();
        QTest::mouseClick(forms::Form2->ToolButton17, Qt::LeftButton);
        QFileDialog* chooser = nullptr;
        QTRY_VERIFY((chooser = forms::Form2->findChild<QFileDialog*>()));
        QVERIFY(chooser->isVisible());
        chooser->selectFile(QString::fromStdString(folder_.File("broken.kvd")));
        static_cast<QDialog*>(chooser)->accept();
        QMessageBox* question = nullptr;
        QTRY_VERIFY((question = forms::Form2->findChild<QMessageBox*>("EditionQuestion")));
        question->findChild<QPushButton*>("Older")->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            Compare().State()->text().startsWith(QStringLiteral("Сравнение не удалось: ")), 60000);
        QVERIFY2(Compare().State()->text().contains(QStringLiteral("broken.kvd")),
                 qPrintable(Compare().State()->text()));
        QVERIFY(!Compare().Active());
        QCOMPARE(formstest::TreeListing(), plain);
    }
};

FORMS_TEST_MAIN(ComparisonTest)
#include "tst_comparison.moc"
