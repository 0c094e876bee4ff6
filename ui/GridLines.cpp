#include "ui/GridLines.h"

#include "decode/Hex.h"
#include "definitions/Dialogs.h"
#include "definitions/EditWord.h"
#include "definitions/QtText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

void CentreOnScreen(QWidget* w)
{
    QScreen* s = w->screen();
    if (!s) return;
    QRect frame = w->frameGeometry();
    frame.moveCenter(s->availableGeometry().center());
    w->move(frame.topLeft());
}

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
    KeepOneLine(txtGridLines);
}

void TfrmGridLines::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous()) CentreOnScreen(this);
}

void TfrmGridLines::btnOkClick()
{
    const int n = StrToIntDef(Latin1Of(txtGridLines->text()), 0);
    if (n < 2 || n > 8) {
        ShowMessage("Grid lines must be between 2 and 8.");
        return;
    }
    accept();
}

void TfrmGridLines::btnCancelClick() { reject(); }

