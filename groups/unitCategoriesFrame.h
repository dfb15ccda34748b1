#pragma once
// The selector strip of the window header: a caption naming the group filter in force, a small
// down arrow right of the caption, and the view-modes picture at the right end. A click on the
// caption or the arrow and a click on the picture are reported; the caption turns blue while
// the mouse is over the caption or the arrow.

#include <QFrame>
#include <QString>

class QLabel;

class TfraCategoriesList : public QFrame {
    Q_OBJECT
public:
    explicit TfraCategoriesList(QWidget* parent = nullptr);

    /// Sets the caption and places the arrow 4 pixels right of the centred text.
    void SetSelectorCaption(const QString& caption);
    QString SelectorCaption() const;
    /// True while the caption is drawn in the hover colour.
    bool CaptionIsHighlighted() const { return m_Highlighted; }
    /// The mouse left the selector: the caption goes back to black.
    void MouseLeft() { SetHighlighted(false); }

    QLabel* Panel() const { return m_Panel; }
    QLabel* DownArrow() const { return m_Down; }
    QLabel* ViewModesPicture() const { return m_ViewModes; }

signals:
    /// A click on the caption or on the arrow.
    void PanelClicked();
    /// A click on the view-modes picture.
    void ViewModesClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceArrow();
    void PlacePictures();
    void SetHighlighted(bool highlighted);
    void TrackMouse(QObject* reporter, const QPoint& position);

    QLabel* m_Panel;
    QLabel* m_Down;
    QLabel* m_ViewModes;
    bool m_Highlighted = false;
};

/// Left edge of the arrow for a caption text of width textWidth centred on a panel of width
/// panelWidth: each half rounded toward zero, then 4 pixels of space.
int SelectorArrowLeft(int textWidth, int panelWidth);
