// The main window as it opens with no database, and the application's error display.
#include "FormsTestSupport.h"

#include "app/StartupFailure.h"
#include "db/Errors.h"
#include "forms/ErrorDisplay.h"
#include "forms/RegisterTreeItem.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"
#include "viewer/BrowserView.h"
#include "viewer/PrepareEngine.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>
#include <stdexcept>

using namespace orvelle;
using formstest::RecordingDialogs;

namespace {

QImage Normalised(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    fixtures::TempDir folder_;
    std::unique_ptr<formstest::CurrentDirectory> cwd_;
    std::unique_ptr<RecordingDialogs> dialogs_;
    std::unique_ptr<formstest::MainWindow> window_;

private slots:
    void initTestCase() {
        cwd_ = std::make_unique<formstest::CurrentDirectory>(
            QString::fromStdU16String(folder_.Path().u16string()));
        formstest::UseRegistry(folder_.File("machine.reg"), formstest::RegistryText("", false));
        dialogs_ = std::make_unique<RecordingDialogs>();
        window_ = std::make_unique<formstest::MainWindow>();
        forms::Form2->showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(forms::Form2));
    }

    void cleanupTestCase() {
        window_.reset();
        dialogs_.reset();
        cwd_.reset();
    }

    void opensMaximisedWithItsCaptionAndEmptyPanes() {
        forms::TForm2& form = *forms::Form2;
        QCOMPARE(form.windowTitle(), QStringLiteral("Заголовок"));
        QVERIFY(form.isMaximized());
        // Restored, it takes its stored bounds.
        form.showNormal();
        QTRY_COMPARE(form.geometry(), QRect(401, 164, 744, 479));
        form.showMaximized();
        QTRY_VERIFY(form.isMaximized());
        QCOMPARE(form.TreeView1->topLevelItemCount(), 0);
        QCOMPARE(form.TreeView1->indentation(), 19);
        QVERIFY(form.WebBrowser1);
        QVERIFY(!form.WebBrowser1->HasDocument());
        QVERIFY(dialogs_->messages.isEmpty());
        QVERIFY(dialogs_->fileRequests.isEmpty());
        QVERIFY(!QFileInfo::exists(QStringLiteral("path.ini")));
    }

    void hasThreeEmptyStatusPanels() {
        forms::TForm2& form = *forms::Form2;
        const int widths[3] = {350, 250, 250};
        int lastRight = -1;
        for (int i = 0; i < 3; ++i) {
            auto* panel =
                form.StatusBar1->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
            QVERIFY(panel);
            QVERIFY(panel->isVisible());
            QCOMPARE(panel->width(), widths[i]);
            QVERIFY(panel->text().isEmpty());
            QCOMPARE(form.StatusPanelText(i), QString());
            QVERIFY(panel->x() > lastRight);
            lastRight = panel->geometry().right();
        }
    }

    void menuCaptionsAndOrder() {
        forms::TForm2& form = *forms::Form2;
        const QList<QAction*> top = form.MainMenu1->actions();
        QCOMPARE(top.size(), 2);
        QCOMPARE(top[0]->text(), QStringLiteral("Файл"));
        QCOMPARE(top[1]->text(), QStringLiteral("Помощь"));
        QCOMPARE(top[0]->menu(), form.N1);
        QCOMPARE(top[1]->menu(), form.N7);

        const QList<QAction*> file = form.N1->actions();
        const QStringList expected = {
            QStringLiteral("Открыть файл базы данных"), QString(), QStringLiteral("Печать"),
            QStringLiteral("Настройка печати"),         QString(), QStringLiteral("Выход")};
        QCOMPARE(file.size(), expected.size());
        for (int i = 0; i < file.size(); ++i) {
            QCOMPARE(file[i]->isSeparator(), expected[i].isEmpty());
            QCOMPARE(file[i]->text(), expected[i]);
        }
        QCOMPARE(file[0], form.N3);
        QCOMPARE(file[1], form.N8);
        QCOMPARE(file[2], form.N4);
        QCOMPARE(file[3], form.N9);
        QCOMPARE(file[4], form.N5);
        QCOMPARE(file[5], form.N6);

        const QList<QAction*> help = form.N7->actions();
        QCOMPARE(help.size(), 1);
        QCOMPARE(help[0], form.N10);
        QCOMPARE(help[0]->text(), QStringLiteral("О программе"));

        for (QAction* action : file + help) {
            QVERIFY(action->isEnabled());
            QVERIFY(action->shortcut().isEmpty());
            QVERIFY(!action->text().contains(u'&'));
        }
        QVERIFY(!form.N3->isIconVisibleInMenu());
    }

