#pragma once
// The string grid of the definition and of the data and malfunction tables.
// Row 0 is the header row (shown as the column header) and column 0 the
// fixed Name column (shown as the row header, where rows are dragged).
// Cells hold bytes; they are shown as Latin-1 so no byte is ever changed.
#include "definitions/Persist.h"

#include <functional>

#include <QTableView>
#include <string>
#include <vector>

class TLxSgridModel;

class TLxSgrid : public QTableView {
    Q_OBJECT
public:
    explicit TLxSgrid(QWidget* parent = nullptr);
    ~TLxSgrid() override;

    int RowCount() const;
    void SetRowCount(int count); // at least the header row; kept rows keep their cells
    int ColCount() const;
    void SetColCount(int count); // at least the Name column

    std::string Cells(int col, int row) const; // out of range: empty text
    // Out of range is ignored. The view is told once per event-loop turn.
    void SetCells(int col, int row, const std::string& text);

    int Row() const;
    void SetRow(int row);

    int ColWidth(int col) const;
    void SetColWidth(int col, int width);
    void SetDefaultColWidth(int width); // every column takes it
    void SetDefaultRowHeight(int height);

    std::string GetRowText(int row) const;
    void SetRowText(int row, const std::string& text);
    std::string GetColWidthsText() const;
    void SetColWidthsText(const std::string& text);

    void SetInfo(const std::string& info);
    const std::string& Info() const;
    std::string FileName() const;
    bool Modified() const;

    void NewDefinition();
    // False only when the file was refused (its message was shown); a
    // cancelled dialog or an unreadable file gives true and changes nothing.
    bool LoadDefinition(const std::string& name);
    void StoreDefinition();
    bool SaveDefinition();
    void SaveDefinitionAs();

    void RemoveRow(int row);
    void MoveGridRow(int from, int to);

    TLxPersist& Store();
    // Called whenever the grid has been written into the store (which first
    // reads the file again), so sections kept elsewhere can be written too.
    std::function<void(TLxPersist&)> AfterStore;

    std::vector<std::string> HeaderNames;

signals:
    void RowMoved(int from, int to);
    void CellDoubleClicked(int col, int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool NameCellEvent(QEvent* event);
    void PaintCorner(QWidget* corner);
    void EmptyRow(int row);

    TLxSgridModel* model_;
    TLxPersist store_;
    std::string info_;
    int row_ = 1;
    int nameWidth_ = 26;
    int dragFrom_ = -1;
    bool sizingName_ = false;
    QWidget* corner_ = nullptr;
};
