#pragma once
// Routines for list views: column widths kept in the settings file, finding a column by its
// caption, selecting items, and opening a pop-up menu at the mouse pointer.
//
// A "list view" is a QTreeView over a table model whose horizontal header texts are the column
// captions; selection routines work on any item view and select whole rows.

#include <QString>
#include <functional>
#include <string_view>

class QAbstractItemView;
class QItemSelectionModel;
class QMenu;
class QTreeView;
class QWidget;
class cIniFile;

/// Every column takes the integer stored under its caption in the section, its current width
/// being the default (a missing key or a value that is no integer keeps the width).
void ReadColumnWidths(std::string_view section, QTreeView* listView, const cIniFile& settings);
/// Writes every column's current width under its caption, in column order, in one write of
/// the file. Keys of columns that are not shown stay as they are. Throws what the settings
/// file throws (and then writes none of them).
void WriteColumnWidths(std::string_view section, QTreeView* listView, cIniFile& settings);

/// The first column whose caption equals the text exactly (case-sensitive). False, and the
/// column left as it was, when none does.
bool FindColumnByCaption(QTreeView* listView, const QString& caption, int& column);

/// Marks every row selected; the focus (current row) is not changed.
void SelectAllItems(QAbstractItemView* listView);

/// With rows: marks the row at the index selected, then makes it the current (focused) row;
/// other rows keep their marks. Without rows: runs the view's selection-change handler once,
/// as the list reports nothing by itself then.
void SelectListItem(QAbstractItemView* listView, int index,
                    const std::function<void()>& selectionChangeHandler);
/// The same on the selection of the views that share it.
void SelectListItem(QItemSelectionModel* selection, int index,
                    const std::function<void()>& selectionChangeHandler);

/// Opens the menu with its top-left corner at the mouse pointer (not blocking).
void PopupAtCursor(QMenu* menu);

/// The view shows its selection in the same colour when it loses the focus.
void KeepSelectionVisible(QWidget* view);
