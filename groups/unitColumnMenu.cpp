#include "groups/unitColumnMenu.h"

#include <QAction>
#include <QActionEvent>
#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionMenuItem>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

namespace {
/// Room between two columns, the vertical bar in its middle.
constexpr int kColumnGap = 9;
/// An entry's text wider than this is cut short with an ellipsis, so that one long group name
/// cannot make the menu wider than the screen.
constexpr int kLongestText = 480;

/// The character behind the single "&" of a caption, case-folded; empty when there is none
/// ("&&" stands for an "&" itself).
QString AcceleratorOf(const QString& caption) {
    for (qsizetype at = 0; at + 1 < caption.size(); ++at) {
        if (caption[at] != QLatin1Char('&')) {
            continue;
        }
        if (caption[at + 1] != QLatin1Char('&')) {
            return QString(caption[at + 1]).toCaseFolded();
        }
        ++at;
    }
    return {};
}

/// Scrolls sideways with the wheel when there is nothing to scroll up and down.
class cMenuScroller : public QScrollArea {
public:
    using QScrollArea::QScrollArea;

protected:
    void wheelEvent(QWheelEvent* event) override {
        if (verticalScrollBar()->maximum() == 0 && horizontalScrollBar()->maximum() > 0) {
            QCoreApplication::sendEvent(horizontalScrollBar(), event);
            return;
        }
        QScrollArea::wheelEvent(event);
    }
};
} // namespace

/// The surface of the entries inside the scrolling area: paints them and reports the mouse.
class TColumnMenuEntries : public QWidget {
public:
    explicit TColumnMenuEntries(TColumnMenu* menu) : QWidget(nullptr), m_Menu(menu) {
        setObjectName(QStringLiteral("ColumnMenuEntries"));
        setMouseTracking(true);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        m_Menu->PaintEntries(painter, event->rect());
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        m_Menu->MouseMovedTo(event->position().toPoint());
    }
    void mousePressEvent(QMouseEvent* event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            m_Menu->MouseReleasedAt(event->position().toPoint());
        }
    }
    void leaveEvent(QEvent*) override { m_Menu->SetActiveAction(nullptr); }

private:
    TColumnMenu* m_Menu;
};

TColumnMenu::TColumnMenu(QWidget* parent) : QWidget(parent, Qt::Popup) {
    setAttribute(Qt::WA_WindowPropagation);
    setFocusPolicy(Qt::StrongFocus);
    setFont(QApplication::font("QMenu"));
    setPalette(QApplication::palette("QMenu"));
    auto* layout = new QVBoxLayout(this);
    const int frame = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    layout->setContentsMargins(frame, frame, frame, frame);
    m_Scroller = new cMenuScroller(this);
    m_Scroller->setFrameShape(QFrame::NoFrame);
    m_Scroller->setFocusPolicy(Qt::NoFocus);
    m_Scroller->setWidgetResizable(false);
    m_Entries = new TColumnMenuEntries(this);
    m_Scroller->setWidget(m_Entries);
    m_Scroller->horizontalScrollBar()->setFocusPolicy(Qt::NoFocus);
    m_Scroller->verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_Scroller);
}

TColumnMenu::~TColumnMenu() = default;

QAction* TColumnMenu::AddSeparator() {
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    addAction(separator);
    return separator;
}

void TColumnMenu::SetStartsColumn(QAction* entry, bool startsColumn) {
    if (startsColumn) {
        m_ColumnStarts.insert(entry);
    } else {
        m_ColumnStarts.remove(entry);
    }
    InvalidateLayout();
}

// ---- Layout ------------------------------------------------------------------------------

void TColumnMenu::actionEvent(QActionEvent* event) {
    if (event->type() == QEvent::ActionRemoved) {
        m_ColumnStarts.remove(event->action());
        if (m_Active == event->action()) {
            m_Active = nullptr;
        }
    }
    InvalidateLayout();
    QWidget::actionEvent(event);
}