    void toolbarButtons() {
        forms::TForm2& form = *forms::Form2;
        struct Expected {
            QToolButton* button;
            QString tip;
            int image;
        };
        const Expected buttons[] = {
            {form.ToolButton11, QString(), 8},
            {form.ToolButton12, QStringLiteral("Выход"), 9},
            {form.ToolButton7, QStringLiteral("Печать"), 4},
            {form.ToolButton8, QStringLiteral("Предварительный просмотр печати"), 6},
        };
        const forms::TImageList& images = forms::CustomerData->ImageList2;
        QCOMPARE(images.Count(), 10);
        for (const Expected& e : buttons) {
            QVERIFY(e.button);
            QCOMPARE(e.button->toolTip(), e.tip);
            QCOMPARE(e.button->property("imageIndex").toInt(), e.image);
            QCOMPARE(e.button->toolButtonStyle(), Qt::ToolButtonIconOnly);
            QVERIFY(e.button->isEnabled());
            QCOMPARE(Normalised(e.button->icon().pixmap(16, 16)),
                     Normalised(images.Picture(e.image)));
        }
        QCOMPARE(form.ToolButton11->parentWidget(), form.ToolBar3);
        QCOMPARE(form.ToolButton12->parentWidget(), form.ToolBar3);
        QCOMPARE(form.ToolButton7->parentWidget(), form.ToolBar4);
        QCOMPARE(form.ToolButton8->parentWidget(), form.ToolBar4);
        QVERIFY(form.ToolButton11->x() < form.ToolButton12->x());
        QVERIFY(form.ToolButton7->x() < form.ToolButton8->x());
        QVERIFY(form.ToolBar3->x() < form.ToolBar4->x());
        // The open button is the menu's own command.
        QCOMPARE(form.ToolButton11->defaultAction(), form.N3);
    }

