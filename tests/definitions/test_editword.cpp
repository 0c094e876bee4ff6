// The word definition dialog driven through its controls, offscreen.
#include "decode/Aldl.h"
#include "decode/Hex.h"
#include "definitions/EditWord.h"
#include "tests/support/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

const char* const BlankRow = "-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-";
const char* const RpmRow = "RPM,R1,2,8,-,6000,Chart,1,1,0,6375,\"(User defined)\",rpm,25,0,-,-";

std::string T(const QLineEdit* e)
{
    QByteArray b = e->text().toLatin1();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// Loads a row and shows the dialog the way the main window's opening does.
std::unique_ptr<TfrmEditWord> Opened(const std::string& row)
{
    auto dlg = std::make_unique<TfrmEditWord>();
    dlg->LoadRow(row);
    dlg->show();
    return dlg;
}

void Choose(QComboBox* cb, const char* text)
{
    const int i = cb->findText(text);
    QVERIFY2(i >= 0, text);
    cb->setCurrentIndex(i);
}

void SetBits(TfrmEditWord& d, const char* bits)
{
    d.txtBits->setText(bits);
    emit d.txtBits->editingFinished();
}

} // namespace

class TestEditWord : public QObject {
    Q_OBJECT
private slots:
    void blankRowOpensEmpty();
    void presetsFillScaling();
    void userDefinedKeepsTyping();
    void displayKindGovernsOutputs();
    void defaultsAndCopyButtons();
    void rowsRoundTrip();
    void flagNamesRoundTrip();
    void okRefusesWithoutNameOrId();
    void modalOkCancelEscape();
    void tooManyBitsIsRangeError();
    void percentageWithoutRangeFails();
    void focusLeavingBitsRecalculates();
    void enableControlColours();
    void expressionReplacesScaling();
    void expressionCheckedWhileTyping();
};

void TestEditWord::blankRowOpensEmpty()
{
    ScriptedDialogs dialogs;
    auto d = Opened(BlankRow);
    for (QLineEdit* e : {d->txtName, d->txtId, d->txtStart, d->txtBits, d->txtAmin, d->txtAmax, d->txtChart,
                         d->txtSeries, d->txtDmin, d->txtDmax, d->txtUnits, d->txtFactor, d->txtOffset, d->txtAvg})
        QVERIFY2(e->text().isEmpty(), qPrintable(e->objectName()));
    QVERIFY(d->memFlag->toPlainText().isEmpty());
    QCOMPARE(d->cbFormula->currentIndex(), -1);
    QCOMPARE(d->cbDisplay->currentIndex(), -1);
    QVERIFY(!d->txtFactor->isEnabled() && !d->txtOffset->isEnabled());
    QVERIFY(!d->lblFactor->isEnabled());
    QVERIFY(d->txtUnits->isEnabled());
    QVERIFY(!d->txtAvg->isEnabled() && !d->txtRange->isEnabled());
    // No display kind chosen: the chart controls stay open.
    QVERIFY(d->txtChart->isEnabled() && d->txtDmax->isEnabled() && d->btnDmin->isEnabled());
    QVERIFY(!d->memFlag->isEnabled());
    QCOMPARE(T(d->txtRange), "0-0");
    QCOMPARE(T(d->txtDmaxdef), "0");
    SetBits(*d, "8");
    QCOMPARE(T(d->txtRange), "0-255");
    QCOMPARE(T(d->txtDmaxdef), "255");
    QCOMPARE(d->StoreRow(), "-,-,-,8,-,-,-,-,-,-,-,-,-,-,-,-,-");
    QVERIFY(dialogs.Messages().empty());
}

