#include "definitions/EditWord.h"

#include "definitions/QtText.h"

#include "decode/Errors.h"
#include "decode/Expression.h"
#include "decode/Hex.h"
#include "decode/WordDecode.h"
#include "definitions/Dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {

const char* const UserDefined = "(User defined)";

std::string Text(const QLineEdit* e) { return Latin1Of(e->text()); }
void SetText(QLineEdit* e, const std::string& s) { e->setText(Latin1(s)); }

// One flag name per line; the break after the last line does not add an empty one.
std::vector<std::string> MemoLines(const QPlainTextEdit* m)
{
    std::vector<std::string> lines;
    const std::string t = Latin1Of(m->toPlainText());
    if (t.empty()) return lines;
    std::size_t p = 0;
    while (p < t.size()) {
        std::size_t nl = t.find('\n', p);
        if (nl == std::string::npos) {
            lines.push_back(t.substr(p));
            break;
        }
        lines.push_back(t.substr(p, nl - p));
        p = nl + 1;
    }
    return lines;
}

class DivisionByZero : public std::domain_error {
public:
    using std::domain_error::domain_error;
};

QLineEdit* Edit(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    KeepOneLine(e);
    return e;
}

QLabel* Label(QWidget* parent, const char* caption, const char* name = nullptr)
{
    auto* l = new QLabel(caption, parent);
    if (name) l->setObjectName(name);
    return l;
}

QPushButton* CopyButton(QWidget* parent, const char* name)
{
    auto* b = new QPushButton("<", parent);
    b->setObjectName(name);
    // Enter on a focused "<" presses it; in an edit box Enter still means Ok.
    b->setAutoDefault(true);
    b->setFixedWidth(24);
    return b;
}

} // namespace

void EnableControl(QWidget* control, bool enabled)
{
    if (!control) return;
    control->setEnabled(enabled);
    if (!qobject_cast<QLineEdit*>(control) && !qobject_cast<QPlainTextEdit*>(control)) return;
    const QWidget* parent = control->parentWidget();
    const QColor colour = enabled ? QApplication::palette(control).color(QPalette::Active, QPalette::Base)
                                  : (parent ? parent->palette() : QApplication::palette())
                                        .color(QPalette::Active, QPalette::Window);
    QPalette pal = control->palette();
    pal.setColor(QPalette::Base, colour);
    control->setPalette(pal);
}

void KeepOneLine(QLineEdit* edit)
{
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
        if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) return;
        QString one = text;
        one.replace(QLatin1String("\r\n"), QLatin1String(" "));
        one.replace(QLatin1Char('\r'), QLatin1Char(' '));
        one.replace(QLatin1Char('\n'), QLatin1Char(' '));
        const int cursor = edit->cursorPosition() - int(text.size() - one.size());
        edit->setText(one);
        edit->setCursorPosition(std::max(0, cursor));
    });
}

