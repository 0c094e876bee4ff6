#include "ui/Companions.h"

#include "decode/Hex.h"
#include "definitions/Dialogs.h"
#include "definitions/QtText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

TfrmEditWord* frmEditWord = nullptr;
TfrmGridLines* frmGridLines = nullptr;
TfrmAbout* frmAbout = nullptr;
TfrmPinout* frmPinout = nullptr;

TLxUpDown::TLxUpDown(QLineEdit* associate, int min, int max, QWidget* parent)
    : QWidget(parent), edit_(associate), min_(min), max_(max), position_(min)
{
    setObjectName("UpDown1");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    for (int delta : {1, -1}) {
        auto* b = new QToolButton(this);
        b->setObjectName(delta > 0 ? "up" : "down");
        b->setArrowType(delta > 0 ? Qt::UpArrow : Qt::DownArrow);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(16, 11);
        v->addWidget(b);
        connect(b, &QToolButton::clicked, this, [this, delta] { Step(delta); });
    }
    std::int32_t n = 0;
    if (TryStrToInt(Latin1Of(edit_->text()), n))
        position_ = std::clamp<int>(n, min_, max_);
    edit_->installEventFilter(this);
}

void TLxUpDown::Step(int delta)
{
    std::int32_t n = 0;
    int from = TryStrToInt(Latin1Of(edit_->text()), n)
                   ? std::clamp<int>(n, min_, max_)
                   : position_;
    position_ = std::clamp(from + delta, min_, max_);
    edit_->setText(QString::number(position_));
}

bool TLxUpDown::eventFilter(QObject* o, QEvent* e)
{
    if (o == edit_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(o, e);
}

TfrmGridLines::TfrmGridLines(QWidget* parent) : QDialog(parent)
{
    setObjectName("frmGridLines");
    setWindowTitle("Grid Lines...");
    txtGridLines = new QLineEdit("2", this);
    txtGridLines->setObjectName("txtGridLines");
    UpDown1 = new TLxUpDown(txtGridLines, 2, 8, this);
    btnOk = new QPushButton("&Ok", this);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    btnCancel = new QPushButton("&Cancel", this);
    btnCancel->setObjectName("btnCancel");
    auto* edit = new QHBoxLayout;
    edit->setSpacing(0);
    edit->addWidget(txtGridLines);
    edit->addWidget(UpDown1);
    auto* g = new QGridLayout(this);
    g->setContentsMargins(10, 10, 10, 10);
    g->addWidget(new QLabel("Grid lines:", this), 0, 0);
    g->addLayout(edit, 0, 1);
    g->addWidget(btnOk, 1, 0);
    g->addWidget(btnCancel, 1, 1);
    g->setSizeConstraint(QLayout::SetFixedSize);
    connect(btnOk, &QPushButton::clicked, this, &TfrmGridLines::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmGridLines::btnCancelClick);
}

void TfrmGridLines::btnOkClick()
{
    const int n = StrToIntDef(Latin1Of(txtGridLines->text()), 0);
    if (n < 2 || n > 8) {
        Dialogs().Message("Grid lines must be between 2 and 8.", "Grid Lines...", MsgButtons::Ok, MsgKind::Warning);
        return;
    }
    accept();
}

void TfrmGridLines::btnCancelClick() { reject(); }

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName("frmAbout");
    setWindowTitle("About Diduvuve");
    QPixmap pm(360, 220);
    {
        QPainter p(&pm);
        QLinearGradient g(0, 0, 0, 220);
        g.setColorAt(0, QColor(0, 0, 128));
        g.setColorAt(1, QColor(64, 128, 192));
        p.fillRect(pm.rect(), g);
        p.setPen(Qt::white);
        QFont f = p.font();
        f.setPixelSize(28);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(0, 30, 360, 40), Qt::AlignCenter, "Diduvuve");
        f.setPixelSize(14);
        p.setFont(f);
        p.drawText(QRect(0, 70, 360, 30), Qt::AlignCenter, "ALDL 8192 baud Analyser");
    }
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setPixmap(pm);
    Image1->move(0, 0);
    Image1->resize(pm.size());
    setFixedSize(pm.size());
    btnCredits = new QPushButton("&Credits", this);
    btnCredits->setObjectName("btnCredits");
    btnOK = new QPushButton("&Ok", this);
    btnOK->setObjectName("btnOK");
    btnOK->setDefault(true);
    btnCredits->setGeometry(360 - 170, 220 - 32, 75, 24);
    btnOK->setGeometry(360 - 85, 220 - 32, 75, 24);
    pnlCredits = new QWidget(this);
    pnlCredits->setObjectName("pnlCredits");
    pnlCredits->setGeometry(40, 100, 280, 80);
    auto* pl = new QVBoxLayout(pnlCredits);
    pl->setContentsMargins(0, 0, 0, 0);
    auto* credits = new QPlainTextEdit(pnlCredits);
    credits->setObjectName("memCredits");
    credits->setReadOnly(true);
    credits->setPlainText("With thanks to everyone who shared what they learned\nabout the ALDL data stream.");
    pl->addWidget(credits);
    pnlCredits->hide();
    connect(btnCredits, &QPushButton::clicked, this, &TfrmAbout::btnCreditsClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmAbout::btnOKClick);
}

