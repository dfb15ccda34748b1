#pragma once
// A pop-up menu whose entries break into columns where the program says so: an entry may start
// a new column, and a vertical bar stands between it and the column before. (QMenu breaks into
// columns only when it runs out of screen height.)
//
// The entries are the widget's actions (addAction, insertAction, removeAction; a separator is
// an action with isSeparator), drawn as the style draws menu items: text with its "&"
// accelerator, the shortcut text, radio or check marks, disabled entries greyed. It behaves as
// a menu: it opens at a screen point, the entry under the mouse is highlighted, a click chooses
// it; Up and Down move through the entries, Left and Right to the neighbouring column, Home and
// End to the first and last, Enter chooses, an accelerator letter or an entry's shortcut
// chooses that entry; Esc and a click outside close it. A menu larger than the screen stays on
// it and scrolls to the highlighted entry.

#include <QHash>
#include <QRect>
#include <QSet>
#include <QWidget>
#include <vector>

class QAction;
class QScrollArea;
class QStyleOptionMenuItem;

class TColumnMenu : public QWidget {
    Q_OBJECT
public:
    explicit TColumnMenu(QWidget* parent = nullptr);
    ~TColumnMenu() override;

    /// Appends a separator entry.
    QAction* AddSeparator();
    /// The entry begins a new column (when it is not the first entry shown).
    void SetStartsColumn(QAction* entry, bool startsColumn);
    bool StartsColumn(const QAction* entry) const { return m_ColumnStarts.contains(entry); }

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
    /// A shown entry's place in the coordinates of Entries(); empty for an entry not shown.
    QRect EntryRect(const QAction* entry) const;
    /// The widget that shows the entries and takes the mouse over them.
    QWidget* Entries() const { return m_Entries; }

signals:
    /// An entry was chosen; the menu is closed and the action triggered already.
    void triggered(QAction* entry);

protected:
    void actionEvent(QActionEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    friend class TColumnMenuEntries;

    struct cPlacedEntry {
        QAction* Action = nullptr;
        QRect Rect;
        int Column = 0;
    };
    struct cColumn {
        int Left = 0;
        int Width = 0;
        int ShortcutWidth = 0;
    };

    void InvalidateLayout();
    void EnsureLayout() const;
    void InitEntryOption(QStyleOptionMenuItem& option, const QAction* entry, int column) const;
    QString ShownText(const QAction* entry) const;
    bool Selectable(const QAction* entry) const;
    int PlaceOf(const QAction* entry) const;
    QAction* EntryAt(const QPoint& point) const;

    void PaintEntries(QPainter& painter, const QRect& area) const;
    void MouseMovedTo(const QPoint& point);
    void MouseReleasedAt(const QPoint& point);
    void Choose(QAction* entry);

    void MoveActive(int step);
    void MoveAcross(int direction);
    bool ChooseByKey(const QKeyEvent& key);

    QScrollArea* m_Scroller = nullptr;
    QWidget* m_Entries = nullptr;
    QAction* m_Active = nullptr;
    QSet<const QAction*> m_ColumnStarts;

    mutable bool m_LayoutValid = false;
    mutable bool m_HasCheckable = false;
    mutable std::vector<cPlacedEntry> m_Placed;
    mutable std::vector<cColumn> m_Columns;
    mutable QHash<const QAction*, int> m_Places;
    mutable QSize m_ContentSize;
};
