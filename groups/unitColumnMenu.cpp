#include "groups/unitColumnMenu.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QActionEvent>
#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
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

} // namespace

/// The scrolling area of the entries: its viewport shows them and takes the mouse, its scroll
/// bars hold the first column in sight (sideways) and the pixel row at the top (up and down).
class cColumnMenuScroller : public QAbstractScrollArea {
public:
    explicit cColumnMenuScroller(TColumnMenu* menu) : QAbstractScrollArea(menu), m_Menu(menu) {
        setFrameShape(QFrame::NoFrame);
        setFocusPolicy(Qt::NoFocus);
        horizontalScrollBar()->setFocusPolicy(Qt::NoFocus);
        verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
        viewport()->setObjectName(QStringLiteral("ColumnMenuEntries"));
        viewport()->setMouseTracking(true);
        viewport()->setFocusPolicy(Qt::NoFocus);
        viewport()->setAutoFillBackground(false);
        for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
            connect(bar, &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
        }
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(viewport());
        m_Menu->PaintEntries(painter, event->rect());
    }
    void resizeEvent(QResizeEvent* event) override {
        QAbstractScrollArea::resizeEvent(event);
        m_Menu->UpdateScrollBars();
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
    bool viewportEvent(QEvent* event) override {
        if (event->type() == QEvent::Leave) {
            m_Menu->SetActiveAction(nullptr);
        }
        return QAbstractScrollArea::viewportEvent(event);
    }
    void wheelEvent(QWheelEvent* event) override {
        // Sideways, column by column, when there is nothing to scroll up and down.
        if (verticalScrollBar()->maximum() == 0 && horizontalScrollBar()->maximum() > 0) {
            m_Wheel +=
                event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
            const int notches = m_Wheel / QWheelEvent::DefaultDeltasPerStep;
            m_Wheel -= notches * QWheelEvent::DefaultDeltasPerStep;
            m_Menu->WheelTurned(notches);
            event->accept();
            return;
        }
        QAbstractScrollArea::wheelEvent(event);
    }

private:
    TColumnMenu* m_Menu;
    int m_Wheel = 0; // turned but less than a notch yet
};

TColumnMenu::TColumnMenu(QWidget* parent) : QWidget(parent, Qt::Popup) {
    setAttribute(Qt::WA_WindowPropagation);
    setFocusPolicy(Qt::StrongFocus);
    setFont(QApplication::font("QMenu"));
    setPalette(QApplication::palette("QMenu"));
    auto* layout = new QVBoxLayout(this);
    const int frame = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    layout->setContentsMargins(frame, frame, frame, frame);
    m_Scroller = new cColumnMenuScroller(this);
    layout->addWidget(m_Scroller);
}

TColumnMenu::~TColumnMenu() = default;

QWidget* TColumnMenu::Entries() const {
    return m_Scroller->viewport();
}

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

bool TColumnMenu::StartsColumn(const QAction* entry) const {
    if (m_ColumnStarts.contains(entry)) {
        return true;
    }
    const auto inRun = std::find_if(m_Run.begin(), m_Run.end(),
                                    [entry](const cRunEntry& run) { return run.Action == entry; });
    return inRun != m_Run.end() && inRun->StartsColumn;
}

void TColumnMenu::SetEntryRun(QAction* anchor, std::vector<cRunEntry> entries, bool radio) {
    m_RunAnchor = anchor;
    m_Run = std::move(entries);
    m_RunRadio = radio;
    // The highlighted entry may have been one of the run's, which its owner may now delete.
    m_Active = nullptr;
    InvalidateLayout();
}

QList<QAction*> TColumnMenu::MenuEntries() const {
    QList<QAction*> entries;
    bool runPlaced = false;
    const auto placeRun = [&] {
        for (const cRunEntry& run : m_Run) {
            entries.push_back(run.Action);
        }
        runPlaced = true;
    };
    for (QAction* action : actions()) {
        if (action == m_RunAnchor) {
            placeRun();
        }
        entries.push_back(action);
    }
    if (!runPlaced) {
        placeRun();
    }
    return entries;
}

// ---- Layout ------------------------------------------------------------------------------

void TColumnMenu::actionEvent(QActionEvent* event) {
    if (event->type() == QEvent::ActionRemoved) {
        m_ColumnStarts.remove(event->action());
        if (m_Active == event->action()) {
            m_Active = nullptr;
        }
        if (m_RunAnchor == event->action()) {
            m_RunAnchor = nullptr; // the run goes to the end
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
        Entries()->update();
    }
}

bool TColumnMenu::Selectable(const QAction* entry) const {
    return entry && entry->isVisible() && entry->isEnabled() && !entry->isSeparator();
}

bool TColumnMenu::EntriesAreRadio(const QAction* entry, bool inRun) const {
    const QActionGroup* group = entry->actionGroup();
    return (group && group->isExclusive()) || (inRun && m_RunRadio);
}

QString TColumnMenu::ShownText(const QAction* entry) const {
    const QString text = entry->text();
    const QFontMetrics metrics(entry->font().resolve(font()));
    if (metrics.horizontalAdvance(text) <= kLongestText) {
        return text;
    }
    return metrics.elidedText(text, Qt::ElideRight, kLongestText, Qt::TextShowMnemonic);
}

void TColumnMenu::InitEntryOption(QStyleOptionMenuItem& option, const cPlacedEntry& placed) const {
    const QAction* entry = placed.Action;
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
        option.checkType =
            placed.Radio ? QStyleOptionMenuItem::Exclusive : QStyleOptionMenuItem::NonExclusive;
        option.checked = entry->isChecked();
    }
    option.menuItemType =
        entry->isSeparator() ? QStyleOptionMenuItem::Separator : QStyleOptionMenuItem::Normal;
    option.text = ShownText(entry);
    if (!entry->shortcut().isEmpty()) {
        option.text += QLatin1Char('\t') + entry->shortcut().toString(QKeySequence::NativeText);
    }
    option.maxIconWidth = 0;
    option.reservedShortcutWidth = m_Columns[static_cast<size_t>(placed.Column)].ShortcutWidth;
    option.menuRect = Entries()->rect();
}

int TColumnMenu::EntryHeight(const QAction* entry, bool radio) const {
    // The style sizes an entry by its kind and font, not by its text.
    const bool ownFont = entry->font().resolveMask() != 0;
    const int kind =
        (entry->isSeparator() ? 1 : 0) | (entry->isCheckable() ? 2 : 0) | (radio ? 4 : 0);
    if (!ownFont) {
        if (const auto known = m_Heights.constFind(kind); known != m_Heights.constEnd()) {
            return known.value();
        }
    }
    QStyleOptionMenuItem option;
    option.initFrom(this);
    option.font = entry->font().resolve(font());
    option.fontMetrics = QFontMetrics(option.font);
    option.menuHasCheckableItems = m_HasCheckable;
    option.checkType = !entry->isCheckable() ? QStyleOptionMenuItem::NotCheckable
                       : radio               ? QStyleOptionMenuItem::Exclusive
                                             : QStyleOptionMenuItem::NonExclusive;
    option.menuItemType =
        entry->isSeparator() ? QStyleOptionMenuItem::Separator : QStyleOptionMenuItem::Normal;
    option.text = entry->text();
    option.maxIconWidth = 0;
    const QSize content =
        entry->isSeparator() ? QSize(2, 2) : QSize(0, option.fontMetrics.height());
    const int height =
        style()->sizeFromContents(QStyle::CT_MenuItem, &option, content, this).height();
    if (!ownFont) {
        m_Heights.insert(kind, height);
    }
    return height;
}

void TColumnMenu::EnsureLayout() const {
    if (m_LayoutValid) {
        return;
    }
    m_LayoutValid = true;
    PlaceEntries();
    UpdateScrollBars();
}

void TColumnMenu::PlaceEntries() const {
    m_Placed.clear();
    m_Columns.clear();
    m_Places.clear();
    m_Heights.clear();
    m_ContentHeight = 0;
    const QList<QAction*> entries = actions();
    const auto checkable = [](const QAction* entry) {
        return entry->isVisible() && entry->isCheckable();
    };
    m_HasCheckable = std::any_of(entries.begin(), entries.end(), checkable) ||
                     std::any_of(m_Run.begin(), m_Run.end(),
                                 [&](const cRunEntry& run) { return checkable(run.Action); });
    m_Placed.reserve(static_cast<size_t>(entries.size()) + m_Run.size());
    const int vMargin = style()->pixelMetric(QStyle::PM_MenuVMargin, nullptr, this);
    int top = vMargin;
    bool runPlaced = false;
    const auto placeRun = [&] {
        for (const cRunEntry& run : m_Run) {
            PlaceEntry(run.Action, run.StartsColumn, true, top);
        }
        runPlaced = true;
    };
    for (QAction* entry : entries) {
        if (entry == m_RunAnchor) {
            placeRun();
        }
        PlaceEntry(entry, m_ColumnStarts.contains(entry), false, top);
    }
    if (!runPlaced) {
        placeRun();
    }
    m_ContentHeight = std::max(m_ContentHeight + vMargin, 10);
}

void TColumnMenu::PlaceEntry(QAction* entry, bool startsColumn, bool inRun, int& top) const {
    if (!entry->isVisible()) {
        return;
    }
    const int place = static_cast<int>(m_Placed.size());
    if (m_Columns.empty() || (startsColumn && place > 0)) {
        if (!m_Columns.empty()) {
            top = style()->pixelMetric(QStyle::PM_MenuVMargin, nullptr, this);
        }
        m_Columns.push_back({place, place, -1, 0});
    }
    const bool radio = EntriesAreRadio(entry, inRun);
    const int height = EntryHeight(entry, radio);
    m_Placed.push_back({entry, static_cast<int>(m_Columns.size()) - 1, top, height, radio});
    m_Columns.back().End = place + 1;
    top += height;
    m_ContentHeight = std::max(m_ContentHeight, top);
}

int TColumnMenu::ColumnWidth(int column) const {
    cColumn& measured = m_Columns[static_cast<size_t>(column)];
    if (measured.Width >= 0) {
        return measured.Width;
    }
    // A column is as wide as its widest entry plus its widest shortcut text.
    measured.ShortcutWidth = 0;
    for (int place = measured.First; place < measured.End; ++place) {
        const QAction* entry = m_Placed[static_cast<size_t>(place)].Action;
        if (!entry->isSeparator() && !entry->shortcut().isEmpty()) {
            const QFontMetrics metrics(entry->font().resolve(font()));
            measured.ShortcutWidth = std::max(
                measured.ShortcutWidth,
                metrics.horizontalAdvance(entry->shortcut().toString(QKeySequence::NativeText)));
        }
    }
    int width = 0;
    for (int place = measured.First; place < measured.End; ++place) {
        const cPlacedEntry& placed = m_Placed[static_cast<size_t>(place)];
        QStyleOptionMenuItem option;
        InitEntryOption(option, placed);
        QSize size(2, 2);
        if (!placed.Action->isSeparator()) {
            size = QSize(option.fontMetrics
                             .boundingRect(QRect(), Qt::TextSingleLine | Qt::TextShowMnemonic,
                                           ShownText(placed.Action))
                             .width(),
                         option.fontMetrics.height());
        }
        width = std::max(
            width, style()->sizeFromContents(QStyle::CT_MenuItem, &option, size, this).width());
    }
    measured.Width = width + measured.ShortcutWidth;
    return measured.Width;
}

int TColumnMenu::ColumnCount() const {
    EnsureLayout();
    return static_cast<int>(m_Columns.size());
}

int TColumnMenu::PlaceOf(const QAction* entry) const {
    EnsureLayout();
    if (m_Places.isEmpty() && !m_Placed.empty()) {
        m_Places.reserve(static_cast<qsizetype>(m_Placed.size()));
        for (size_t place = 0; place < m_Placed.size(); ++place) {
            m_Places.insert(m_Placed[place].Action, static_cast<int>(place));
        }
    }
    return m_Places.value(entry, -1);
}

int TColumnMenu::ActivePlace() const {
    if (m_Active == nullptr) {
        return -1;
    }
    EnsureLayout();
    if (m_ActivePlace < 0 || m_ActivePlace >= static_cast<int>(m_Placed.size()) ||
        m_Placed[static_cast<size_t>(m_ActivePlace)].Action != m_Active) {
        m_ActivePlace = PlaceOf(m_Active);
    }
    return m_ActivePlace;
}

int TColumnMenu::ColumnOf(const QAction* entry) const {
    const int place = PlaceOf(entry);
    return place < 0 ? -1 : m_Placed[static_cast<size_t>(place)].Column;
}

QRect TColumnMenu::EntryRect(const QAction* entry) const {
    const int place = PlaceOf(entry);
    return place < 0 ? QRect() : PlaceRect(place);
}

// ---- Scrolling ---------------------------------------------------------------------------

int TColumnMenu::FirstColumn() const {
    const int last = std::max(0, static_cast<int>(m_Columns.size()) - 1);
    return std::clamp(m_Scroller->horizontalScrollBar()->value(), 0, last);
}

int TColumnMenu::ColumnLeft(int column) const {
    const int hMargin = style()->pixelMetric(QStyle::PM_MenuHMargin, nullptr, this);
    int left = hMargin;
    const int first = FirstColumn();
    for (int at = first; at < column; ++at) {
        left += ColumnWidth(at) + kColumnGap;
    }
    for (int at = column; at < first; ++at) {
        left -= ColumnWidth(at) + kColumnGap;
    }
    return left;
}

int TColumnMenu::NaturalWidth(int atMost) const {
    const int hMargin = style()->pixelMetric(QStyle::PM_MenuHMargin, nullptr, this);
    int width = 2 * hMargin;
    for (int column = 0; column < static_cast<int>(m_Columns.size()) && width <= atMost; ++column) {
        width += ColumnWidth(column) + (column > 0 ? kColumnGap : 0);
    }
    return std::max(width, 20);
}

int TColumnMenu::FirstColumnShowing(int column) const {
    const int hMargin = style()->pixelMetric(QStyle::PM_MenuHMargin, nullptr, this);
    const int room = Entries()->width() - 2 * hMargin;
    int used = ColumnWidth(column);
    int first = column;
    while (first > 0 && used + kColumnGap + ColumnWidth(first - 1) <= room) {
        --first;
        used += kColumnGap + ColumnWidth(first);
    }
    return first;
}

int TColumnMenu::LastFirstColumn() const {
    return m_Columns.empty() ? 0 : FirstColumnShowing(static_cast<int>(m_Columns.size()) - 1);
}

void TColumnMenu::UpdateScrollBars() const {
    if (!m_LayoutValid) {
        return; // the layout sets them when it is made
    }
    QScrollBar* sideways = m_Scroller->horizontalScrollBar();
    const int lastFirst = LastFirstColumn();
    sideways->setRange(0, lastFirst);
    sideways->setSingleStep(1);
    sideways->setPageStep(std::max(1, static_cast<int>(m_Columns.size()) - lastFirst));
    QScrollBar* upDown = m_Scroller->verticalScrollBar();
    const int shown = Entries()->height();
    upDown->setRange(0, std::max(0, m_ContentHeight - shown));
    upDown->setPageStep(std::max(1, shown));
    upDown->setSingleStep(m_Placed.empty() ? 20 : m_Placed.front().Height);
}

QRect TColumnMenu::PlaceRect(int place) const {
    const cPlacedEntry& placed = m_Placed[static_cast<size_t>(place)];
    return QRect(ColumnLeft(placed.Column), placed.Top - m_Scroller->verticalScrollBar()->value(),
                 ColumnWidth(placed.Column), placed.Height);
}

int TColumnMenu::PlaceAt(const QPoint& point) const {
    EnsureLayout();
    const int hMargin = style()->pixelMetric(QStyle::PM_MenuHMargin, nullptr, this);
    const int y = point.y() + m_Scroller->verticalScrollBar()->value();
    int left = hMargin;
    for (int column = FirstColumn();
         column < static_cast<int>(m_Columns.size()) && left < Entries()->width(); ++column) {
        const int width = ColumnWidth(column);
        if (point.x() >= left && point.x() < left + width) {
            const cColumn& in = m_Columns[static_cast<size_t>(column)];
            const auto first = m_Placed.begin() + in.First;
            const auto end = m_Placed.begin() + in.End;
            const auto below = std::upper_bound(
                first, end, y, [](int at, const cPlacedEntry& placed) { return at < placed.Top; });
            if (below == first || y >= (below - 1)->Top + (below - 1)->Height) {
                return -1;
            }
            return static_cast<int>(below - 1 - m_Placed.begin());
        }
        left += width + kColumnGap;
    }
    return -1;
}

int TColumnMenu::SightEnd() const {
    const int hMargin = style()->pixelMetric(QStyle::PM_MenuHMargin, nullptr, this);
    int right = hMargin;
    int column = FirstColumn();
    for (; column < static_cast<int>(m_Columns.size()); ++column) {
        right += ColumnWidth(column);
        if (right > Entries()->width()) {
            break;
        }
        right += kColumnGap;
    }
    return column;
}

bool TColumnMenu::ColumnMayShow(int column) const {
    return column >= FirstColumn() && column <= SightEnd();
}

void TColumnMenu::ScrollToPlace(int place) {
    const cPlacedEntry& placed = m_Placed[static_cast<size_t>(place)];
    QScrollBar* sideways = m_Scroller->horizontalScrollBar();
    // Measured from the columns in sight, never across all the columns in between.
    if (placed.Column < FirstColumn()) {
        sideways->setValue(placed.Column);
    } else if (placed.Column >= SightEnd()) {
        sideways->setValue(FirstColumnShowing(placed.Column));
    }
    QScrollBar* upDown = m_Scroller->verticalScrollBar();
    if (placed.Top < upDown->value()) {
        upDown->setValue(placed.Top);
    } else if (placed.Top + placed.Height > upDown->value() + Entries()->height()) {
        upDown->setValue(placed.Top + placed.Height - Entries()->height());
    }
}

void TColumnMenu::WheelTurned(int notches) {
    QScrollBar* sideways = m_Scroller->horizontalScrollBar();
    sideways->setValue(sideways->value() - notches);
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
    // Larger than the screen: it takes the screen's size and a scroll bar. Only the columns up
    // to the screen's width are measured to find out.
    QSize size = QSize(NaturalWidth(area.width()), m_ContentHeight) + QSize(frame, frame);
    const bool tooWide = size.width() > area.width();
    if (tooWide) {
        size.setWidth(area.width());
        size.rheight() += bar;
    }
    const bool tooHigh = size.height() > area.height();
    if (tooHigh) {
        size.setHeight(area.height());
        size.setWidth(std::min(size.width() + (tooWide ? 0 : bar), area.width()));
    }
    m_Scroller->setHorizontalScrollBarPolicy(tooWide ? Qt::ScrollBarAlwaysOn
                                                     : Qt::ScrollBarAlwaysOff);
    m_Scroller->setVerticalScrollBarPolicy(tooHigh ? Qt::ScrollBarAlwaysOn
                                                   : Qt::ScrollBarAlwaysOff);
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
    const QWidget* surface = Entries();
    QStyleOptionMenuItem panel;
    panel.initFrom(surface);
    panel.palette = palette();
    panel.state = QStyle::State_None;
    panel.checkType = QStyleOptionMenuItem::NotCheckable;
    panel.rect = surface->rect();
    panel.menuRect = surface->rect();
    style()->drawPrimitive(QStyle::PE_PanelMenu, &panel, &painter, this);
    const int hMargin = style()->pixelMetric(QStyle::PM_MenuHMargin, nullptr, this);
    const int vMargin = style()->pixelMetric(QStyle::PM_MenuVMargin, nullptr, this);
    const int scrolled = m_Scroller->verticalScrollBar()->value();
    int left = hMargin;
    for (int column = FirstColumn();
         column < static_cast<int>(m_Columns.size()) && left < surface->width(); ++column) {
        PaintColumn(painter, area, column, left);
        if (column > 0) {
            // The bar that begins each column after the first: a sunken line.
            const int x = left - kColumnGap / 2 - 1;
            const int top = vMargin + 2 - scrolled;
            const int bottom = m_ContentHeight - vMargin - 3 - scrolled;
            painter.setPen(palette().color(QPalette::Mid));
            painter.drawLine(x, top, x, bottom);
            painter.setPen(palette().color(QPalette::Light));
            painter.drawLine(x + 1, top, x + 1, bottom);
        }
        left += ColumnWidth(column) + kColumnGap;
    }
}

void TColumnMenu::PaintColumn(QPainter& painter, const QRect& area, int column, int left) const {
    const cColumn& in = m_Columns[static_cast<size_t>(column)];
    const int width = ColumnWidth(column);
    const int scrolled = m_Scroller->verticalScrollBar()->value();
    // The entries from the first one that reaches into the area, down to its foot.
    auto placed = std::upper_bound(
        m_Placed.begin() + in.First, m_Placed.begin() + in.End, area.top() + scrolled,
        [](int y, const cPlacedEntry& entry) { return y < entry.Top + entry.Height; });
    for (; placed != m_Placed.begin() + in.End && placed->Top - scrolled <= area.bottom();
         ++placed) {
        const QRect rect(left, placed->Top - scrolled, width, placed->Height);
        QStyleOptionMenuItem option;
        InitEntryOption(option, *placed);
        option.rect = rect;
        painter.save();
        painter.setClipRect(rect.intersected(area));
        style()->drawControl(QStyle::CE_MenuItem, &option, &painter, this);
        painter.restore();
    }
}

void TColumnMenu::SetActiveAction(QAction* entry) {
    SetActivePlace(Selectable(entry) ? PlaceOf(entry) : -1);
}

void TColumnMenu::SetActivePlace(int place) {
    QAction* entry = place >= 0 ? m_Placed[static_cast<size_t>(place)].Action : nullptr;
    if (entry == m_Active) {
        return;
    }
    const int before = ActivePlace();
    m_Active = entry;
    m_ActivePlace = place;
    if (before >= 0 && ColumnMayShow(m_Placed[static_cast<size_t>(before)].Column)) {
        Entries()->update(PlaceRect(before));
    }
    if (place >= 0) {
        ScrollToPlace(place);
        Entries()->update(PlaceRect(place));
    }
}

// ---- Choosing ----------------------------------------------------------------------------

void TColumnMenu::MouseMovedTo(const QPoint& point) {
    const int place = PlaceAt(point);
    SetActivePlace(place >= 0 && Selectable(m_Placed[static_cast<size_t>(place)].Action) ? place
                                                                                         : -1);
}

void TColumnMenu::MouseReleasedAt(const QPoint& point) {
    const int place = PlaceAt(point);
    if (place >= 0 && Selectable(m_Placed[static_cast<size_t>(place)].Action)) {
        Choose(m_Placed[static_cast<size_t>(place)].Action);
    }
}

void TColumnMenu::EntryChosen(QAction*) {}

void TColumnMenu::Choose(QAction* entry) {
    // Closed first, as a menu does: what the entry starts (a dialog) runs without it.
    QPointer<QAction> chosen(entry);
    close();
    if (chosen) {
        EntryChosen(chosen);
    }
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
    const int active = ActivePlace();
    int place = active >= 0 ? active : (step > 0 ? -1 : count);
    for (int tried = 0; tried < count; ++tried) {
        place = ((place + step) % count + count) % count;
        if (Selectable(m_Placed[static_cast<size_t>(place)].Action)) {
            SetActivePlace(place);
            return;
        }
    }
}

void TColumnMenu::MoveAcross(int direction) {
    EnsureLayout();
    const int active = ActivePlace();
    if (active < 0) {
        MoveActive(direction);
        return;
    }
    const cPlacedEntry& from = m_Placed[static_cast<size_t>(active)];
    const int middle = from.Top + from.Height / 2;
    const int columns = static_cast<int>(m_Columns.size());
    // The nearest entry at the same height in the next column that has one to offer.
    for (int column = from.Column + direction; column >= 0 && column < columns;
         column += direction) {
        const cColumn& in = m_Columns[static_cast<size_t>(column)];
        int nearest = -1;
        int distance = INT_MAX;
        for (int place = in.First; place < in.End; ++place) {
            const cPlacedEntry& placed = m_Placed[static_cast<size_t>(place)];
            const int away = std::abs(placed.Top + placed.Height / 2 - middle);
            if (Selectable(placed.Action) && away < distance) {
                nearest = place;
                distance = away;
            }
        }
        if (nearest >= 0) {
            SetActivePlace(nearest);
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