TfrmEditWord::TfrmEditWord(QWidget* parent) : QDialog(parent)
{
    setObjectName("frmEditWord");
    setWindowTitle("ALDL datastream definition");

    txtName = Edit(this, "txtName");
    txtId = Edit(this, "txtId");

    grpInput = new QGroupBox("Data stream input:", this);
    txtStart = Edit(grpInput, "txtStart");
    txtBits = Edit(grpInput, "txtBits");
    txtBits->setText("8");
    txtRange = Edit(grpInput, "txtRange");
    txtRange->setReadOnly(true);
    auto* gi = new QGridLayout(grpInput);
    gi->addWidget(Label(grpInput, "Start position:"), 0, 0);
    gi->addWidget(txtStart, 0, 1);
    gi->addWidget(Label(grpInput, "Byte[.Bit]"), 0, 2);
    gi->addWidget(Label(grpInput, "Bits:"), 1, 0);
    gi->addWidget(txtBits, 1, 1);
    gi->addWidget(Label(grpInput, "Input range:"), 2, 0);
    gi->addWidget(txtRange, 2, 1);

    grpCalc = new QGroupBox("Calculation:", this);
    cbFormula = new QComboBox(grpCalc);
    cbFormula->setObjectName("cbFormula");
    cbFormula->addItems({UserDefined, "Degrees C", "Percentage", "Volts"});
    cbFormula->setCurrentIndex(-1);
    lblFactor = Label(grpCalc, "Multiply by:", "lblFactor");
    txtFactor = Edit(grpCalc, "txtFactor");
    lblOffset = Label(grpCalc, "Add:", "lblOffset");
    txtOffset = Edit(grpCalc, "txtOffset");
    txtExpr = Edit(grpCalc, "txtExpr");
    txtExpr->setToolTip("Instead of multiplier and addend: X is the raw value, other words by ID ({ID} when "
                        "not a plain name); + - * / ^, comparisons, signed(x, bits), table(x, x1, y1, ...), "
                        "min, max, abs, if(c, a, b)");
    lblExprCheck = Label(grpCalc, "", "lblExprCheck");
    lblExprCheck->setWordWrap(true);
    txtUnits = Edit(grpCalc, "txtUnits");
    txtAvg = Edit(grpCalc, "txtAvg");
    auto* gc = new QGridLayout(grpCalc);
    gc->addWidget(Label(grpCalc, "Formula:"), 0, 0);
    gc->addWidget(cbFormula, 0, 1);
    gc->addWidget(Label(grpCalc, "Expression:"), 1, 0);
    gc->addWidget(txtExpr, 1, 1);
    gc->addWidget(lblExprCheck, 2, 0, 1, 2);
    gc->addWidget(lblFactor, 3, 0);
    gc->addWidget(txtFactor, 3, 1);
    gc->addWidget(lblOffset, 4, 0);
    gc->addWidget(txtOffset, 4, 1);
    gc->addWidget(Label(grpCalc, "Units:"), 5, 0);
    gc->addWidget(txtUnits, 5, 1);
    gc->addWidget(Label(grpCalc, "Rolling Avg:"), 6, 0);
    gc->addWidget(txtAvg, 6, 1);
    lblExprCheck->hide();

    grpOutput = new QGroupBox("Data stream output:", this);
    cbDisplay = new QComboBox(grpOutput);
    cbDisplay->setObjectName("cbDisplay");
    cbDisplay->addItems({"Value", "Chart", "Flag"});
    cbDisplay->setCurrentIndex(-1);
    txtAmin = Edit(grpOutput, "txtAmin");
    btnAmin = CopyButton(grpOutput, "btnAmin");
    txtAmindef = Edit(grpOutput, "txtAmindef");
    txtAmax = Edit(grpOutput, "txtAmax");
    btnAmax = CopyButton(grpOutput, "btnAmax");
    txtAmaxdef = Edit(grpOutput, "txtAmaxdef");
    lblChart = Label(grpOutput, "Chart:", "lblChart");
    txtChart = Edit(grpOutput, "txtChart");
    lblSeries = Label(grpOutput, "Series:", "lblSeries");
    txtSeries = Edit(grpOutput, "txtSeries");
    lblDmin = Label(grpOutput, "Display min:", "lblDmin");
    txtDmin = Edit(grpOutput, "txtDmin");
    btnDmin = CopyButton(grpOutput, "btnDmin");
    txtDmindef = Edit(grpOutput, "txtDmindef");
    lblDmax = Label(grpOutput, "Display max:", "lblDmax");
    txtDmax = Edit(grpOutput, "txtDmax");
    btnDmax = CopyButton(grpOutput, "btnDmax");
    txtDmaxdef = Edit(grpOutput, "txtDmaxdef");
    lblFlag = Label(grpOutput, "Flags values:", "lblFlag");
    memFlag = new QPlainTextEdit(grpOutput);
    memFlag->setObjectName("memFlag");
    memFlag->setLineWrapMode(QPlainTextEdit::NoWrap);
    memFlag->setTabChangesFocus(true);
    memFlag->setFixedHeight(96);
    auto* go = new QGridLayout(grpOutput);
    go->addWidget(Label(grpOutput, "Display:"), 0, 0);
    go->addWidget(cbDisplay, 0, 1);
    go->addWidget(Label(grpOutput, "Alarm min:"), 1, 0);
    go->addWidget(txtAmin, 1, 1);
    go->addWidget(btnAmin, 1, 2);
    go->addWidget(txtAmindef, 1, 3);
    go->addWidget(Label(grpOutput, "Alarm max:"), 2, 0);
    go->addWidget(txtAmax, 2, 1);
    go->addWidget(btnAmax, 2, 2);
    go->addWidget(txtAmaxdef, 2, 3);
    go->addWidget(lblChart, 3, 0);
    go->addWidget(txtChart, 3, 1);
    go->addWidget(lblSeries, 4, 0);
    go->addWidget(txtSeries, 4, 1);
    go->addWidget(lblDmin, 5, 0);
    go->addWidget(txtDmin, 5, 1);
    go->addWidget(btnDmin, 5, 2);
    go->addWidget(txtDmindef, 5, 3);
    go->addWidget(lblDmax, 6, 0);
    go->addWidget(txtDmax, 6, 1);
    go->addWidget(btnDmax, 6, 2);
    go->addWidget(txtDmaxdef, 6, 3);
    go->addWidget(lblFlag, 7, 0, Qt::AlignTop);
    go->addWidget(memFlag, 7, 1, 1, 3);

    btnOk = new QPushButton("&Ok", this);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    btnCancel = new QPushButton("&Cancel", this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setAutoDefault(true); // Enter on a focused Cancel must cancel

    auto* top = new QGridLayout;
    top->addWidget(Label(this, "Name:"), 0, 0);
    top->addWidget(txtName, 0, 1);
    top->addWidget(Label(this, "ID:"), 0, 2);
    top->addWidget(txtId, 0, 3);
    auto* left = new QVBoxLayout;
    left->addWidget(grpInput);
    left->addWidget(grpCalc);
    left->addStretch();
    auto* groups = new QHBoxLayout;
    groups->addLayout(left);
    groups->addWidget(grpOutput);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(10, 10, 10, 10);
    v->addLayout(top);
    v->addLayout(groups);
    v->addLayout(buttons);
    // The client area just holds the controls, ending 10 pixels past Cancel.
    v->setSizeConstraint(QLayout::SetFixedSize);

    EnableControl(txtRange, false);
    EnableControl(txtFactor, false);
    EnableControl(txtOffset, false);
    lblFactor->setEnabled(false);
    lblOffset->setEnabled(false);
    EnableControl(txtAvg, false);
    for (QLineEdit* e : {txtAmindef, txtAmaxdef, txtDmindef, txtDmaxdef}) EnableControl(e, false);
    for (QWidget* w : std::initializer_list<QWidget*>{txtChart, txtSeries, txtDmin, txtDmax, memFlag})
        EnableControl(w, false);
    for (QWidget* w : std::initializer_list<QWidget*>{lblChart, lblSeries, lblDmin, lblDmax, btnDmin, btnDmax, lblFlag})
        w->setEnabled(false);

    // Focus leaving (or Enter in) the scaling boxes recalculates.
    for (QLineEdit* e : {txtBits, txtFactor, txtOffset}) connect(e, &QLineEdit::editingFinished, this, &TfrmEditWord::reCalc);
    connect(cbFormula, &QComboBox::currentIndexChanged, this, &TfrmEditWord::cbFormulaChange);
    connect(cbDisplay, &QComboBox::currentIndexChanged, this, &TfrmEditWord::cbDisplayChange);
    connect(txtExpr, &QLineEdit::textChanged, this, &TfrmEditWord::txtExprChange);
    connect(btnAmin, &QPushButton::clicked, this, &TfrmEditWord::btnAminClick);
    connect(btnAmax, &QPushButton::clicked, this, &TfrmEditWord::btnAmaxClick);
    connect(btnDmin, &QPushButton::clicked, this, &TfrmEditWord::btnDminClick);
    connect(btnDmax, &QPushButton::clicked, this, &TfrmEditWord::btnDmaxClick);
    connect(txtDmin, &QLineEdit::textChanged, this, &TfrmEditWord::txtDminChange);
    connect(txtDmax, &QLineEdit::textChanged, this, &TfrmEditWord::txtDmaxChange);
    connect(btnOk, &QPushButton::clicked, this, &TfrmEditWord::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmEditWord::btnCancelClick);
}

void TfrmEditWord::LoadRow(const std::string& rowText)
{
    const std::vector<std::string> f = SplitList(rowText);
    auto field = [&f](std::size_t i) { return i < f.size() ? DashToEmpty(f[i]) : std::string(); };
    SetText(txtName, field(0));
    SetText(txtId, field(1));
    SetText(txtStart, field(2));
    SetText(txtBits, field(3));
    SetText(txtAmin, field(4));
    SetText(txtAmax, field(5));
    {
        // Filling is not a user choice: the recalculation waits for the showing.
        const QSignalBlocker block(cbDisplay);
        cbDisplay->setCurrentIndex(FindItemFolded(cbDisplay, field(6)));
    }
    SetText(txtChart, field(7));
    SetText(txtSeries, field(8));
    SetText(txtDmin, field(9));
    SetText(txtDmax, field(10));
    {
        const QSignalBlocker block(cbFormula);
        const QSignalBlocker blockExpr(txtExpr);
        const std::string formula = field(11);
        const bool expression = IsExpressionText(formula);
        cbFormula->setCurrentIndex(expression ? -1 : FindItemFolded(cbFormula, formula));
        SetText(txtExpr, expression ? formula.substr(1) : std::string());
    }
    SetText(txtUnits, field(12));
    SetText(txtFactor, field(13));
    SetText(txtOffset, field(14));
    const std::vector<std::string> names = SplitList(field(15));
    std::string flags;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i) flags += '\n';
        flags += names[i];
    }
    // A last empty name needs its own line break to come back.
    if (!names.empty() && names.back().empty()) flags += '\n';
    memFlag->setPlainText(Latin1(flags));
    SetText(txtAvg, field(16));
    txtExprChange();
}