void TColumnMenu::InvalidateLayout() {
    // Rebuilding a menu of a thousand entries adds a thousand actions: the layout waits until
    // it is wanted.
    m_LayoutValid = false;
    if (isVisible()) {
        EnsureLayout();
        m_Entries->update();
    }
}

bool TColumnMenu::Selectable(const QAction* entry) const {
    return entry && entry->isVisible() && entry->isEnabled() && !entry->isSeparator();
}

QString TColumnMenu::ShownText(const QAction* entry) const {
    const QString text = entry->text();
    const QFontMetrics metrics(entry->font().resolve(font()));
    if (metrics.horizontalAdvance(text) <= kLongestText) {
        return text;
    }
    return metrics.elidedText(text, Qt::ElideRight, kLongestText, Qt::TextShowMnemonic);
}

void TColumnMenu::InitEntryOption(QStyleOptionMenuItem& option, const QAction* entry,
                                  int column) const {
    option.initFrom(this);
    option.palette = palette();
    option.state = QStyle::State_None;
    if (entry->isEnabled() && isEnabled()) {
        option.state |= QStyle::State_Enabled;
    } else {
        option.palette.setCurrentColorGroup(QPalette::Disabled);
    }
    if (entry == m_Active && Selectable(entry)) {
        option.state |= QStyle::State_Selected;
    }
    option.font = entry->font().resolve(font());
    option.fontMetrics = QFontMetrics(option.font);
    option.menuHasCheckableItems = m_HasCheckable;
    if (!entry->isCheckable()) {
        option.checkType = QStyleOptionMenuItem::NotCheckable;
    } else {
        option.checkType = entry->actionGroup() && entry->actionGroup()->isExclusive()
                               ? QStyleOptionMenuItem::Exclusive
                               : QStyleOptionMenuItem::NonExclusive;
        option.checked = entry->isChecked();
    }
    option.menuItemType =
        entry->isSeparator() ? QStyleOptionMenuItem::Separator : QStyleOptionMenuItem::Normal;
    option.text = ShownText(entry);
    if (!entry->shortcut().isEmpty()) {
        option.text += QLatin1Char('\t') + entry->shortcut().toString(QKeySequence::NativeText);
    }
    option.maxIconWidth = 0;
    option.reservedShortcutWidth = column >= 0 && column < static_cast<int>(m_Columns.size())
                                       ? m_Columns[column].ShortcutWidth
                                       : 0;
    option.menuRect = m_Entries->rect();
}

