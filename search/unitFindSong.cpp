#include "search/unitFindSong.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "browser/unitBrowserState.h"
#include "search/unitFraCriteria.h"
#include "util/unitArt.h"
#include "util/unitFileHandle.h"
#include "util/unitMessages.h"

namespace {

QString Caption(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

const QScreen* ScreenOf(const QWidget* window) {
    return window->screen() ? window->screen() : QGuiApplication::primaryScreen();
}

} // namespace

TfrmFindSong::TfrmFindSong(cBrowserState& state, cIniFile& settings,
                           std::function<void()> fillSongList,
                           std::function<void(std::string_view)> reportError, QWidget* owner)
    // A window of its own over its owner, with a sizeable frame and only the close button.
    : QDialog(owner, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_State(state), m_Settings(settings), m_FillSongList(std::move(fillSongList)),
      m_ReportError(std::move(reportError)) {
    setObjectName(QStringLiteral("frmFindSong"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(tr("Find songs"));
    setWindowIcon(FindSongsIcon());
    CreateControls();
    FormCreate();
}

TfrmFindSong::~TfrmFindSong() = default;

// ---- Controls ----------------------------------------------------------------------------

void TfrmFindSong::CreateControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    layout->addWidget(CreateHeaderBox());
    layout->addWidget(CreateScopes());

    ScrollBox = new QScrollArea(this);
    ScrollBox->setObjectName(QStringLiteral("ScrollBox"));
    ScrollBox->setFrameShape(QFrame::NoFrame);
    ScrollBox->setWidgetResizable(true);
    auto* rows = new QWidget(ScrollBox);
    rows->setObjectName(QStringLiteral("ScrollBoxRows"));
    m_RowsLayout = new QVBoxLayout(rows);
    m_RowsLayout->setContentsMargins(0, 0, 0, 0);
    m_RowsLayout->setSpacing(0);
    // Rows stack from the top; the space below them stays empty.
    m_RowsLayout->addStretch(1);
    ScrollBox->setWidget(rows);
    layout->addWidget(ScrollBox, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addStretch(1);
    btnAddCriteria = new QPushButton(tr("&Add Criteria"), this);
    btnAddCriteria->setObjectName(QStringLiteral("btnAddCriteria"));
    btnSearch = new QPushButton(tr("&Search"), this);
    btnSearch->setObjectName(QStringLiteral("btnSearch"));
    QFont bold = btnSearch->font();
    bold.setBold(true);
    btnSearch->setFont(bold);
    btnSearch->setDefault(true);
    btnClose = new QPushButton(tr("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    for (QPushButton* button : {btnAddCriteria, btnSearch, btnClose}) {
        button->setMinimumWidth(std::max(75, button->sizeHint().width()));
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);

    connect(btnAddCriteria, &QPushButton::clicked, this, [this] { btnAddCriteriaClick(); });
    connect(btnSearch, &QPushButton::clicked, this, &TfrmFindSong::btnSearchClick);
    connect(btnClose, &QPushButton::clicked, this, &TfrmFindSong::close);
}

QWidget* TfrmFindSong::CreateHeaderBox() {
    auto* box = new QFrame(this);
    box->setObjectName(QStringLiteral("pnlHeader"));
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(10);
    auto* picture = new QLabel(box);
    picture->setObjectName(QStringLiteral("imgHeader"));
    picture->setPixmap(FindSongsPixmap());
    layout->addWidget(picture);
    auto* text = new QLabel(tr("Define here below conditions for the search"), box);
    text->setObjectName(QStringLiteral("lblHeader"));
    text->setWordWrap(true);
    layout->addWidget(text, 1);
    return box;
}

QWidget* TfrmFindSong::CreateScopes() {
    auto* scopes = new QWidget(this);
    auto* grid = new QGridLayout(scopes);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(2);
    m_Scopes = new QButtonGroup(this);
    m_Scopes->setExclusive(true);
    const auto add = [&](QRadioButton*& button, const char* name, eSearchScope tag, int line,
                         int column) {
        button = new QRadioButton(Caption(kSearchScopeCaptions[static_cast<size_t>(tag)]), scopes);
        button->setObjectName(QLatin1String(name));
        m_Scopes->addButton(button, static_cast<int>(tag));
        grid->addWidget(button, line, column);
    };
    add(radEntireCollection, "radEntireCollection", eSearchScope::EntireCollection, 0, 0);
    add(radSelFolder, "radSelFolder", eSearchScope::SelectedFolder, 0, 1);
    add(radSelFolderRecursively, "radSelFolderRecursively", eSearchScope::SelectedFolderRecursively,
        1, 0);
    add(RadInDisplay, "RadInDisplay", eSearchScope::DisplayedSongs, 1, 1);
    radEntireCollection->setChecked(true);
    return scopes;
}

// ---- Opening and closing -----------------------------------------------------------------

void TfrmFindSong::FormCreate() {
    m_Stored.Load(m_Settings);
    m_Scopes->button(static_cast<int>(m_Stored.LastSelectedRadio))->setChecked(true);
    // The stored outer size is the window's own until the frame is known (first activation).
    const QSize screenSize = ScreenOf(this)->availableGeometry().size();
    resize(QSize(m_Stored.Width.value_or(kFindWindowClientWidth),
                 m_Stored.Height.value_or(kFindWindowClientHeight))
               .boundedTo(screenSize));
    CentreOnScreen();
    btnAddCriteriaClick();
}

bool TfrmFindSong::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && !m_Activated) {
        m_Activated = true;
        ApplyStoredSize();
        CentreOnScreen();
    }
    return QDialog::event(event);
}

void TfrmFindSong::ApplyStoredSize() {
    // The stored size is the frame's; the designed size is the client area's.
    const QSize frameExtra = frameGeometry().size() - geometry().size();
    if (frameExtra == QSize(0, 0)) {
        return;
    }
    const QSize screenSize = ScreenOf(this)->availableGeometry().size();
    const int width = m_Stored.Width ? *m_Stored.Width - frameExtra.width() : this->width();
    const int height = m_Stored.Height ? *m_Stored.Height - frameExtra.height() : this->height();
    resize(QSize(width, height).boundedTo(screenSize - frameExtra));
}

void TfrmFindSong::CentreOnScreen() {
    const QRect area = ScreenOf(this)->availableGeometry();
    const QSize frame = frameGeometry().size();
    move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
}

void TfrmFindSong::reject() {
    close();
}

void TfrmFindSong::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TfrmFindSong::FormClose() {
    if (m_Closed) {
        return;
    }
    m_Closed = true;
    SaveSettings();
    emit FormClosed();
}

void TfrmFindSong::SaveSettings() {
    m_Stored.LastSelectedRadio = CheckedScope();
    m_Stored.Height = frameGeometry().height();
    m_Stored.Width = frameGeometry().width();
    try {
        m_Stored.Save(m_Settings);
    } catch (const EFileError& error) {
        ShowErrorMessage("The search window's settings could not be saved: ", error.what());
    }
}

// ---- Rows --------------------------------------------------------------------------------

TfraCriteria* TfrmFindSong::btnAddCriteriaClick() {
    auto* row = new TfraCriteria(ScrollBox->widget());
    connect(row, &TfraCriteria::btnCloseFrameClick, this, &TfrmFindSong::btnCloseFrameClick);
    // Below every row, above the empty space.
    m_RowsLayout->insertWidget(static_cast<int>(m_Rows.size()), row);
    // The keyboard visits the rows in their order, between the scopes and the buttons.
    QWidget* before =
        m_Rows.isEmpty() ? static_cast<QWidget*>(RadInDisplay) : m_Rows.back()->Condition();
    setTabOrder(before, row->Fields());
    setTabOrder(row->Fields(), row->SearchMethod());
    setTabOrder(row->SearchMethod(), row->Condition());
    m_Rows.append(row);
    row->show();
    // The focus goes there now when the window is shown, else when it first is.
    row->Condition()->setFocus();
    if (isVisible()) {
        // Once the rows are laid out anew, the new one is scrolled into sight.
        QTimer::singleShot(0, row, [this, row] { ScrollBox->ensureWidgetVisible(row); });
    }
    return row;
}

void TfrmFindSong::btnCloseFrameClick(TfraCriteria* row) {
    if (m_Rows.size() <= 1 || !m_Rows.contains(row)) {
        return;
    }
    m_Rows.removeOne(row);
    m_RowsLayout->removeWidget(row);
    row->hide();
    // The row's own button is still reporting its click.
    row->deleteLater();
}

eSearchScope TfrmFindSong::CheckedScope() const {
    return SearchScopeFromTag(m_Scopes->checkedId()).value_or(eSearchScope::EntireCollection);
}

// ---- Search ------------------------------------------------------------------------------

void TfrmFindSong::btnSearchClick() {
    std::vector<cCriteriaRow> rows;
    rows.reserve(static_cast<size_t>(m_Rows.size()));
    for (const TfraCriteria* row : m_Rows) {
        rows.push_back(row->Row());
    }
    try {
        m_State.ShowSearchResult(SearchSongs(CriteriaOfRows(rows), CheckedScope(),
                                             m_State.ViewMode, m_State.SelectedFolder,
                                             m_State.DisplayedSongs));
    } catch (const std::exception& error) {
        // Nothing here handles a rejected condition: it is an error nobody handled. It is
        // reported from here rather than thrown on, because it would otherwise unwind through
        // the toolkit's own event handling, which is not built to be unwound. The list and the
        // flag stay as they were.
        m_ReportError(error.what());
        return;
    }
    m_FillSongList();
}
