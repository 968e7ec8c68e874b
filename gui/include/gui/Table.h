#pragma once
// A grid of cells, each holding a widget with its own alignment and paddings. The table
// sizes its columns and rows from the cell widgets, places them, and shows and hides them
// with itself. It neither owns the cell widgets nor takes pointer input.

#include "gui/Widget.h"

#include <vector>

class Table : public Widget {
public:
    // Cell alignment on each axis; other values leave that coordinate alone.
    enum { AlignStart = 1, AlignEnd = 2, AlignCentre = 3 };

    struct Cell {
        Widget* widget = nullptr;
        int alignH = AlignStart;
        int alignV = AlignCentre;
        int paddingLeft = 0;
        int paddingTop = 0;
        int paddingRight = 0;
        int paddingBottom = 0;
    };

    Table(PlayerGUI* gui, unsigned columns, unsigned rows);
    ~Table() override;

    bool isLayoutDirty() override;
    // Pointer input goes to the cell widgets.
    bool hitTest(int, int) override { return false; }
    bool measure(AbstractGraphicsContext* context) override;
    bool arrange(AbstractGraphicsContext* context) override;
    void onVisibilityChanged() override;

    // Out-of-range cells are ignored.
    void setCell(unsigned column, unsigned row, Widget* widget);
    void setCellAlignment(unsigned column, unsigned row, int horizontal, int vertical);
    void setCellPadding(unsigned column, unsigned row, int left, int top, int right, int bottom);
    void setAllCellsAlignment(int horizontal, int vertical);
    void setPadding(int left, int top, int right, int bottom);
    void setSpacing(int horizontal, int vertical);
    // The cell's rectangle from the last measure; all -1 out of range.
    Rect getCellRect(unsigned column, unsigned row) const;
    void setCellsVisible(bool visible);
    // Lays the table out now in the window's current size.
    void updateLayout();

    unsigned columns() const { return columns_; }
    unsigned rows() const { return rows_; }
    const Cell* cell(unsigned column, unsigned row) const;
    int columnWidth(unsigned column) const { return column < columns_ ? columnWidths_[column] : -1; }
    int rowHeight(unsigned row) const { return row < rows_ ? rowHeights_[row] : -1; }

    // Hidden cell widgets still count for row heights (not for column widths).
    unsigned char keepHiddenRows = 0;

protected:
    Cell* cellAt(unsigned column, unsigned row);

    unsigned char gridSetUp_ = 0;
    unsigned columns_;
    unsigned rows_;
    int paddingLeft_ = 0;
    int paddingTop_ = 0;
    int paddingRight_ = 0;
    int paddingBottom_ = 0;
    int spacingH_ = 0;
    int spacingV_ = 0;
    std::vector<Cell> cells_;
    std::vector<int> columnWidths_;
    std::vector<int> rowHeights_;
};