void TColumnMenu::EnsureLayout() const {
    if (m_LayoutValid) {
        return;
    }
    m_LayoutValid = true;
    m_Placed.clear();
    m_Columns.clear();
    m_Places.clear();
    const QList<QAction*> entries = actions();
    m_HasCheckable = std::any_of(entries.begin(), entries.end(), [](const QAction* entry) {
        return entry->isVisible() && entry->isCheckable();
    });
    const int hMargin = style()->pixelMetric(QStyle::PM_MenuHMargin, nullptr, this);
    const int vMargin = style()->pixelMetric(QStyle::PM_MenuVMargin, nullptr, this);

    // Sizes first: a column is as wide as its widest entry plus its widest shortcut text.
    std::vector<QSize> sizes;
    int column = 0;
    int bottom = 0;
    int y = vMargin;
    for (QAction* entry : entries) {
        if (!entry->isVisible()) {
            continue;
        }
        if (!m_Placed.empty() && StartsColumn(entry)) {
            ++column;
            y = vMargin;
        }
        if (static_cast<int>(m_Columns.size()) <= column) {
            m_Columns.push_back({});
        }
        QStyleOptionMenuItem option;
        InitEntryOption(option, entry, column);
        const QFontMetrics& metrics = option.fontMetrics;
        QSize size(2, 2);
        if (!entry->isSeparator()) {
            size = QSize(metrics
                             .boundingRect(QRect(), Qt::TextSingleLine | Qt::TextShowMnemonic,
                                           ShownText(entry))
                             .width(),
                         metrics.height());
            if (!entry->shortcut().isEmpty()) {
                m_Columns[column].ShortcutWidth =
                    std::max(m_Columns[column].ShortcutWidth,
                             metrics.horizontalAdvance(
                                 entry->shortcut().toString(QKeySequence::NativeText)));
            }
        }
        size = style()->sizeFromContents(QStyle::CT_MenuItem, &option, size, this);
        m_Columns[column].Width = std::max(m_Columns[column].Width, size.width());
        m_Places.insert(entry, static_cast<int>(m_Placed.size()));
        m_Placed.push_back({entry, QRect(0, y, 0, size.height()), column});
        y += size.height();
        bottom = std::max(bottom, y);
    }
    // Then the places, column by column, a bar's room between two columns.
    int left = hMargin;
    for (cColumn& place : m_Columns) {
        place.Width += place.ShortcutWidth;
        place.Left = left;
        left += place.Width + kColumnGap;
    }
    for (cPlacedEntry& placed : m_Placed) {
        const cColumn& place = m_Columns[placed.Column];
        placed.Rect.setLeft(place.Left);
        placed.Rect.setWidth(place.Width);
    }
    const int right = m_Columns.empty() ? left : left - kColumnGap;
    m_ContentSize = QSize(std::max(right + hMargin, 20), std::max(bottom + vMargin, 10));
    m_Entries->resize(m_ContentSize);
}

int TColumnMenu::ColumnCount() const {
    EnsureLayout();
    return static_cast<int>(m_Columns.size());
}

int TColumnMenu::PlaceOf(const QAction* entry) const {
    EnsureLayout();
    return m_Places.value(entry, -1);
}

int TColumnMenu::ColumnOf(const QAction* entry) const {
    const int place = PlaceOf(entry);
    return place < 0 ? -1 : m_Placed[static_cast<size_t>(place)].Column;
}

QRect TColumnMenu::EntryRect(const QAction* entry) const {
    const int place = PlaceOf(entry);
    return place < 0 ? QRect() : m_Placed[static_cast<size_t>(place)].Rect;
}

QAction* TColumnMenu::EntryAt(const QPoint& point) const {
    EnsureLayout();
    for (const cPlacedEntry& placed : m_Placed) {
        if (placed.Rect.contains(point)) {
            return placed.Action;
        }
    }
    return nullptr;
}

// ---- Showing -----------------------------------------------------------------------------

void TColumnMenu::Popup(const QPoint& screenPoint) {
    EnsureLayout();
    const QScreen* screen = QGuiApplication::screenAt(screenPoint);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect area = screen->availableGeometry();
    const int frame = 2 * style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    // Larger than the screen: it takes the screen's size and a scroll bar.
    QSize size = m_ContentSize + QSize(frame, frame);
    const bool tooWide = size.width() > area.width();
    if (tooWide) {
        size.setWidth(area.width());
        size.rheight() += bar;
    }
    if (size.height() > area.height()) {
        size.setHeight(area.height());
        size.setWidth(std::min(size.width() + (tooWide ? 0 : bar), area.width()));
    }
    QPoint at = screenPoint;
    if (at.x() + size.width() > area.right() + 1) {
        at.setX(at.x() - size.width() >= area.left() ? at.x() - size.width()
                                                     : area.right() + 1 - size.width());
    }
    if (at.y() + size.height() > area.bottom() + 1) {
        at.setY(at.y() - size.height() >= area.top() ? at.y() - size.height()
                                                     : area.bottom() + 1 - size.height());
    }
    at.setX(std::max(at.x(), area.left()));
    at.setY(std::max(at.y(), area.top()));
    m_Active = nullptr;
    m_Scroller->horizontalScrollBar()->setValue(0);
    m_Scroller->verticalScrollBar()->setValue(0);
    setGeometry(QRect(at, size));
    // Shown as a menu is: not activated and given no focus of its own (an open pop-up gets
    // every key anyway), so the window beneath keeps its focus and its keys work again at
    // once when the menu closes.
    show();
}