void TestEditWord::presetsFillScaling()
{
    ScriptedDialogs dialogs;
    auto d = Opened("Coolant,CT,5,8,-,-,Value,-,-,-,-,-,-,7,7,-,-");
    Choose(d->cbFormula, "Degrees C");
    QCOMPARE(T(d->txtFactor), "0.75");
    QCOMPARE(T(d->txtOffset), "-40");
    QCOMPARE(T(d->txtUnits), "DegC");
    QCOMPARE(T(d->txtDmindef), "-40");
    QCOMPARE(T(d->txtDmaxdef), "191.25"); // the addend is not added
    QVERIFY(!d->txtFactor->isEnabled() && !d->lblOffset->isEnabled());

    Choose(d->cbFormula, "Percentage");
    QCOMPARE(T(d->txtFactor), "0.3922");
    QCOMPARE(T(d->txtUnits), "%");
    SetBits(*d, "10");
    QCOMPARE(T(d->txtFactor), "0.0978");
    SetBits(*d, "1");
    QCOMPARE(T(d->txtFactor), "100");
    QCOMPARE(T(d->txtDmaxdef), "100");

    Choose(d->cbFormula, "Volts");
    QCOMPARE(T(d->txtFactor), "0.1");
    QCOMPARE(T(d->txtOffset), "0");
    QCOMPARE(T(d->txtUnits), "Volts");

    // A stored preset row comes back with the preset's figures once shown.
    auto stored = Opened("Coolant,CT,5,8,-,-,Value,-,-,-,-,\"Degrees C\",F,2,3,-,-");
    QCOMPARE(T(stored->txtFactor), "0.75");
    QCOMPARE(T(stored->txtUnits), "DegC");
    QVERIFY(dialogs.Messages().empty());
}

void TestEditWord::userDefinedKeepsTyping()
{
    ScriptedDialogs dialogs;
    auto d = Opened(RpmRow);
    QCOMPARE(d->cbFormula->currentText(), QString("(User defined)"));
    QVERIFY(d->txtFactor->isEnabled() && d->txtOffset->isEnabled() && d->lblFactor->isEnabled());
    QCOMPARE(T(d->txtFactor), "25");
    QCOMPARE(T(d->txtDmaxdef), "6375");
    d->txtFactor->setText("2.5");
    emit d->txtFactor->editingFinished();
    QCOMPARE(T(d->txtDmaxdef), "637.50");
    d->txtOffset->setText("0.5");
    emit d->txtOffset->editingFinished();
    QCOMPARE(T(d->txtDmindef), "0"); // not an integer
    // An unreadable multiplier counts as 1.
    d->txtFactor->setText("abc");
    emit d->txtFactor->editingFinished();
    QCOMPARE(T(d->txtDmaxdef), "255");
    QCOMPARE(T(d->txtFactor), "abc");
}

void TestEditWord::displayKindGovernsOutputs()
{
    ScriptedDialogs dialogs;
    auto d = Opened(RpmRow);
    QVERIFY(d->txtChart->isEnabled() && d->lblDmax->isEnabled() && d->btnDmax->isEnabled());
    QVERIFY(!d->memFlag->isEnabled() && !d->lblFlag->isEnabled());
    QCOMPARE(T(d->txtAmaxdef), "6375");

    Choose(d->cbDisplay, "Value");
    for (QLineEdit* e : {d->txtChart, d->txtSeries, d->txtDmin, d->txtDmax}) {
        QVERIFY2(e->text().isEmpty(), qPrintable(e->objectName()));
        QVERIFY2(!e->isEnabled(), qPrintable(e->objectName()));
    }
    QVERIFY(!d->lblChart->isEnabled() && !d->btnDmin->isEnabled());
    QVERIFY(d->txtAmindef->text().isEmpty() && d->txtAmaxdef->text().isEmpty());
    QVERIFY(d->txtAmin->isEnabled() && d->btnAmin->isEnabled());
    QCOMPARE(d->StoreRow(), "RPM,R1,2,8,-,6000,Value,-,-,-,-,\"(User defined)\",rpm,25,0,-,-");

    Choose(d->cbDisplay, "Flag");
    QVERIFY(d->memFlag->isEnabled() && d->lblFlag->isEnabled());
    QVERIFY(!d->txtDmin->isEnabled());

    // Flag names survive a switch away; they are only greyed.
    d->memFlag->setPlainText("Off\nOn");
    Choose(d->cbDisplay, "Chart");
    QVERIFY(d->txtChart->isEnabled() && !d->memFlag->isEnabled());
    QCOMPARE(d->memFlag->toPlainText(), QString("Off\nOn"));

    // An unknown kind (any case mismatch counts as a match) selects nothing.
    auto odd = Opened("X,X,1,8,-,-,Gauge,2,3,1,9,-,-,-,-,-,-");
    QCOMPARE(odd->cbDisplay->currentIndex(), -1);
    QVERIFY(odd->txtChart->isEnabled() && odd->txtDmin->isEnabled() && odd->lblSeries->isEnabled());
    QCOMPARE(T(odd->txtChart), "2");
    QCOMPARE(odd->StoreRow(), "X,X,1,8,-,-,-,2,3,1,9,-,-,-,-,-,-");
    auto lower = Opened("X,X,1,8,-,-,chart,2,3,1,9,volts,-,-,-,-,-");
    QCOMPARE(lower->cbDisplay->currentText(), QString("Chart"));
    QCOMPARE(lower->cbFormula->currentText(), QString("Volts"));
    QVERIFY(dialogs.Messages().empty());
}

