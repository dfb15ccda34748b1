#pragma once
// The columns of the song list's details view: built from the visible column list with the
// widths kept per name in section "MainWindow.SongsList" of Options.ini, the width a new column
// gets, the widths stored again, and the auto-sized columns sharing the width that the others
// leave free in the list.

#include <QMetaObject>
#include <map>
#include <string>
#include <vector>

class QTreeView;
class TSongRows;
class cBrowserState;
class cIniFile;
struct cColumnWidth;

class cSongColumnLayout {
public:
    /// The view shows the rows; the view, the rows, the state and the settings file must
    /// outlive the layout. Its owner reports the list's resizes (ShareAutoSizedColumnWidths).
    cSongColumnLayout(QTreeView& list, TSongRows& rows, cBrowserState& state, cIniFile& settings);
    ~cSongColumnLayout();
    cSongColumnLayout(const cSongColumnLayout&) = delete;
    cSongColumnLayout& operator=(const cSongColumnLayout&) = delete;

    /// Recreates the columns from the visible column list, widths from the settings file
    /// (used as stored, however narrow), widths saved in this run winning. A sort column no
    /// longer shown gives way to the first column, ascending.
    void BuildColumns();
    /// The visible columns become the names (never empty): the widths of the old columns are
    /// stored, the columns built anew and the rows filled again.
    void ShowColumns(std::vector<std::string> names);
    /// Stores the current column widths in the settings file (in one write) and remembers
    /// them by name, so a column shown again gets its width back even when the file refused
    /// them (which is reported).
    void SaveColumnWidths();
    /// Every column's caption and current width, in column order.
    std::vector<cColumnWidth> ColumnWidths() const;
    /// The auto-sized columns share the width the others leave free in the list (done again
    /// by itself whenever a fixed column is dragged wider or narrower).
    void ShareAutoSizedColumnWidths();

private:
    /// Wide enough for the caption and a typical cell; never narrower than 50 pixels.
    int NewColumnWidth(int column) const;
    bool IsAutoSized(int column) const;
    /// Room for a name of some length with its icon, in the list's font.
    int ReadableColumnWidth() const;
    /// The narrowest share of each column: the readable width for the column that names the
    /// songs (FileName, else Path), a few pixels for any other.
    std::vector<int> MinimumSharedWidths(const std::vector<bool>& autoSized) const;

    QTreeView& m_List;
    TSongRows& m_Rows;
    cBrowserState& m_State;
    cIniFile& m_Settings;
    bool m_SharingWidths = false;
    /// Column widths by name, as last saved (see SaveColumnWidths).
    std::map<std::string, int> m_SavedWidths;
    QMetaObject::Connection m_FixedColumnDragged;
};
