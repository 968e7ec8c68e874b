#include "gui/Table.h"

#include "gui/PlayerGUI.h"

#include <algorithm>

Table::Table(PlayerGUI* gui, unsigned columns, unsigned rows)
    : Widget(gui),
      columns_(columns),
      rows_(rows),
      cells_(std::size_t(columns) * rows),
      columnWidths_(columns, 0),
      rowHeights_(rows, 0) {}

Table::~Table() = default;

Table::Cell* Table::cellAt(unsigned column, unsigned row) {
    if (column >= columns_ || row >= rows_)
        return nullptr;
    return &cells_[column + std::size_t(row) * columns_];
}

const Table::Cell* Table::cell(unsigned column, unsigned row) const {
    return const_cast<Table*>(this)->cellAt(column, row);
}

void Table::setCell(unsigned column, unsigned row, Widget* widget) {
    if (Cell* c = cellAt(column, row)) {
        c->widget = widget;
        gridSetUp_ = 1;
    }
}

void Table::setCellAlignment(unsigned column, unsigned row, int horizontal, int vertical) {
    if (Cell* c = cellAt(column, row)) {
        c->alignH = horizontal;
        c->alignV = vertical;
        gridSetUp_ = 1;
    }
}

void Table::setCellPadding(unsigned column, unsigned row, int left, int top, int right, int bottom) {
    if (Cell* c = cellAt(column, row)) {
        c->paddingLeft = left;
        c->paddingTop = top;
        c->paddingRight = right;
        c->paddingBottom = bottom;
        gridSetUp_ = 1;
    }
}

void Table::setAllCellsAlignment(int horizontal, int vertical) {
    for (Cell& c : cells_) {
        c.alignH = horizontal;
        c.alignV = vertical;
    }
    gridSetUp_ = 1;
}

void Table::setPadding(int left, int top, int right, int bottom) {
    paddingLeft_ = left;
    paddingTop_ = top;
    paddingRight_ = right;
    paddingBottom_ = bottom;
    gridSetUp_ = 1;
}

void Table::setSpacing(int horizontal, int vertical) {
    spacingH_ = horizontal;
    spacingV_ = vertical;
    gridSetUp_ = 1;
}

bool Table::isLayoutDirty() {
    if (layoutDirty)
        return true;
    for (const Cell& c : cells_) {
        if (c.widget && c.widget->isLayoutDirty())
            return true;
    }
    return false;
}

bool Table::measure(AbstractGraphicsContext*) {
    const bool dirty = isLayoutDirty();
    if (!gridSetUp_) {
        if (!dirty)
            return true;
        gridSetUp_ = 1;
        return false;
    }
    for (unsigned r = 0; r < rows_; ++r) {
        int tallest = 0;
        for (unsigned c = 0; c < columns_; ++c) {
            const Cell& cell = cells_[c + std::size_t(r) * columns_];
            if (cell.widget && (cell.widget->visible || keepHiddenRows))
                tallest = std::max(tallest, cell.widget->height + cell.paddingTop + cell.paddingBottom);
        }
        rowHeights_[r] = tallest;
    }
    for (unsigned c = 0; c < columns_; ++c) {
        int widest = 0;
        for (unsigned r = 0; r < rows_; ++r) {
            const Cell& cell = cells_[c + std::size_t(r) * columns_];
            if (cell.widget && cell.widget->visible)
                widest = std::max(widest, cell.widget->width + cell.paddingLeft + cell.paddingRight);
        }
        columnWidths_[c] = widest;
    }
    // Signed arithmetic: a table of no columns or rows has no spacing.
    const int columnCount = int(columns_), rowCount = int(rows_);
    int needed = paddingLeft_ + paddingRight_ + std::max(columnCount - 1, 0) * spacingH_;
    for (int w : columnWidths_)
        needed += w;
    if (needed > width || columnCount == 0)
        width = needed;
    else
        columnWidths_.back() += width - needed;  // a wider table stretches its last column
    int h = paddingTop_ + paddingBottom_ + std::max(rowCount - 1, 0) * spacingV_;
    for (int rh : rowHeights_)
        h += rh;
    height = h;
    layoutDirty = 0;
    return !dirty;
}

bool Table::arrange(AbstractGraphicsContext*) {
    int rowCursor = y + paddingTop_;
    for (unsigned r = 0; r < rows_; ++r) {
        const int rowH = rowHeights_[r];
        int columnCursor = x + paddingLeft_;
        for (unsigned c = 0; c < columns_; ++c) {
            const int colW = columnWidths_[c];
            const Cell& cell = cells_[c + std::size_t(r) * columns_];
            Widget* w = cell.widget;
            if (w && w->visible) {
                switch (cell.alignH) {
                    case AlignStart:
                        w->x = columnCursor + cell.paddingLeft;
                        break;
                    case AlignEnd:
                        w->x = columnCursor + colW - w->width - cell.paddingRight;
                        break;
                    case AlignCentre:
                        w->x = columnCursor + colW / 2 - w->width / 2;
                        break;
                    default:
                        break;
                }
                switch (cell.alignV) {
                    case AlignStart:
                        w->y = rowCursor + cell.paddingTop;
                        break;
                    case AlignEnd:
                        w->y = rowCursor + rowH - w->height - cell.paddingBottom;
                        break;
                    case AlignCentre:
                        w->y = rowCursor + (rowH - w->height) / 2;
                        break;
                    default:
                        break;
                }
            }
            columnCursor += colW + spacingH_;
        }
        rowCursor += rowH + spacingV_;
    }
    return true;
}

Rect Table::getCellRect(unsigned column, unsigned row) const {
    if (column >= columns_ || row >= rows_)
        return Rect{-1, -1, -1, -1};
    Rect r;
    r.x = x + paddingLeft_ + int(column) * spacingH_;
    for (unsigned c = 0; c < column; ++c)
        r.x += columnWidths_[c];
    r.y = y + paddingTop_ + int(row) * spacingV_;
    for (unsigned i = 0; i < row; ++i)
        r.y += rowHeights_[i];
    r.width = columnWidths_[column];
    r.height = rowHeights_[row];
    return r;
}

void Table::setCellsVisible(bool show) {
    for (Cell& c : cells_) {
        if (c.widget)
            gui_->setVisible(c.widget, show);
    }
}

void Table::onVisibilityChanged() { setCellsVisible(visible != 0); }

void Table::updateLayout() {
    int w = 0, h = 0;
    gui_->getSize(&w, &h);
    AbstractGraphicsContext* context = gui_->context();
    layout(w, h, context);
    measure(context);
    arrange(context);
}