void TestEditWord::defaultsAndCopyButtons()
{
    ScriptedDialogs dialogs;
    auto d = Opened("Coolant,CT,5,8,-,-,Chart,1,2,-,-,\"Degrees C\",-,-,-,-,-");
    d->txtDmin->setFocus();
    QTest::keyClicks(d->txtDmin, "-3");
    QCOMPARE(T(d->txtAmindef), "-3");
    QTest::keyClick(d->txtDmin, Qt::Key_0);
    QCOMPARE(T(d->txtAmindef), "-30");
    d->btnAmin->click();
    QCOMPARE(T(d->txtAmin), "-30");

    d->btnDmin->click();
    QCOMPARE(T(d->txtDmin), "-40");
    QCOMPARE(T(d->txtAmindef), "-40");
    d->btnDmax->click();
    QCOMPARE(T(d->txtDmax), "191.25");
    d->btnAmax->click();
    QCOMPARE(T(d->txtAmax), "191.25");
    QCOMPARE(d->StoreRow(), "Coolant,CT,5,8,-30,191.25,Chart,1,2,-40,191.25,\"Degrees C\",DegC,0.75,-40,-,-");
}

void TestEditWord::rowsRoundTrip()
{
    ScriptedDialogs dialogs;
    TfrmEditWord d;
    d.LoadRow(RpmRow);
    QCOMPARE(d.StoreRow(), RpmRow);
    QCOMPARE(T(d.txtAmin), "");
    QCOMPARE(T(d.txtAmax), "6000");

    // Every field travels, bytes above 127 and the carried average included.
    const std::string odd = "\"Air \xB0""C\",A\xE9,\"3.2\",6,1,2,Value,-,-,-,-,-,u,1,0,-,\"x,y\"";
    d.LoadRow(odd);
    QCOMPARE(T(d.txtName), "Air \xB0""C");
    QCOMPARE(T(d.txtAvg), "x,y");
    QCOMPARE(d.StoreRow(), "\"Air \xB0""C\",A\xE9,3.2,6,1,2,Value,-,-,-,-,-,u,1,0,-,\"x,y\"");

    // A short row clears what an earlier row left behind.
    d.LoadRow("Only,O");
    QCOMPARE(d.StoreRow(), "Only,O,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-");
    QCOMPARE(d.cbFormula->currentIndex(), -1);
    d.LoadRow("");
    QCOMPARE(d.StoreRow(), BlankRow);
}

