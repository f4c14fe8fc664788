#pragma once

#include <QDialog>

class QFrame;
class QKeyEvent;
class QLabel;
class QPushButton;

namespace orvelle::forms {

// The About box: created hidden at start-up, shown without being modal. OK, Enter and the
// close box only hide it, so it keeps its state and can be shown again.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* MakerLabel;
    QLabel* Comments;
    QPushButton* OKButton;

public slots:
    void OKButtonClick();

public:
    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool placed_ = false; // centred on the screen once, at the first show
};

// The process-wide instance; null until start-up creates it.
extern TAboutBox* AboutBox;

} // namespace orvelle::forms