void TColumnMenu::hideEvent(QHideEvent* event) {
    m_Active = nullptr;
    QWidget::hideEvent(event);
}

void TColumnMenu::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionMenuItem panel;
    panel.initFrom(this);
    panel.state = QStyle::State_None;
    panel.checkType = QStyleOptionMenuItem::NotCheckable;
    panel.rect = rect();
    panel.menuRect = rect();
    style()->drawPrimitive(QStyle::PE_PanelMenu, &panel, &painter, this);
    QStyleOptionFrame frame;
    frame.rect = rect();
    frame.palette = palette();
    frame.state = QStyle::State_None;
    frame.lineWidth = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    frame.midLineWidth = 0;
    style()->drawPrimitive(QStyle::PE_FrameMenu, &frame, &painter, this);
}

void TColumnMenu::PaintEntries(QPainter& painter, const QRect& area) const {
    EnsureLayout();
    QStyleOptionMenuItem panel;
    panel.initFrom(m_Entries);
    panel.palette = palette();
    panel.state = QStyle::State_None;
    panel.checkType = QStyleOptionMenuItem::NotCheckable;
    panel.rect = m_Entries->rect();
    panel.menuRect = m_Entries->rect();
    style()->drawPrimitive(QStyle::PE_PanelMenu, &panel, &painter, this);
    for (const cPlacedEntry& placed : m_Placed) {
        if (!placed.Rect.intersects(area)) {
            continue;
        }
        QStyleOptionMenuItem option;
        InitEntryOption(option, placed.Action, placed.Column);
        option.rect = placed.Rect;
        painter.save();
        painter.setClipRect(placed.Rect.intersected(area));
        style()->drawControl(QStyle::CE_MenuItem, &option, &painter, this);
        painter.restore();
    }
    // The bar that begins each column after the first: a sunken line.
    const int vMargin = style()->pixelMetric(QStyle::PM_MenuVMargin, nullptr, this);
    for (size_t column = 1; column < m_Columns.size(); ++column) {
        const int x = m_Columns[column].Left - kColumnGap / 2 - 1;
        const int top = vMargin + 2;
        const int bottom = m_Entries->height() - vMargin - 3;
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(x, top, x, bottom);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(x + 1, top, x + 1, bottom);
    }
}

void TColumnMenu::SetActiveAction(QAction* entry) {
    if (!Selectable(entry)) {
        entry = nullptr;
    }
    if (entry == m_Active) {
        return;
    }
    const QRect before = m_Active ? EntryRect(m_Active) : QRect();
    m_Active = entry;
    if (entry) {
        const QRect rect = EntryRect(entry);
        m_Scroller->ensureVisible(rect.center().x(), rect.center().y(), rect.width() / 2 + 1,
                                  rect.height() / 2 + 1);
        m_Entries->update(rect);
    }
    m_Entries->update(before);
}

// ---- Choosing ----------------------------------------------------------------------------

void TColumnMenu::MouseMovedTo(const QPoint& point) {
    SetActiveAction(EntryAt(point));
}

void TColumnMenu::MouseReleasedAt(const QPoint& point) {
    QAction* entry = EntryAt(point);
    if (Selectable(entry)) {
        Choose(entry);
    }
}

void TColumnMenu::Choose(QAction* entry) {
    // Closed first, as a menu does: what the entry starts (a dialog) runs without it.
    QPointer<QAction> chosen(entry);
    close();
    if (chosen && chosen->isEnabled()) {
        chosen->activate(QAction::Trigger);
    }
    if (chosen) {
        emit triggered(chosen);
    }
}

