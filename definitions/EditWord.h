#pragma once
// The word definition dialog: edits one definition row as row text and keeps
// scaling, input range and the suggested limits consistent while typing.
#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// Enables or disables a control; an edit box also shows the window colour
// when enabled and its parent's background when not.
void EnableControl(QWidget* control, bool enabled);
// A one-line box turns line breaks (typed, pasted or set) into blanks: a
// break could never be stored in a definition or settings line.
void KeepOneLine(QLineEdit* edit);

class TfrmEditWord : public QDialog {
    Q_OBJECT
public:
    explicit TfrmEditWord(QWidget* parent = nullptr);

    void LoadRow(const std::string& rowText);
    std::string StoreRow() const;
    // The definition's word rows (cells by column) and the index among them
    // of the row being edited (the count for a new word), so an expression
    // is checked against the words it reads.
    void SetFrame(const std::vector<std::vector<std::string>>& rows, int row);
    // Checks the typed expression as set-up will; false with `error` when it
    // would not compile. `ranged` tells whether lo and hi, its smallest and
    // largest value over the raw range, were found.
    bool checkExpression(std::string& error, long double& lo, long double& hi, bool& ranged) const;

    void reCalc();
    // 2^bits - 1; throws ERangeError when it does not fit 32 bits.
    std::int32_t rawRange() const;
    void calcRange();
    void setFormula();
    void setDisplay();
    void calcDefaults();

    void btnOkClick();
    void btnCancelClick();
    void btnAminClick();
    void btnAmaxClick();
    void btnDminClick();
    void btnDmaxClick();
    void txtDminChange();
    void txtDmaxChange();
    void cbFormulaChange();
    void cbDisplayChange();
    void txtExprChange();

    QLineEdit *txtName = nullptr, *txtId = nullptr;
    QGroupBox *grpInput = nullptr, *grpCalc = nullptr, *grpOutput = nullptr;
    QLineEdit *txtStart = nullptr, *txtBits = nullptr, *txtRange = nullptr;
    QComboBox* cbFormula = nullptr;
    QLabel *lblFactor = nullptr, *lblOffset = nullptr;
    QLineEdit* txtExpr = nullptr;   // the expression, without its "="
    QLabel* lblExprCheck = nullptr; // what is wrong with it, or the values it gives
    QLineEdit *txtFactor = nullptr, *txtOffset = nullptr, *txtUnits = nullptr, *txtAvg = nullptr;
    QComboBox* cbDisplay = nullptr;
    QLineEdit *txtAmin = nullptr, *txtAmindef = nullptr, *txtAmax = nullptr, *txtAmaxdef = nullptr;
    QPushButton *btnAmin = nullptr, *btnAmax = nullptr;
    QLabel *lblChart = nullptr, *lblSeries = nullptr, *lblDmin = nullptr, *lblDmax = nullptr, *lblFlag = nullptr;
    QLineEdit *txtChart = nullptr, *txtSeries = nullptr;
    QLineEdit *txtDmin = nullptr, *txtDmindef = nullptr, *txtDmax = nullptr, *txtDmaxdef = nullptr;
    QPushButton *btnDmin = nullptr, *btnDmax = nullptr;
    QPlainTextEdit* memFlag = nullptr;
    QPushButton *btnOk = nullptr, *btnCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool recalculating_ = false;
    std::vector<std::vector<std::string>> frameRows_;
    int frameRow_ = -1;
};
