#pragma once
// The companion windows, created once at start-up after the main window.
#include "definitions/EditWord.h"

#include <QDialog>
#include <QWidget>

class QLineEdit;
class QPushButton;
class QPlainTextEdit;
class QLabel;

class TfrmGridLines : public QDialog {
    Q_OBJECT
public:
    explicit TfrmGridLines(QWidget* parent = nullptr);
    void btnOkClick();
    void btnCancelClick();
    QLineEdit* txtGridLines = nullptr;
    QPushButton *btnOk = nullptr, *btnCancel = nullptr;
};

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
    void btnCreditsClick();
    void btnOKClick();
    QLabel* Image1 = nullptr;
    QPushButton *btnCredits = nullptr, *btnOK = nullptr;
    QWidget* pnlCredits = nullptr;
};

class TfrmPinout : public QWidget {
    Q_OBJECT
public:
    explicit TfrmPinout(QWidget* parent = nullptr);
    QPushButton* btnOk = nullptr;
};

extern TfrmEditWord* frmEditWord;
extern TfrmGridLines* frmGridLines;
extern TfrmAbout* frmAbout;
extern TfrmPinout* frmPinout;