void TestEditWord::flagNamesRoundTrip()
{
    ScriptedDialogs dialogs;
    TfrmEditWord d;
    d.LoadRow("Status,S,7,2,-,-,Flag,-,-,-,-,-,-,-,-,-,-");
    d.memFlag->setPlainText("Engine off\nRunning\n");
    const std::string row = d.StoreRow();
    QCOMPARE(row, "Status,S,7,2,-,-,Flag,-,-,-,-,-,-,-,-,\"\"\"Engine off\"\",Running\",-");
    d.LoadRow(BlankRow);
    QVERIFY(d.memFlag->toPlainText().isEmpty());
    d.LoadRow(row);
    QCOMPARE(d.memFlag->toPlainText(), QString("Engine off\nRunning"));
    QCOMPARE(d.StoreRow(), row);

    // Empty names keep their places.
    d.memFlag->setPlainText("\nOn\n\nOff");
    const std::string gaps = d.StoreRow();
    d.LoadRow(gaps);
    QCOMPARE(d.StoreRow(), gaps);
    QCOMPARE(d.memFlag->toPlainText(), QString("\nOn\n\nOff"));
    // so does a last empty one
    d.memFlag->setPlainText("On\nOff\n\n");
    const std::string last = d.StoreRow();
    d.LoadRow(last);
    QCOMPARE(d.memFlag->toPlainText(), QString("On\nOff\n\n"));
    QCOMPARE(d.StoreRow(), last);
}

void TestEditWord::okRefusesWithoutNameOrId()
{
    ScriptedDialogs dialogs;
    auto d = Opened(BlankRow);
    d->btnOk->click();
    QVERIFY(d->isVisible());
    d->txtId->setText("R1");
    d->btnOk->click();
    QVERIFY(d->isVisible());
    d->txtName->setText("RPM");
    d->txtId->clear();
    d->btnOk->click();
    QVERIFY(d->isVisible());
    QCOMPARE(dialogs.Messages(), (std::vector<std::string>{"Name is required", "Name is required", "ID is required"}));
    d->txtId->setText("R1");
    d->btnOk->click();
    QVERIFY(!d->isVisible());
    QCOMPARE(d->result(), int(QDialog::Accepted));
    QVERIFY(dialogs.unexpected.empty());
}

void TestEditWord::modalOkCancelEscape()
{
    ScriptedDialogs dialogs;
    TfrmEditWord d;
    auto run = [&d](std::function<void()> act) {
        QTimer::singleShot(0, &d, act);
        QTimer::singleShot(5000, &d, [&d] { d.done(-1); }); // a broken test fails instead of hanging
        return d.exec();
    };
    d.LoadRow(RpmRow);
    QCOMPARE(run([&d] { QTest::keyClick(d.txtName, Qt::Key_Return); }), int(QDialog::Accepted));
    d.LoadRow(RpmRow);
    QCOMPARE(run([&d] { d.btnCancel->click(); }), int(QDialog::Rejected));
    d.LoadRow(RpmRow);
    QCOMPARE(run([&d] { QTest::keyClick(&d, Qt::Key_Escape); }), int(QDialog::Rejected));
    // Refused Ok keeps the loop running until Cancel.
    d.LoadRow(BlankRow);
    QCOMPARE(run([&d] {
                 d.btnOk->click();
                 QTimer::singleShot(0, d.btnCancel, &QPushButton::click);
             }),
             int(QDialog::Rejected));
    QCOMPARE(dialogs.Messages(), std::vector<std::string>{"Name is required"});
    // Enter on a focused button presses that button, not Ok.
    d.LoadRow(RpmRow);
    QCOMPARE(run([&d] { QTest::keyClick(d.btnCancel, Qt::Key_Return); }), int(QDialog::Rejected));
    d.LoadRow(RpmRow);
    QString copied;
    QCOMPARE(run([&] {
                 QTest::keyClick(d.btnAmax, Qt::Key_Enter);
                 copied = d.txtAmax->text();
                 QTimer::singleShot(0, d.btnCancel, &QPushButton::click);
             }),
             int(QDialog::Rejected));
    QCOMPARE(copied, QString("6375"));
}

