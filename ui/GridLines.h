#pragma once
// The grid-lines dialog of the chart context menu, with its up-down arrows.
#include <QDialog>
#include <QWidget>

class QLineEdit;
class QPushButton;

// Up and down arrows that step the number in an attached edit within
// Min..Max, without wrapping. The edit stays free text, so a typed value
// outside the range is left for the dialog's own check.
class TLxUpDown : public QWidget {
    Q_OBJECT
public:
    TLxUpDown(QLineEdit* associate, int min, int max, QWidget* parent = nullptr);
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    // Steps from the edit's number (clamped into range), or from the last
    // position when the edit holds no number, and writes the result back.
    void Step(int delta);

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    QLineEdit* edit_;
    int min_, max_, position_;
};

class TfrmGridLines : public QDialog {
    Q_OBJECT
public:
    explicit TfrmGridLines(QWidget* parent = nullptr);
    void btnOkClick();
    void btnCancelClick();
    QLineEdit* txtGridLines = nullptr;
    TLxUpDown* UpDown1 = nullptr;
    QPushButton *btnOk = nullptr, *btnCancel = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
};

// Moves a top-level window to the middle of its screen.
void CentreOnScreen(QWidget* w);