void TfrmEditWord::SetFrame(const std::vector<std::vector<std::string>>& rows, int row)
{
    frameRows_ = rows;
    frameRow_ = row;
}

bool TfrmEditWord::checkExpression(std::string& error, long double& lo, long double& hi, bool& ranged) const
{
    error.clear();
    ranged = false;
    std::vector<std::string> cells = SplitList(StoreRow());
    for (std::string& c : cells) c = DashToEmpty(c);
    std::vector<std::vector<std::string>> rows = frameRows_;
    int self = frameRow_;
    if (self >= 0 && self < static_cast<int>(rows.size())) rows[static_cast<std::size_t>(self)] = cells;
    else {
        self = static_cast<int>(rows.size());
        rows.push_back(cells);
    }
    TAldl aldl;
    for (const auto& r : rows) aldl.Add(r);
    for (const TExprProblem& p : aldl.CompileExpressions())
        if (p.Word == self) {
            error = p.What;
            return false;
        }
    ranged = ComputedRange(aldl, self, lo, hi);
    return true;
}

void TfrmEditWord::txtExprChange()
{
    const bool expression = !txtExpr->text().trimmed().isEmpty();
    if (expression && cbFormula->currentIndex() >= 0) {
        // An expression replaces the preset: the list shows none and the
        // multiplier and addend lock, as with no formula chosen.
        const QSignalBlocker block(cbFormula);
        cbFormula->setCurrentIndex(-1);
        setFormula();
    }
    lblExprCheck->setVisible(expression);
    if (!expression) return;
    std::string error;
    long double lo = 0, hi = 0;
    bool ranged = false;
    if (checkExpression(error, lo, hi, ranged)) {
        lblExprCheck->setStyleSheet(QString());
        lblExprCheck->setText(Latin1(ranged ? "Gives " + NumberToText(lo) + " to " + NumberToText(hi) + " over the raw range"
                                            : std::string("Gives no number over the raw range")));
    } else {
        lblExprCheck->setStyleSheet("color: #c00000");
        lblExprCheck->setText(Latin1("Not valid: " + error));
    }
    if (!recalculating_) {
        try {
            calcDefaults();
        } catch (const std::exception&) {
            // Too many bits: Ok or leaving the box reports it, not each keystroke.
        }
    }
}

