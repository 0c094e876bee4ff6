#include "ui/PinOut.h"

#include "ui/GridLines.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

QPixmap ConnectorPicture()
{
    QPixmap pm(169, 61);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // The D-shaped shell: wider at the top, rounded corners.
    QPainterPath shell;
    shell.moveTo(10, 3);
    shell.lineTo(159, 3);
    shell.quadTo(166, 3, 164, 10);
    shell.lineTo(152, 52);
    shell.quadTo(150, 58, 143, 58);
    shell.lineTo(26, 58);
    shell.quadTo(19, 58, 17, 52);
    shell.lineTo(5, 10);
    shell.quadTo(3, 3, 10, 3);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.setBrush(QColor(70, 70, 70));
    p.drawPath(shell);

    QFont f = p.font();
    f.setPixelSize(8);
    p.setFont(f);
    // Pins 1-8 on the upper row, 9-16 below, numbered from the left.
    for (int pin = 1; pin <= 16; ++pin) {
        const int row = pin <= 8 ? 0 : 1, col = (pin - 1) % 8;
        const QRectF cell(24 + col * 16.5, 13 + row * 22, 9, 12);
        const QColor mark = pin == 5 ? PinColor::Ground : pin == 9 ? PinColor::Data : pin == 16 ? PinColor::Power : QColor();
        if (mark.isValid()) {
            p.setPen(QPen(Qt::white, 1));
            p.setBrush(mark);
            p.drawRoundedRect(cell.adjusted(-2, -2, 2, 2), 2, 2);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(mark.isValid() ? QColor(255, 215, 0) : QColor(150, 150, 150));
        p.drawRect(cell.adjusted(2.5, 3, -2.5, -3));
        p.setPen(mark.isValid() ? Qt::white : QColor(200, 200, 200));
        const QRectF num = row == 0 ? QRectF(cell.left() - 4, 4, cell.width() + 8, 9)
                                    : QRectF(cell.left() - 4, 48, cell.width() + 8, 9);
        p.drawText(num, Qt::AlignCenter, QString::number(pin));
    }
    return pm;
}

TfrmPinout::TfrmPinout(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("frmPinout");
    setWindowTitle("ALDL Pinout");
    StaticText4 = new QLabel("Australian ALDL connector Pinout", this);
    StaticText4->setObjectName("StaticText4");
    QFont tf = StaticText4->font();
    tf.setBold(true);
    tf.setPointSize(tf.pointSize() + 4);
    StaticText4->setFont(tf);
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setPixmap(ConnectorPicture());
    Image1->setFixedSize(169, 61);
    auto pinText = [this](QLabel*& l, const char* name, const char* t, QColor c) {
        l = new QLabel(t, this);
        l->setObjectName(name);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, c);
        l->setPalette(pal);
        return l;
    };
    auto* pins = new QVBoxLayout;
    pins->addWidget(pinText(StaticText1, "StaticText1", "Pin 5: ALDL Signal Ground", PinColor::Ground));
    pins->addWidget(pinText(StaticText2, "StaticText2", "Pin 9: ALDL Signal Data", PinColor::Data));
    pins->addWidget(pinText(StaticText3, "StaticText3", "Pin 16: +12V", PinColor::Power));
    Memo1 = new QLabel("The General Motors Holden, VS Commodore ALDL Connector is\n"
                       "physically the same shape as a standard OBDII connector.\n"
                       "However the pinout configuration is very different.",
                       this);
    Memo1->setObjectName("Memo1");
    Memo1->setAlignment(Qt::AlignCenter);
    Memo1->setEnabled(false);
    btnOk = new QPushButton("&Ok", this);
    btnOk->setObjectName("btnOk");
    btnOk->setAutoDefault(true); // Enter on it closes the window
    connect(btnOk, &QPushButton::clicked, this, &TfrmPinout::btnOkClick);
    auto* row = new QHBoxLayout;
    row->addWidget(Image1);
    row->addSpacing(10);
    row->addLayout(pins);
    row->addStretch();
    auto* v = new QVBoxLayout(this);
    // The window ends 10 pixels beyond the button and keeps that size.
    v->setContentsMargins(10, 10, 10, 10);
    v->addWidget(StaticText4);
    v->addLayout(row);
    v->addWidget(Memo1);
    auto* b = new QHBoxLayout;
    b->addStretch();
    b->addWidget(btnOk);
    v->addLayout(b);
    v->setSizeConstraint(QLayout::SetFixedSize);
}

void TfrmPinout::btnOkClick() { hide(); }

void TfrmPinout::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!e->spontaneous()) CentreOnScreen(this);
}
