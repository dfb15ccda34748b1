#pragma once
// A pop-up menu whose entries break into columns where the program says so: an entry may start
// a new column, and a vertical bar stands between it and the column before. (QMenu breaks into
// columns only when it runs out of screen height.)
//
// The entries are the widget's actions (addAction, insertAction, removeAction; a separator is
// an action with isSeparator) plus at most one run of entries that the menu shows in a place
// among them (SetEntryRun), drawn as the style draws menu items: text with its "&" accelerator,
// the shortcut text, radio or check marks, disabled entries greyed. It behaves as a menu: it
// opens at a screen point, the entry under the mouse is highlighted, a click chooses it; Up and
// Down move through the entries, Left and Right to the neighbouring column, Home and End to the
// first and last, Enter chooses, an accelerator letter or an entry's shortcut chooses that
// entry; Esc and a click outside close it. A menu larger than the screen stays on it and
// scrolls to the highlighted entry: up and down by pixels, sideways by whole columns.
//
// Only the columns in sight are measured: a run of 100,000 entries costs a pass that places
// them in columns and rows (no text is measured there), and each column's width is measured
// when it first comes into sight.

#include <QHash>
#include <QRect>
#include <QSet>
#include <QWidget>
#include <vector>

class QAction;
class QStyleOptionMenuItem;
class cColumnMenuScroller;

class TColumnMenu : public QWidget {
    Q_OBJECT
public:
    /// One entry of a run (SetEntryRun).
    struct cRunEntry {
        QAction* Action = nullptr;
        bool StartsColumn = false; ///< begins a new menu column, behind a vertical bar
    };

    explicit TColumnMenu(QWidget* parent = nullptr);
    ~TColumnMenu() override;

    /// Appends a separator entry.
    QAction* AddSeparator();
    /// The entry (one of the widget's actions) begins a new column (when it is not the first
    /// entry shown).
    void SetStartsColumn(QAction* entry, bool startsColumn);
    bool StartsColumn(const QAction* entry) const;

    /// Shows the entries, in their order, just before `anchor` (one of the widget's actions), in
    /// place of the run given before. They are none of the widget's actions: a widget takes
    /// actions one at a time, each in time proportional to all it holds already, so a run of
    /// 100,000 would take minutes. The caller owns them and keeps them alive until the next
    /// SetEntryRun. Their texts are laid out as they are at the SetEntryRun (a new text wants a
    /// new SetEntryRun); check marks and enabled states are drawn as they are at each paint.
    /// With `radio`, checkable entries of the run are drawn as radio entries.
    void SetEntryRun(QAction* anchor, std::vector<cRunEntry> entries, bool radio);
    /// Every entry in menu order: the widget's actions with the run in its place.
    QList<QAction*> MenuEntries() const;

    /// Opens with the top-left corner at the screen point; where the menu would leave the
    /// screen it opens to the left of or above the point instead, or is moved onto the screen,
    /// and a menu larger than the screen scrolls.
    void Popup(const QPoint& screenPoint);

    /// The highlighted entry, or null.
    QAction* ActiveAction() const { return m_Active; }
    /// Highlights the entry (null for none) and scrolls it into sight.
    void SetActiveAction(QAction* entry);

    int ColumnCount() const;
    /// The column of a shown entry (0 is the first), -1 for an entry not shown.
    int ColumnOf(const QAction* entry) const;
    /// A shown entry's place in the coordinates of Entries(), as the menu is scrolled now (an
    /// entry of a column scrolled out of sight lies outside its rectangle); empty for an entry
    /// not shown.
    QRect EntryRect(const QAction* entry) const;
    /// The widget that shows the entries and takes the mouse over them.
    QWidget* Entries() const;

signals:
    /// An entry was chosen; the menu is closed and the action triggered already.
    void triggered(QAction* entry);

protected:
    /// The entry has been chosen and is about to be triggered (the menu is closed).
    virtual void EntryChosen(QAction* entry);

    void actionEvent(QActionEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    friend class cColumnMenuScroller;

    struct cPlacedEntry {
        QAction* Action = nullptr;
        int Column = 0;
        int Top = 0;
        int Height = 0;
        bool Radio = false;
    };
    struct cColumn {
        int First = 0;  ///< the first place of the column
        int End = 0;    ///< one behind its last place
        int Width = -1; ///< shortcut room included; -1 until measured
        int ShortcutWidth = 0;
    };

    void InvalidateLayout();
    void EnsureLayout() const;
    void PlaceEntries() const;
    void PlaceEntry(QAction* entry, bool startsColumn, bool inRun, int& top) const;
    int EntryHeight(const QAction* entry, bool radio) const;
    int ColumnWidth(int column) const;
    void InitEntryOption(QStyleOptionMenuItem& option, const cPlacedEntry& placed) const;
    QString ShownText(const QAction* entry) const;
    bool Selectable(const QAction* entry) const;
    int PlaceOf(const QAction* entry) const;
    int ActivePlace() const;
    bool EntriesAreRadio(const QAction* entry, bool inRun) const;

    // Sideways scrolling goes by columns: the scroll bar's value is the first column in sight.
    int FirstColumn() const;
    int ColumnLeft(int column) const;
    int NaturalWidth(int atMost) const;
    int FirstColumnShowing(int column) const;
    int SightEnd() const;
    bool ColumnMayShow(int column) const;
    int LastFirstColumn() const;
    void UpdateScrollBars() const;
    QRect PlaceRect(int place) const;
    int PlaceAt(const QPoint& point) const;
    void ScrollToPlace(int place);

    void PaintEntries(QPainter& painter, const QRect& area) const;
    void PaintColumn(QPainter& painter, const QRect& area, int column, int left) const;
    void MouseMovedTo(const QPoint& point);
    void MouseReleasedAt(const QPoint& point);
    void WheelTurned(int notches);
    void Choose(QAction* entry);

    void SetActivePlace(int place);
    void MoveActive(int step);
    void MoveAcross(int direction);
    bool ChooseByKey(const QKeyEvent& key);

    cColumnMenuScroller* m_Scroller = nullptr;
    QAction* m_Active = nullptr;
    mutable int m_ActivePlace = -1; // where m_Active was last found
    QSet<const QAction*> m_ColumnStarts;
    QAction* m_RunAnchor = nullptr;
    std::vector<cRunEntry> m_Run;
    bool m_RunRadio = false;

    mutable bool m_LayoutValid = false;
    mutable bool m_HasCheckable = false;
    mutable std::vector<cPlacedEntry> m_Placed;
    mutable std::vector<cColumn> m_Columns;
    mutable int m_ContentHeight = 0;
    mutable QHash<const QAction*, int> m_Places; // filled when first asked after a layout
    // Every plain entry of the same kind is as high as the next: measured once a layout.
    mutable QHash<int, int> m_Heights;
};
