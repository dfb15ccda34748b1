#include "groups/unitCategoriesFrame.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>

#include "util/unitArt.h"

namespace {
constexpr int kFrameHeight = 23;
const QColor kRestColour(0, 0, 0);
const QColor kHoverColour(0, 0, 255);
} // namespace

int SelectorArrowLeft(int textWidth, int panelWidth) {
    return textWidth / 2 + panelWidth / 2 + 4;
}

TfraCategoriesList::TfraCategoriesList(QWidget* parent)
    : QFrame(parent), m_Panel(new QLabel(this)), m_Down(new QLabel(m_Panel)),
      m_ViewModes(new QLabel(m_Panel)) {
    setFixedHeight(kFrameHeight);
    setCursor(Qt::PointingHandCursor);
    QFont font = this->font();
    font.setPixelSize(11);
    setFont(font);

    m_Panel->setObjectName(QStringLiteral("Panel"));
    m_Panel->setAlignment(Qt::AlignCenter);
    m_Panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_Panel->setLineWidth(1);
    m_Panel->setAutoFillBackground(true);
    QPalette colours = m_Panel->palette();
    colours.setColor(QPalette::Window, QColor(247, 247, 247));
    colours.setColor(QPalette::WindowText, kRestColour);
    colours.setColor(QPalette::Light, Qt::white);
    colours.setColor(QPalette::Dark, QColor(0xA0, 0xA0, 0xA0));
    m_Panel->setPalette(colours);

    m_Down->setObjectName(QStringLiteral("imgDown"));
    m_Down->setPixmap(DownArrowPixmap(QColor(0x30, 0x30, 0x30)));
    m_Down->setFixedSize(11, 18);
    m_ViewModes->setObjectName(QStringLiteral("imgViewModes"));
    m_ViewModes->setPixmap(ViewModesPixmap());
    m_ViewModes->setFixedSize(16, 17);

    for (QWidget* part : {static_cast<QWidget*>(m_Panel), static_cast<QWidget*>(m_Down),
                          static_cast<QWidget*>(m_ViewModes)}) {
        part->setMouseTracking(true);
        part->installEventFilter(this);
    }
}

void TfraCategoriesList::SetSelectorCaption(const QString& caption) {
    m_Panel->setText(caption);
    PlaceArrow();
}

QString TfraCategoriesList::SelectorCaption() const {
    return m_Panel->text();
}

void TfraCategoriesList::PlaceArrow() {
    const int textWidth = m_Panel->fontMetrics().horizontalAdvance(m_Panel->text());
    m_Down->move(SelectorArrowLeft(textWidth, m_Panel->width()),
                 (m_Panel->height() - m_Down->height()) / 2);
}

void TfraCategoriesList::PlacePictures() {
    m_ViewModes->move(m_Panel->width() - m_ViewModes->width() - 4,
                      (m_Panel->height() - m_ViewModes->height()) / 2);
}

void TfraCategoriesList::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    m_Panel->setGeometry(rect());
    PlacePictures();
    PlaceArrow();
}

void TfraCategoriesList::SetHighlighted(bool highlighted) {
    if (m_Highlighted == highlighted) {
        return;
    }
    m_Highlighted = highlighted;
    QPalette colours = m_Panel->palette();
    colours.setColor(QPalette::WindowText, highlighted ? kHoverColour : kRestColour);
    m_Panel->setPalette(colours);
}

void TfraCategoriesList::TrackMouse(QObject* reporter, const QPoint& position) {
    // Only the caption and the arrow light up, and only inside the panel's own bounds.
    const bool overCaption = (reporter == m_Panel || reporter == m_Down) &&
                             QRect(QPoint(0, 0), m_Panel->size()).contains(position);
    SetHighlighted(overCaption);
}

bool TfraCategoriesList::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseMove:
        TrackMouse(watched, static_cast<QMouseEvent*>(event)->position().toPoint());
        // Taken here, so a move over a picture does not reach the panel below it as well.
        return true;
    case QEvent::Leave:
        SetHighlighted(false);
        break;
    case QEvent::MouseButtonPress:
        // Taking the press makes the release (the click) come back to the same part.
        return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            if (watched == m_ViewModes) {
                emit ViewModesClicked();
            } else {
                emit PanelClicked();
            }
            return true;
        }
        break;
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}
