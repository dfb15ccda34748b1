#pragma once
// The "Add group" window: asks for the name of one new group.

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;
class cDesktop;
class cGroupList;

/// A fixed box, centred on the screen, with only the close button in its frame; made for one
/// use and run through the desktop.
class TfrmAddGroup : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAddGroup(QWidget* parent = nullptr);

    /// The name as typed, unchanged.
    QString Name() const;

private:
    /// OK is enabled exactly while the name is not empty (blanks count) and holds no line
    /// break, which no group name can hold.
    void edtNameChange();

    QLineEdit* edtName;
    QPushButton* btnOK;
};

/// Runs the add window. On OK the name, unchanged, is appended to the group list (also when the
/// list holds it already, in any letter case) and the list is sorted; the name is handed back
/// (as stored: UTF-8). Answers whether OK was chosen.
bool ShowAddGroup(cGroupList& groups, cDesktop& desktop, QWidget* parent, std::string& name);