    void errorDisplayAddsTheFullStopRule_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Database name is missing"
                                << "Database name is missing.";
        QTest::newRow("exclamation") << "x!"
                                     << "x!";
        QTest::newRow("full stop") << "x."
                                   << "x.";
        QTest::newRow("blank") << "x "
                               << "x ";
        QTest::newRow("digit") << "x1"
                               << "x1.";
        QTest::newRow("slash") << "x/"
                               << "x/.";
        QTest::newRow("comma") << "x,"
                               << "x,";
        QTest::newRow("empty") << ""
                               << "";
    }

    void errorDisplayAddsTheFullStopRule() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        dialogs_->messages.clear();
        const std::string bytes = message.toStdString();
        forms::Guarded([&] { throw db::EIBClientError(bytes); });
        QCOMPARE(dialogs_->messages.size(), 1);
        QCOMPARE(dialogs_->messages[0].caption, forms::ApplicationTitle());
        QCOMPARE(dialogs_->messages[0].text, shown);
        QCOMPARE(dialogs_->messages[0].icon, RecordingDialogs::Icon::Error);
    }

    void errorDisplayShowsDatabaseTextAndOtherErrors() {
        dialogs_->messages.clear();
        // Server texts are Windows-1251 bytes.
        forms::Guarded([] { throw db::EIBInterBaseError("\xCE\xF8\xE8\xE1\xEA\xE0"); });
        forms::Guarded([] { throw std::runtime_error("plain"); });
        bool after = false;
        forms::Guarded([&] { after = true; });
        QVERIFY(after);
        QCOMPARE(dialogs_->messages.size(), 2);
        QCOMPARE(dialogs_->messages[0].text, QStringLiteral("Ошибка."));
        QCOMPARE(dialogs_->messages[1].text, QStringLiteral("plain."));
        QCOMPARE(forms::ApplicationTitle(),
                 QStringLiteral("forms_mainwindow")); // first letter kept
    }

    void applicationTitle_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        QTest::newRow("upper case") << "PROGRAM.EXE"
                                    << "Program";
        QTest::newRow("two dots") << "my.viewer.exe"
                                  << "my";
        QTest::newRow("folder") << "/opt/orvelle/bin/ORVELLE"
                                << "Orvelle";
        QTest::newRow("windows folder") << "C:/Program Files/Orv.Elle/VIEW.exe"
                                        << "View";
        QTest::newRow("one letter") << "Q.EXE"
                                    << "Q";
        QTest::newRow("cyrillic") << "ПРОСМОТР.exe"
                                  << "Просмотр";
    }

    void applicationTitle() {
        QFETCH(QString, file);
        QFETCH(QString, title);
        QCOMPARE(forms::ApplicationTitle(file), title);
    }

    void startupFailureText() {
        const QRegularExpression head(
            QStringLiteral("^Exception (\\w+) in module Orvelle at [0-9A-F]{8}\\.\r\n"));
        auto text = [](auto error) {
            return app::StartupFailureText(std::make_exception_ptr(error),
                                           QStringLiteral("Orvelle"));
        };

        const QString missing = text(db::EIBClientError("Unable to load the client library"));
        const QRegularExpressionMatch match = head.match(missing);
        QVERIFY2(match.hasMatch(), qPrintable(missing));
        QCOMPARE(match.captured(1), QStringLiteral("EIBClientError"));
        QVERIFY(missing.endsWith(QStringLiteral("\r\nUnable to load the client library.\r\n")));

        const QString dotted = text(db::EDatabaseError("Ends in a dot."));
        QVERIFY2(head.match(dotted).hasMatch(), qPrintable(dotted));
        QVERIFY(dotted.endsWith(QStringLiteral("\r\nEnds in a dot.\r\n")));
        QVERIFY(!dotted.endsWith(QStringLiteral("..\r\n")));

        // Unlike the error display, any last character but "." gets one.
        QVERIFY(text(db::EIBError("Stop!")).endsWith(QStringLiteral("\r\nStop!.\r\n")));

        const QString empty = text(db::EOSError(""));
        QVERIFY2(head.match(empty).hasMatch(), qPrintable(empty));
        QCOMPARE(head.match(empty).captured(1), QStringLiteral("EOSError"));
        QVERIFY(empty.endsWith(QStringLiteral(".\r\n\r\n")));
    }

    void treeShowsWholeNamesAndScrollsSideways() {
        forms::TForm2& form = *forms::Form2;
        QTreeWidget* tree = form.TreeView1;
        // A chain eight folders deep whose last name is long and looks like markup.
        const QString longName = QStringLiteral("<b>Раздел</b> ") + QString(120, u'ж');
        QTreeWidgetItem* parent = nullptr;
        for (int depth = 0; depth < 8; ++depth) {
            auto entry = std::make_unique<store::TUzel>();
            entry->id = depth + 1;
            entry->ISPAPKA = 1;
            auto* item = new forms::RegisterTreeItem(std::move(entry), QIcon());
            item->setText(0, depth == 7 ? longName : QStringLiteral("Папка %1").arg(depth));
            if (parent) {
                parent->addChild(item);
            } else {
                tree->addTopLevelItem(item);
            }
            parent = item;
        }
        tree->expandAll();
        form.Splitter1->setSizes({150, form.Splitter1->width() - 152});
        QTRY_VERIFY(tree->horizontalScrollBar()->maximum() > 0);
        QCOMPARE(tree->textElideMode(), Qt::ElideNone);
        const QRect shown = tree->visualItemRect(parent);
        QVERIFY2(tree->header()->sectionSize(0) >=
                     shown.left() + tree->horizontalScrollBar()->value() +
                         tree->fontMetrics().horizontalAdvance(longName),
                 "the column is narrower than the name it shows");

        // The whole name as the tooltip, shown as plain text.
        QTextDocument tip;
        tip.setHtml(parent->data(0, Qt::ToolTipRole).toString());
        QCOMPARE(tip.toPlainText(), longName);
        tree->clear();
    }

    void browserIsNoTabStop() {
        forms::TForm2& form = *forms::Form2;
        form.RenderHtml("<p><a href=\"#x\">link</a> <input id=\"x\"></p>");
        formstest::WaitForRender();
        QTRY_VERIFY(form.WebBrowser1->focusProxy());
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.TreeView1->setFocus(Qt::OtherFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), form.TreeView1);
        for (int press = 0; press < 12; ++press) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            QVERIFY2(!focus ||
                         (focus != form.WebBrowser1 && !form.WebBrowser1->isAncestorOf(focus)),
                     qPrintable(QStringLiteral("Tab %1 moved into the browser").arg(press + 1)));
        }
        // A click still gives it focus.
        QCOMPARE(form.WebBrowser1->focusProxy()->focusPolicy() & Qt::ClickFocus, Qt::ClickFocus);
    }
};

FORMS_TEST_MAIN(MainWindowTest)

#include "tst_mainwindow.moc"
