#include "definitions/EditWord.h"

// Placeholder until the full dialog is built: keeps the row unchanged.
TfrmEditWord::TfrmEditWord(QWidget* parent) : QDialog(parent)
{
    setObjectName("frmEditWord");
    setWindowTitle("ALDL datastream definition");
}

void TfrmEditWord::LoadRow(const std::string& rowText) { row_ = rowText; }

std::string TfrmEditWord::StoreRow() const { return row_; }
