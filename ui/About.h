#pragma once
// The About dialog: the program's picture and a panel of acknowledgements
// that stays shown or hidden between openings.
#include <QDialog>

class QLabel;
class QPushButton;
class QPlainTextEdit;

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
    void btnCreditsClick();
    void btnOKClick();
    QLabel* Image1 = nullptr;
    QPushButton *btnCredits = nullptr, *btnOK = nullptr;
    QWidget* pnlCredits = nullptr;
    QPlainTextEdit *Memo1 = nullptr, *memCredits = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
};

// The program's own picture, drawn at start-up: a strip-chart trace under a
// gauge, with the name. Also the source of the main window's banner.
QPixmap AboutPicture(int width, int height);
QPixmap BannerPicture(int width, int height);