void TestEditWord::tooManyBitsIsRangeError()
{
    ScriptedDialogs dialogs;
    auto d = Opened("Big,B,1,31,-,-,Chart,1,1,-,-,\"(User defined)\",-,1,0,-,-");
    QCOMPARE(T(d->txtRange), "0-2147483647");
    QVERIFY(dialogs.Messages().empty());

    Choose(d->cbFormula, "Degrees C");
    SetBits(*d, "32");
    QCOMPARE(dialogs.Messages().size(), std::size_t(1));
    QVERIFY(dialogs.Messages()[0].find("Range") != std::string::npos);
    // Texts set before the failure stay; the range and defaults keep the last good pass.
    QCOMPARE(T(d->txtFactor), "0.75");
    QCOMPARE(T(d->txtRange), "0-2147483647");
    QCOMPARE(T(d->txtDmindef), "-40");

    // Percentage fails in its own step; still one box per pass.
    Choose(d->cbFormula, "Percentage");
    QCOMPARE(dialogs.Messages().size(), std::size_t(2));
    QCOMPARE(T(d->txtFactor), "0.75");
    QVERIFY(!d->txtFactor->isEnabled());
    SetBits(*d, "8");
    QCOMPARE(T(d->txtFactor), "0.3922");
    QCOMPARE(T(d->txtRange), "0-255");
    QCOMPARE(dialogs.Messages().size(), std::size_t(2));
}

void TestEditWord::percentageWithoutRangeFails()
{
    ScriptedDialogs dialogs;
    auto d = Opened("P,P,1,-,-,-,Chart,2,3,0,9,\"(User defined)\",kPa,2,5,-,-");
    QCOMPARE(T(d->txtRange), "0-0");
    Choose(d->cbFormula, "Percentage");
    QCOMPARE(dialogs.Messages().size(), std::size_t(1));
    QVERIFY(dialogs.Messages()[0].find("Division by zero") != std::string::npos);
    QCOMPARE(T(d->txtFactor), "2");
    QCOMPARE(T(d->txtOffset), "5");
    QCOMPARE(T(d->txtUnits), "kPa");
    QVERIFY(!d->txtFactor->isEnabled());

    // The display kind still applies, so no stale chart numbers get stored.
    Choose(d->cbDisplay, "Value");
    QCOMPARE(dialogs.Messages().size(), std::size_t(2));
    QVERIFY(d->txtChart->text().isEmpty() && !d->txtChart->isEnabled());
    QCOMPARE(d->StoreRow(), "P,P,1,-,-,-,Value,-,-,-,-,Percentage,kPa,2,5,-,-");

    SetBits(*d, "0");
    QCOMPARE(dialogs.Messages().size(), std::size_t(3));
    SetBits(*d, "-3");
    QCOMPARE(dialogs.Messages().size(), std::size_t(4));
    QCOMPARE(T(d->txtRange), "0-0");
}

void TestEditWord::focusLeavingBitsRecalculates()
{
    ScriptedDialogs dialogs;
    auto d = Opened(BlankRow);
    d->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(d.get()));
    d->txtBits->setFocus();
    QTRY_VERIFY(d->txtBits->hasFocus());
    QTest::keyClicks(d->txtBits, "12");
    QCOMPARE(T(d->txtRange), "0-0");
    d->txtName->setFocus();
    QTRY_COMPARE(T(d->txtRange), "0-4095");
    QVERIFY(d->isVisible());
}

void TestEditWord::enableControlColours()
{
    QWidget parent;
    QPalette pp = parent.palette();
    pp.setColor(QPalette::Window, QColor(10, 20, 30));
    parent.setPalette(pp);
    auto* edit = new QLineEdit(&parent);
    auto* memo = new QPlainTextEdit(&parent);
    auto* label = new QLabel("x", &parent);
    const QColor window = QApplication::palette(edit).color(QPalette::Active, QPalette::Base);
    for (QWidget* w : std::initializer_list<QWidget*>{edit, memo}) {
        EnableControl(w, false);
        QVERIFY(!w->isEnabled());
        QCOMPARE(w->palette().color(QPalette::Disabled, QPalette::Base), QColor(10, 20, 30));
        EnableControl(w, true);
        QVERIFY(w->isEnabled());
        QCOMPARE(w->palette().color(QPalette::Active, QPalette::Base), window);
    }
    const QPalette before = label->palette();
    EnableControl(label, false);
    QVERIFY(!label->isEnabled());
    QCOMPARE(label->palette().color(QPalette::Disabled, QPalette::Base), before.color(QPalette::Disabled, QPalette::Base));
    EnableControl(nullptr, true);
}