std::string TfrmEditWord::StoreRow() const
{
    const std::vector<std::string> fields = {
        Text(txtName),    Text(txtId),     Text(txtStart),  Text(txtBits),
        Text(txtAmin),    Text(txtAmax),   Latin1Of(cbDisplay->currentText()),
        Text(txtChart),   Text(txtSeries), Text(txtDmin),   Text(txtDmax),
        txtExpr->text().trimmed().isEmpty() ? Latin1Of(cbFormula->currentText()) : "=" + Text(txtExpr),
        Text(txtUnits),  Text(txtFactor),
        Text(txtOffset),  JoinCommaText(MemoLines(memFlag)), Text(txtAvg)};
    std::vector<std::string> dashed;
    dashed.reserve(fields.size());
    for (const std::string& s : fields) dashed.push_back(EmptyToDash(s));
    return JoinCommaText(dashed);
}

std::int32_t TfrmEditWord::rawRange() const
{
    const std::int32_t bits = StrToIntDef(Text(txtBits), 0);
    // 2^bits - 1 truncated: no bits, or fewer than none, leave nothing to count.
    if (bits <= 0) return 0;
    if (bits >= 32)
        throw ERangeError("Range check error: " + std::to_string(bits) +
                          " bits give a raw range too large for a 32-bit integer (at most 31 bits)");
    return static_cast<std::int32_t>((std::int64_t{1} << bits) - 1);
}

void TfrmEditWord::calcRange() { SetText(txtRange, "0-" + std::to_string(rawRange())); }