void TfrmAbout::btnCreditsClick()
{
    if (btnCredits->text() == "&Credits") {
        pnlCredits->show();
        btnCredits->setText("No &Credits");
    } else {
        pnlCredits->hide();
        btnCredits->setText("&Credits");
    }
}

void TfrmAbout::btnOKClick() { accept(); }

TfrmPinout::TfrmPinout(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("frmPinout");
    setWindowTitle("ALDL Pinout");
    auto* title = new QLabel("Australian ALDL connector Pinout", this);
    QFont tf = title->font();
    tf.setBold(true);
    tf.setPointSize(tf.pointSize() + 4);
    title->setFont(tf);
    QPixmap pm(169, 61);
    {
        pm.fill(Qt::white);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, 2));
        QPolygon shape({QPoint(4, 4), QPoint(165, 4), QPoint(150, 57), QPoint(19, 57)});
        p.drawPolygon(shape);
        QFont f = p.font();
        f.setPixelSize(9);
        p.setFont(f);
        for (int pin = 1; pin <= 16; ++pin) {
            int row = pin <= 8 ? 0 : 1, col = (pin - 1) % 8;
            QPoint c(28 + col * 16, 20 + row * 22);
            QColor fill = pin == 5 ? Qt::green : pin == 9 ? QColor(0, 0, 128) : pin == 16 ? QColor(128, 0, 0) : Qt::white;
            p.setBrush(fill);
            p.drawEllipse(c, 5, 5);
        }
    }
    auto* picture = new QLabel(this);
    picture->setPixmap(pm);
    auto pinText = [this](const char* t, QColor c) {
        auto* l = new QLabel(t, this);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, c);
        l->setPalette(pal);
        return l;
    };
    auto* pins = new QVBoxLayout;
    pins->addWidget(pinText("Pin 5: ALDL Signal Ground", Qt::darkGreen));
    pins->addWidget(pinText("Pin 9: ALDL Signal Data", QColor(0, 0, 128)));
    pins->addWidget(pinText("Pin 16: +12V", QColor(128, 0, 0)));
    auto* note = new QLabel("The General Motors Holden, VS Commodore ALDL Connector is\n"
                            "physically the same shape as a standard OBDII connector.\n"
                            "However the pinout configuration is very different.",
                            this);
    note->setAlignment(Qt::AlignCenter);
    note->setEnabled(false);
    btnOk = new QPushButton("&Ok", this);
    btnOk->setObjectName("btnOk");
    connect(btnOk, &QPushButton::clicked, this, &QWidget::hide);
    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addLayout(pins);
    auto* v = new QVBoxLayout(this);
    v->addWidget(title);
    v->addLayout(row);
    v->addWidget(note);
    auto* b = new QHBoxLayout;
    b->addStretch();
    b->addWidget(btnOk);
    v->addLayout(b);
}
