#include "forms/Unit1.h"

#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using orvelle::forms::TAboutBox;

class AboutBoxTest : public QObject {
    Q_OBJECT

private slots:
    void layoutAndTexts() {
        TAboutBox box;
        QCOMPARE(box.windowTitle(), QStringLiteral("О программе"));
        QCOMPARE(box.size(), QSize(298, 213));
        QCOMPARE(box.minimumSize(), QSize(298, 213));
        QCOMPARE(box.maximumSize(), QSize(298, 213));
        const Qt::WindowFlags flags = box.windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
        QVERIFY(!box.isVisible());
        QVERIFY(!box.isModal());
        QCOMPARE(box.font().pointSize(), 8);
        QCOMPARE(box.palette().color(QPalette::Window), box.palette().color(QPalette::Button));

        QCOMPARE(box.Panel1->parentWidget(), &box);
        QCOMPARE(box.Panel1->geometry(), QRect(8, 8, 281, 161));
        QCOMPARE(box.OKButton->parentWidget(), &box);
        QCOMPARE(box.OKButton->geometry(), QRect(111, 180, 75, 25));
        QCOMPARE(box.OKButton->text(), QStringLiteral("OK"));

        QCOMPARE(box.ProgramIcon->parentWidget(), box.Panel1);
        QCOMPARE(box.ProgramIcon->geometry(), QRect(8, 8, 81, 57));
        QVERIFY(box.ProgramIcon->hasScaledContents());
        QCOMPARE(box.ProgramIcon->pixmap().size(), QSize(44, 29));

        struct Expected {
            QLabel* label;
            QString text;
            QPoint position;
        };
        const Expected labels[] = {
            {box.ProductName, QStringLiteral("Orvelle"), {120, 16}},
            {box.Version, QStringLiteral("Version: 0.5 beta"), {120, 40}},
            {box.MakerLabel, QStringLiteral("Quillmoor "), {8, 80}},
            {box.Comments, QStringLiteral("Утилита для Narvesta"), {8, 104}},
        };
        for (const Expected& e : labels) {
            QCOMPARE(e.label->parentWidget(), box.Panel1);
            QCOMPARE(e.label->text(), e.text);
            QCOMPARE(e.label->pos(), e.position);
            if (e.label != box.Comments) { // sized to the text, so none of it is cut off
                QCOMPARE(e.label->size(), e.label->sizeHint());
            }
            QVERIFY(QRect(QPoint(), box.Panel1->size()).contains(e.label->geometry()));
        }
        QCOMPARE(box.Comments->width(), 113);
        QVERIFY(box.Comments->wordWrap());
        QCOMPARE(box.Comments->height(), box.Comments->heightForWidth(113));
    }

    void okButtonIsTheDefault() {
        TAboutBox box;
        QVERIFY(box.OKButton->isDefault());
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QVERIFY(box.isVisible());
        QTest::keyClick(&box, Qt::Key_Return);
        QVERIFY(!box.isVisible());
        box.show();
        QTest::keyClick(&box, Qt::Key_Enter);
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), int(QDialog::Accepted));
    }

    void okCloseBoxAndEscape() {
        QPointer<TAboutBox> box = new TAboutBox;
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box));

        // Escape is not a way out: the box has no cancel button.
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(box->isVisible());

        QTest::mouseClick(box->OKButton, Qt::LeftButton);
        QVERIFY(!box->isVisible());

        box->show();
        QVERIFY(box->isVisible());
        QVERIFY(box->close()); // the close box
        QVERIFY(!box.isNull());
        QVERIFY(!box->isVisible());

        // Still whole after being hidden twice.
        box->show();
        QVERIFY(box->isVisible());
        QCOMPARE(box->Version->text(), QStringLiteral("Version: 0.5 beta"));
        QCOMPARE(box->size(), QSize(298, 213));
        delete box;
    }

    void centredOnceThenWhereItWas() {
        TAboutBox box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const QPoint centre = box.screen()->geometry().center();
        const QPoint boxCentre = box.frameGeometry().center();
        QVERIFY2((boxCentre - centre).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("box centre %1,%2, screen centre %3,%4")
                                .arg(boxCentre.x())
                                .arg(boxCentre.y())
                                .arg(centre.x())
                                .arg(centre.y())));

        box.move(20, 30);
        QTest::mouseClick(box.OKButton, Qt::LeftButton);
        QVERIFY(!box.isVisible());
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QCOMPARE(box.pos(), QPoint(20, 30));
    }

    void globalInstanceIsClearedWithTheBox() {
        auto* box = new TAboutBox;
        orvelle::forms::AboutBox = box;
        delete box;
        QVERIFY(orvelle::forms::AboutBox == nullptr);
    }
};

QTEST_MAIN(AboutBoxTest)
#include "tst_aboutbox.moc"
