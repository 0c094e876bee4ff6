#pragma once
// The word definition dialog: edits one definition row as row text.
#include <QDialog>
#include <string>

class TfrmEditWord : public QDialog {
    Q_OBJECT
public:
    explicit TfrmEditWord(QWidget* parent = nullptr);
    void LoadRow(const std::string& rowText);
    std::string StoreRow() const;

private:
    std::string row_;
};
