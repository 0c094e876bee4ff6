// The document commands of the main window: new, open, save, save as, edit,
// delete and move a word, and the header information moving in and out of
// the definition.
#include "decode/Hex.h"
#include "definitions/Adx.h"
#include "definitions/Dialogs.h"
#include "definitions/QtText.h"
#include "definitions/Sgrid.h"
#include "ui/Companions.h"
#include "ui/Main.h"
#include "ui/QtDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {

void SelectByText(QComboBox* c, const std::string& text) { c->setCurrentIndex(FindItemFolded(c, text)); }

} // namespace

void TfrmMain::SaveInfo()
{
    std::vector<std::string> f;
    for (QLineEdit* e : {txtTitle, txtVin, txtEcm, txtPromID, txtCountry, txtLitres})
        f.push_back(EmptyToDash(Latin1Of(e->text())));
    f.push_back(EmptyToDash(Latin1Of(cbInject->currentText())));
    f.push_back(EmptyToDash(Latin1Of(cbTrans->currentText())));
    for (QLineEdit* e : {txtYear, txtRequest, txtInterval}) f.push_back(EmptyToDash(Latin1Of(e->text())));
    f.push_back(chkEcho->isChecked() ? "Y" : "-");
    f.push_back(EmptyToDash(Latin1Of(txtCom->text())));
    sgAldl->SetInfo(JoinCommaText(f));
    sgAldl->StoreDefinition();
    StoreAnalysisChoices();
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
    ShowInfo();
    ShowDocumentTitle();
}

void TfrmMain::ShowInfo()
{
    std::vector<std::string> f = SplitList(sgAldl->Info());
    while (f.size() < 13) f.emplace_back("-");
    QLineEdit* edits[] = {txtTitle, txtVin, txtEcm, txtPromID, txtCountry, txtLitres};
    for (int i = 0; i < 6; ++i) edits[i]->setText(Latin1(DashToEmpty(f[static_cast<std::size_t>(i)])));
    SelectByText(cbInject, DashToEmpty(f[6]));
    SelectByText(cbTrans, DashToEmpty(f[7]));
    txtYear->setText(Latin1(DashToEmpty(f[8])));
    txtRequest->setText(Latin1(DashToEmpty(f[9])));
    txtInterval->setText(Latin1(DashToEmpty(f[10])));
    chkEcho->setChecked(f[11] == "Y");
    txtCom->setText(Latin1(DashToEmpty(f[12])));
}

void TfrmMain::ImportAdx1Click()
{
    if (!DocumentCloseQuery()) return;
    const auto name = Dialogs().OpenFileName("ADX definition files (*.adx)|*.adx", "adx");
    if (!name || name->empty()) return;
    TAdxImport imp;
    std::string error;
    if (!ImportAdxFile(*name, imp, error)) {
        Dialogs().Message("Can't import " + *name + ": " + error, "Diduvuve", MsgButtons::Ok, MsgKind::Error);
        return;
    }
    sgAldl->NewDefinition();
    const int words = static_cast<int>(imp.Def.Words.size());
    sgAldl->SetRowCount(words + 2);
    for (int k = 1; k <= words + 1; ++k)
        for (int c = 0; c < sgAldl->ColCount(); ++c) {
            const auto& row = k <= words ? imp.Def.Words[static_cast<std::size_t>(k - 1)] : std::vector<std::string>();
            sgAldl->SetCells(c, k, c < static_cast<int>(row.size()) ? row[static_cast<std::size_t>(c)] : std::string());
        }
    sgAldl->SetInfo(imp.Def.Info);
    if (imp.HasAnalysis) WriteAnalysisChoices(sgAldl->Store(), imp.Analysis);
    linkEdit.reset(); // an earlier unsaved document's edit is not this one's
    WriteLinkSettings(sgAldl->Store(), imp.Link);
    analysisWords_.clear(); // the Log Analysis page reads the new choices
    ShowInfo();
    SaveInfo(); // unsaved: the close question asks before it is lost
    SetUpDisplays();
    setWindowTitle(MainTitle);
    if (const std::string report = imp.ReportText(*name); !report.empty())
        Dialogs().Message(report, "Import ADX", MsgButtons::Ok, MsgKind::Information);
}

void TfrmMain::ShowDocumentTitle()
{
    // File names are as the dialog gave them, in the system's encoding.
    setWindowTitle(QString::fromLatin1(MainTitle) + " - " + QString::fromLocal8Bit(sgAldl->FileName().c_str()));
}

bool TfrmMain::DocumentCloseQuery()
{
    SaveInfo();
    if (sgAldl->Modified()) {
        switch (Dialogs().Message("Aldl configuration has not been saved. Save now?", "Save data...",
                                  MsgButtons::YesNoCancel, MsgKind::Question)) {
        case MsgAnswer::Cancel: return false;
        case MsgAnswer::Yes:
            if (!sgAldl->SaveDefinition()) {
                ShowDocumentTitle();
                return false;
            }
            break;
        default: break;
        }
    }
    ShowDocumentTitle();
    return true;
}

void TfrmMain::Save1Click()
{
    SaveInfo();
    sgAldl->SaveDefinition();
    ShowDocumentTitle();
}

void TfrmMain::SaveAs1Click()
{
    SaveInfo();
    sgAldl->SaveDefinitionAs();
    ShowDocumentTitle();
}

void TfrmMain::btnEditClick() { EditWord(); }

void TfrmMain::EditWord()
{
    if (!frmEditWord) return;
    const int row = sgAldl->Row();
    // The other words, for checking an expression against those it reads.
    std::vector<std::vector<std::string>> words;
    for (int r = 1; r <= sgAldl->RowCount() - 2; ++r) {
        words.emplace_back();
        for (int c = 0; c < DefColumnCount; ++c) words.back().push_back(sgAldl->Cells(c, r));
    }
    frmEditWord->SetFrame(words, row - 1);
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

void TfrmMain::sgAldlRowMoved(int fromIndex, int toIndex)
{
    // the blank row stays last, or Save would drop the word now below it
    static bool mending = false;
    if (rowDeleting || mending) return;
    const int last = sgAldl->RowCount() - 1;
    mending = true;
    if (fromIndex == last) sgAldl->MoveGridRow(toIndex, last); // the drag is undone
    else if (toIndex == last) sgAldl->MoveGridRow(last, last - 1);
    mending = false;
}