void TestEditWord::expressionReplacesScaling()
{
    ScriptedDialogs dialogs;
    auto d = Opened("RPM,R1,8,16,-,-,Chart,1,1,-,-,=1310720/X,rpm,25,0,-,-");
    QCOMPARE(d->txtExpr->text(), QString("1310720/X"));
    QCOMPARE(d->cbFormula->currentIndex(), -1);
    QVERIFY(!d->txtFactor->isEnabled() && !d->txtOffset->isEnabled());
    // Defaults over the raw range: raw 0 has no number, raw 1 the largest.
    QCOMPARE(T(d->txtDmindef), std::string("20.00"));
    QCOMPARE(T(d->txtDmaxdef), std::string("1310720"));
    QCOMPARE(SplitList(d->StoreRow())[11], std::string("=1310720/X"));
    // A preset replaces the expression, and typing one drops the preset again.
    Choose(d->cbFormula, "Degrees C");
    QVERIFY(d->txtExpr->text().isEmpty());
    QCOMPARE(SplitList(d->StoreRow())[11], std::string("Degrees C"));
    Choose(d->cbFormula, "(User defined)");
    QVERIFY(d->txtFactor->isEnabled());
    d->txtExpr->setText("X*2-10");
    QCOMPARE(d->cbFormula->currentIndex(), -1);
    QVERIFY(!d->txtFactor->isEnabled());
    QCOMPARE(T(d->txtDmindef), std::string("-10"));
    QCOMPARE(T(d->txtDmaxdef), std::string("131060"));
    QVERIFY(dialogs.unexpected.empty());
}

void TestEditWord::expressionCheckedWhileTyping()
{
    ScriptedDialogs dialogs;
    auto d = Opened("Duty,DUTY,1,8,-,-,Value,-,-,-,-,-,%,1,0,-,-");
    // The other words of the definition: the edited row is the second.
    std::vector<std::string> ipw(DefColumnCount), rpm(DefColumnCount);
    ipw[colID] = "IPW";
    ipw[colFactor] = "0.1";
    ipw[colFormula] = "={DUTY}";
    rpm[colID] = "RPM";
    rpm[colBits] = "8";
    rpm[colFactor] = "25";
    d->SetFrame({ipw, {}, rpm}, 1);
    auto check = [&d] { return d->lblExprCheck->text().toStdString(); };
    d->txtExpr->setText("{RPM}*2+");
    QVERIFY2(check().find("Not valid: unexpected end") == 0, check().c_str());
    d->txtExpr->setText("{RPN}");
    QVERIFY2(check().find("unknown word ID \"RPN\"") != std::string::npos, check().c_str());
    d->txtExpr->setText("{IPW}");
    QVERIFY2(check().find("depends on itself (DUTY -> IPW -> DUTY)") != std::string::npos, check().c_str());
    d->btnOk->click();
    QVERIFY(d->isVisible());
    QCOMPARE(dialogs.Messages().back(), std::string("Expression: its value depends on itself (DUTY -> IPW -> DUTY)"));
    // RPM runs 0 to 6375 while this word's raw value runs 0 to 255.
    d->txtExpr->setText("RPM/25 + X");
    QCOMPARE(check(), std::string("Gives 0 to 510 over the raw range"));
    d->btnOk->click();
    QVERIFY(!d->isVisible());
    QCOMPARE(d->result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestEditWord)
#include "test_editword.moc"
