#pragma once
// The search window "Find songs": rows of conditions stacked in a scrolling area, four scopes,
// and the search, whose result replaces the songs of the main list. It is a window of its own,
// not modal, transient for the window that owns it: the owner takes input meanwhile, and a
// click in it never hides the search window behind it. It lives until it is closed and then
// releases itself.

#include <QDialog>
#include <QList>
#include <functional>
#include <string_view>

#include "search/unitSongSearch.h"

class QAbstractButton;
class QButtonGroup;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QVBoxLayout;
class TfraCriteria;
class cBrowserState;
class cIniFile;

class TfrmFindSong : public QDialog {
    Q_OBJECT
public:
    /// Searches over the browser state and puts its results there; fillSongList rebuilds the
    /// main list's rows from the displayed songs; reportError shows an error nobody handled
    /// (a condition the query rejects). The state and the settings must outlive the window.
    /// FormCreate: the stored size and scope, one row.
    TfrmFindSong(cBrowserState& state, cIniFile& settings, std::function<void()> fillSongList,
                 std::function<void(std::string_view)> reportError, QWidget* owner = nullptr);
    ~TfrmFindSong() override;

    /// Adds a row below the others; its condition text becomes the window's focused control.
    TfraCriteria* btnAddCriteriaClick();
    /// Removes the row unless it is the last one.
    void btnCloseFrameClick(TfraCriteria* row);
    /// The conditions of the rows top to bottom over the scope's source: the found songs become
    /// the displayed songs, the list is filled, and the search-result flag is set. A rejected
    /// condition is reported and changes nothing.
    void btnSearchClick();

    /// The rows, top to bottom.
    const QList<TfraCriteria*>& Rows() const { return m_Rows; }
    eSearchScope CheckedScope() const;
    /// Writes the window's keys ("FindWindow": size and scope); the close does it too.
    void SaveSettings();

signals:
    /// The window closed and wrote its settings; it is released afterwards.
    void FormClosed();

public slots:
    /// Esc and "&Close" close the window like its close button.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    void CreateControls();
    QWidget* CreateHeaderBox();
    QWidget* CreateScopes();
    void ApplyStoredSize();
    void CentreOnScreen();

    cBrowserState& m_State;
    cIniFile& m_Settings;
    std::function<void()> m_FillSongList;
    std::function<void(std::string_view)> m_ReportError;
    cFindWindowSettings m_Stored;
    QList<TfraCriteria*> m_Rows;
    bool m_Activated = false;
    bool m_Closed = false;

    // Controls, named as the program refers to them.
    QButtonGroup* m_Scopes = nullptr;
    QRadioButton* radEntireCollection = nullptr;
    QRadioButton* radSelFolder = nullptr;
    QRadioButton* radSelFolderRecursively = nullptr;
    QRadioButton* RadInDisplay = nullptr;
    QScrollArea* ScrollBox = nullptr;
    QVBoxLayout* m_RowsLayout = nullptr;
    QPushButton* btnAddCriteria = nullptr;
    QPushButton* btnSearch = nullptr;
    QPushButton* btnClose = nullptr;
};