void TfrmEditWord::setFormula()
{
    const QString formula = cbFormula->currentText();
    // Enabling first, so a preset whose figures fail still locks them.
    const bool user = formula == UserDefined;
    EnableControl(txtFactor, user);
    EnableControl(txtOffset, user);
    lblFactor->setEnabled(user);
    lblOffset->setEnabled(user);
    if (formula == "Percentage") {
        const std::int32_t range = rawRange();
        if (range == 0) throw DivisionByZero("Division by zero: \"Percentage\" needs a bit count of 1 or more");
        SetText(txtFactor, NumberToText(100.0L / range));
        SetText(txtOffset, "0");
        SetText(txtUnits, "%");
    }
    if (formula == "Degrees C") {
        SetText(txtFactor, "0.75");
        SetText(txtOffset, "-40");
        SetText(txtUnits, "DegC");
    }
    if (formula == "Volts") {
        SetText(txtFactor, "0.1");
        SetText(txtOffset, "0");
        SetText(txtUnits, "Volts");
    }
}

void TfrmEditWord::setDisplay()
{
    const QString display = cbDisplay->currentText();
    const bool none = cbDisplay->currentIndex() < 0;
    const bool chart = display == "Chart";
    const bool flag = display == "Flag";
    if (!none && !chart)
        for (QLineEdit* e : {txtChart, txtSeries, txtDmin, txtDmax}) e->clear();
    const bool limits = chart || none;
    for (QLineEdit* e : {txtChart, txtSeries, txtDmin, txtDmax}) EnableControl(e, limits);
    for (QWidget* w : std::initializer_list<QWidget*>{lblChart, lblSeries, lblDmin, lblDmax, btnDmin, btnDmax})
        w->setEnabled(limits);
    EnableControl(memFlag, flag);
    lblFlag->setEnabled(flag);
}

void TfrmEditWord::calcDefaults()
{
    txtAmindef->setText(txtDmin->text());
    txtAmaxdef->setText(txtDmax->text());
    const std::int32_t range = rawRange();
    if (!txtExpr->text().trimmed().isEmpty()) {
        // The expression's own extremes; one that does not compile shows the raw value.
        std::string error;
        long double lo = 0, hi = 0;
        bool ranged = false;
        if (!checkExpression(error, lo, hi, ranged) || !ranged) {
            lo = 0;
            hi = range;
        }
        SetText(txtDmindef, NumberToText(lo));
        SetText(txtDmaxdef, NumberToText(hi));
        return;
    }
    SetText(txtDmindef, std::to_string(StrToIntDef(Text(txtOffset), 0)));
    SetText(txtDmaxdef, NumberToText(FloatFromText(Text(txtFactor), 1) * range));
}

void TfrmEditWord::reCalc()
{
    // A message box taking the focus must not start a second pass.
    if (recalculating_) return;
    recalculating_ = true;
    std::string error;
    auto step = [this, &error](void (TfrmEditWord::*fn)()) {
        try {
            (this->*fn)();
            return true;
        } catch (const std::exception& e) {
            if (error.empty()) error = e.what();
            return false;
        }
    };
    step(&TfrmEditWord::setFormula);
    // The display kind is applied whatever the figures did: a Value or Flag
    // word left holding chart numbers would still be drawn on a chart.
    setDisplay();
    if (step(&TfrmEditWord::calcRange)) step(&TfrmEditWord::calcDefaults);
    if (!error.empty()) Dialogs().Message(error, "Diduvuve", MsgButtons::Ok, MsgKind::Error);
    recalculating_ = false;
}

void TfrmEditWord::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) reCalc();
}

void TfrmEditWord::btnOkClick()
{
    if (txtName->text().isEmpty()) {
        ShowMessage("Name is required");
        return;
    }
    if (txtId->text().isEmpty()) {
        ShowMessage("ID is required");
        return;
    }
    if (!txtExpr->text().trimmed().isEmpty()) {
        std::string error;
        long double lo, hi;
        bool ranged;
        if (!checkExpression(error, lo, hi, ranged)) {
            ShowMessage("Expression: " + error);
            return;
        }
    }
    accept();
}

void TfrmEditWord::btnCancelClick() { reject(); }
void TfrmEditWord::btnAminClick() { txtAmin->setText(txtAmindef->text()); }
void TfrmEditWord::btnAmaxClick() { txtAmax->setText(txtAmaxdef->text()); }
void TfrmEditWord::btnDminClick() { txtDmin->setText(txtDmindef->text()); }
void TfrmEditWord::btnDmaxClick() { txtDmax->setText(txtDmaxdef->text()); }
void TfrmEditWord::txtDminChange() { txtAmindef->setText(txtDmin->text()); }
void TfrmEditWord::txtDmaxChange() { txtAmaxdef->setText(txtDmax->text()); }
void TfrmEditWord::cbFormulaChange()
{
    // Choosing from the list replaces an expression.
    if (cbFormula->currentIndex() >= 0) txtExpr->clear();
    reCalc();
}
void TfrmEditWord::cbDisplayChange() { reCalc(); }
