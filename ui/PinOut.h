#pragma once
// The pinout window of the vehicle's diagnostic connector: fixed content,
// shown without blocking the main window.
#include <QColor>
#include <QWidget>

class QLabel;
class QPushButton;

// Text and pin colours: each pin in the drawing wears its text's colour.
namespace PinColor {
const QColor Ground(0, 128, 0);  // pin 5, green
const QColor Data(0, 0, 128);    // pin 9, navy
const QColor Power(128, 0, 0);   // pin 16, maroon
}

class TfrmPinout : public QWidget {
    Q_OBJECT
public:
    explicit TfrmPinout(QWidget* parent = nullptr);
    void btnOkClick();
    QLabel *StaticText1 = nullptr, *StaticText2 = nullptr, *StaticText3 = nullptr, *StaticText4 = nullptr;
    QLabel *Image1 = nullptr, *Memo1 = nullptr;
    QPushButton* btnOk = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
};

// The 16-pin connector seen from its face, 169 x 61.
QPixmap ConnectorPicture();
