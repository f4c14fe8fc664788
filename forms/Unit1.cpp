#include "Unit1.h"

#include "FormFont.h"
#include "resources/Pictures.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace orvelle::forms {

TAboutBox* AboutBox = nullptr;

namespace {

QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("О программе"));
    setFont(FormFont());
    setModal(false);

    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Button));
    setPalette(colours);
    setAutoFillBackground(true);

    // Lowered outer and raised inner bevel: an etched frame.
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setMidLineWidth(0);
    Panel1->setGeometry(8, 8, 281, 161);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setPixmap(resources::AboutPicture());
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setGeometry(8, 8, 81, 57);

    ProductName = MakeLabel(Panel1, QStringLiteral("Orvelle"), 120, 16);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    Version = MakeLabel(Panel1, QStringLiteral("Version: 0.5 beta"), 120, 40);
    Version->setObjectName(QStringLiteral("Version"));
    MakerLabel = MakeLabel(Panel1, QStringLiteral("Quillmoor "), 8, 80);
    MakerLabel->setObjectName(QStringLiteral("MakerLabel"));

    // Keeps its width and grows downwards as the words wrap.
    Comments = new QLabel(QStringLiteral("Утилита для Narvesta"), Panel1);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setWordWrap(true);
    Comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Comments->setGeometry(8, 104, 113, Comments->heightForWidth(113));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(111, 180, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);

    setFixedSize(298, 213);
}

TAboutBox::~TAboutBox() {
    if (AboutBox == this) {
        AboutBox = nullptr;
    }
}

void TAboutBox::OKButtonClick() {
    // The box is never modal, so the OK result only records how it was last closed.
    setResult(QDialog::Accepted);
    hide();
}

void TAboutBox::setVisible(bool visible) {
    const bool first = visible && !placed_;
    QDialog::setVisible(visible);
    if (!first) {
        return;
    }
    // The first time, centre the whole window, frame included, on the screen; afterwards it
    // opens where it was last.
    placed_ = true;
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
}

void TAboutBox::keyPressEvent(QKeyEvent* event) {
    // Escape does not close the box: it has no cancel button. Enter still presses OK.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace orvelle::forms
