#pragma once
// The "Columns" window: one check entry per column of the song list, in the order of the column
// name table; OK takes the checked ones as the visible columns. It works on the visible column
// list alone.

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;
class QListWidgetItem;
class QPushButton;
class cDesktop;

/// A fixed-size box, centred on the screen, with only the close button in its frame; run it
/// through the desktop (cDesktop::RunDialog). OK is enabled exactly while an entry is checked.
class TfrmVisibleColumns : public QDialog {
    Q_OBJECT
public:
    /// The entries of the columns named in visibleColumns (compared without regard to the case
    /// of A to Z) start checked; names outside the table have no entry.
    explicit TfrmVisibleColumns(const std::vector<std::string>& visibleColumns,
                                QWidget* parent = nullptr);

    /// The names of the checked entries, in table order.
    std::vector<std::string> CheckedColumns() const;

    /// An entry's check box was toggled: OK follows the number of checked entries.
    void lstColumnsClickCheck(QListWidgetItem* item);

private:
    QListWidget* lstColumns = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    int m_CheckedCount = 0;
};

/// Shows the window modally through the desktop. On OK the visible columns become the checked
/// names in table order and the answer is true; otherwise they stay as they were (false).
bool ChooseVisibleColumns(std::vector<std::string>& visibleColumns, cDesktop& desktop,
                          QWidget* parent = nullptr);
