// The document commands of the main window: new, open, save, save as, edit,
// delete and move a word, and the header information moving in and out of
// the definition.
#include "decode/Hex.h"
#include "definitions/Dialogs.h"
#include "definitions/Sgrid.h"
#include "ui/Companions.h"
#include "ui/Main.h"
#include "ui/QtDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {

std::string Text(const QString& q)
{
    QByteArray b = q.toLatin1();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

QString Q(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

void SelectByText(QComboBox* c, const std::string& text)
{
    c->setCurrentIndex(-1);
    for (int i = 0; i < c->count(); ++i)
        if (c->itemText(i).compare(Q(text), Qt::CaseInsensitive) == 0) {
            c->setCurrentIndex(i);
            return;
        }
}

} // namespace

void TfrmMain::SaveInfo()
{
    std::vector<std::string> f;
    for (QLineEdit* e : {txtTitle, txtVin, txtEcm, txtPromID, txtCountry, txtLitres})
        f.push_back(EmptyToDash(Text(e->text())));
    f.push_back(EmptyToDash(Text(cbInject->currentText())));
    f.push_back(EmptyToDash(Text(cbTrans->currentText())));
    for (QLineEdit* e : {txtYear, txtRequest, txtInterval}) f.push_back(EmptyToDash(Text(e->text())));
    f.push_back(chkEcho->isChecked() ? "Y" : "-");
    f.push_back(EmptyToDash(Text(txtCom->text())));
    sgAldl->SetInfo(JoinCommaText(f));
    sgAldl->StoreDefinition();
}

void TfrmMain::New1Click()
{
    sgAldl->NewDefinition();
    setWindowTitle(MainTitle);
}

void TfrmMain::Open1Click()
{
    if (!sgAldl->LoadDefinition("")) return; // refused: its message was shown, nothing changes
    SetUpDisplays();
    std::vector<std::string> f = SplitList(sgAldl->Info());
    while (f.size() < 13) f.emplace_back("-");
    QLineEdit* edits[] = {txtTitle, txtVin, txtEcm, txtPromID, txtCountry, txtLitres};
    for (int i = 0; i < 6; ++i) edits[i]->setText(Q(DashToEmpty(f[static_cast<std::size_t>(i)])));
    SelectByText(cbInject, DashToEmpty(f[6]));
    SelectByText(cbTrans, DashToEmpty(f[7]));
    txtYear->setText(Q(DashToEmpty(f[8])));
    txtRequest->setText(Q(DashToEmpty(f[9])));
    txtInterval->setText(Q(DashToEmpty(f[10])));
    chkEcho->setChecked(f[11] == "Y");
    txtCom->setText(Q(DashToEmpty(f[12])));
    setWindowTitle(Q(std::string(MainTitle) + " - " + sgAldl->FileName()));
}

void TfrmMain::Save1Click()
{
    SaveInfo();
    sgAldl->SaveDefinition();
    setWindowTitle(Q(std::string(MainTitle) + " - " + sgAldl->FileName()));
}

void TfrmMain::SaveAs1Click()
{
    SaveInfo();
    sgAldl->SaveDefinitionAs();
    setWindowTitle(Q(std::string(MainTitle) + " - " + sgAldl->FileName()));
}

void TfrmMain::btnEditClick() { EditWord(); }

void TfrmMain::EditWord()
{
    if (!frmEditWord) return;
    const int row = sgAldl->Row();
    frmEditWord->LoadRow(sgAldl->GetRowText(row));
    if (ExecModal(*frmEditWord) == QDialog::Accepted) {
        sgAldl->SetRowText(row, frmEditWord->StoreRow());
        if (row == sgAldl->RowCount() - 1 && !sgAldl->Cells(0, row).empty() && !sgAldl->Cells(1, row).empty()) {
            sgAldl->SetRowCount(sgAldl->RowCount() + 1);
            for (int c = 0; c < sgAldl->ColCount(); ++c) sgAldl->SetCells(c, sgAldl->RowCount() - 1, "");
        }
    }
    SetUpDisplays();
}

void TfrmMain::btnDelClick()
{
    const int row = sgAldl->Row();
    if (sgAldl->RowCount() > 2 && row == sgAldl->RowCount() - 1) return;
    if (Dialogs().Message("Delete Current row?", "Delete...", MsgButtons::YesNo, MsgKind::Question) == MsgAnswer::Yes) {
        rowDeleting = true;
        if (sgAldl->Cells(colDisplay, row) == "Chart") {
            const int chart = StrToIntDef(sgAldl->Cells(colChart, row), 0);
            const int series = StrToIntDef(sgAldl->Cells(colSeries, row), 0);
            if (TLxChart* c = Chart(chart)) c->ClearSeries(series);
        }
        sgAldl->RemoveRow(row);
        rowDeleting = false;
    }
    SetUpDisplays();
}

void TfrmMain::sgAldlRowMoved(int, int toIndex)
{
    if (rowDeleting) return;
    if (toIndex == sgAldl->RowCount() - 1) sgAldl->MoveGridRow(sgAldl->RowCount() - 1, sgAldl->RowCount() - 2);
}