bool TColumnMenu::event(QEvent* event) {
    // Every key is the menu's while it is open: an entry's shortcut chooses that entry and
    // triggers nothing else.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void TColumnMenu::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
        MoveActive(-1);
        return;
    case Qt::Key_Down:
        MoveActive(1);
        return;
    case Qt::Key_Left:
        MoveAcross(-1);
        return;
    case Qt::Key_Right:
        MoveAcross(1);
        return;
    case Qt::Key_Home:
    case Qt::Key_End: {
        EnsureLayout();
        const auto choose = [this](auto first, auto last) {
            const auto found = std::find_if(
                first, last, [this](const cPlacedEntry& p) { return Selectable(p.Action); });
            if (found != last) {
                SetActiveAction(found->Action);
            }
        };
        if (event->key() == Qt::Key_Home) {
            choose(m_Placed.begin(), m_Placed.end());
        } else {
            choose(m_Placed.rbegin(), m_Placed.rend());
        }
        return;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_Active) {
            Choose(m_Active);
        }
        return;
    case Qt::Key_Escape:
        close();
        return;
    default:
        if (!ChooseByKey(*event)) {
            QWidget::keyPressEvent(event);
        }
    }
}

void TColumnMenu::MoveActive(int step) {
    EnsureLayout();
    const int count = static_cast<int>(m_Placed.size());
    if (count == 0) {
        return;
    }
    int place = m_Active ? PlaceOf(m_Active) : (step > 0 ? -1 : count);
    for (int tried = 0; tried < count; ++tried) {
        place = ((place + step) % count + count) % count;
        if (Selectable(m_Placed[static_cast<size_t>(place)].Action)) {
            SetActiveAction(m_Placed[static_cast<size_t>(place)].Action);
            return;
        }
    }
}

void TColumnMenu::MoveAcross(int direction) {
    EnsureLayout();
    if (m_Active == nullptr) {
        MoveActive(direction);
        return;
    }
    const cPlacedEntry& from = m_Placed[static_cast<size_t>(PlaceOf(m_Active))];
    const int columns = static_cast<int>(m_Columns.size());
    // The nearest entry at the same height in the next column that has one to offer.
    for (int column = from.Column + direction; column >= 0 && column < columns;
         column += direction) {
        QAction* nearest = nullptr;
        int distance = INT_MAX;
        for (const cPlacedEntry& placed : m_Placed) {
            const int away = std::abs(placed.Rect.center().y() - from.Rect.center().y());
            if (placed.Column == column && Selectable(placed.Action) && away < distance) {
                nearest = placed.Action;
                distance = away;
            }
        }
        if (nearest) {
            SetActiveAction(nearest);
            return;
        }
    }
}

bool TColumnMenu::ChooseByKey(const QKeyEvent& key) {
    EnsureLayout();
    const QKeySequence pressed(key.keyCombination());
    for (const cPlacedEntry& placed : m_Placed) {
        if (Selectable(placed.Action) && !placed.Action->shortcut().isEmpty() &&
            placed.Action->shortcut() == pressed) {
            Choose(placed.Action);
            return true;
        }
    }
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier) ||
        key.text().isEmpty()) {
        return false;
    }
    // An accelerator letter: the one entry that has it is chosen; of several, the next one
    // after the highlighted entry is highlighted.
    const QString letter = key.text().toCaseFolded();
    std::vector<QAction*> matches;
    for (const cPlacedEntry& placed : m_Placed) {
        if (Selectable(placed.Action) && AcceleratorOf(placed.Action->text()) == letter) {
            matches.push_back(placed.Action);
        }
    }
    if (matches.empty()) {
        return false;
    }
    if (matches.size() == 1) {
        Choose(matches.front());
        return true;
    }
    const auto current = std::find(matches.begin(), matches.end(), m_Active);
    SetActiveAction(current == matches.end() || current + 1 == matches.end() ? matches.front()
                                                                             : *(current + 1));
    return true;
}
