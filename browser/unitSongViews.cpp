#include "browser/unitSongViews.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <utility>

#include "browser/unitSongListModel.h"
#include "browser/unitSongRows.h"
#include "util/unitArt.h"
#include "util/unitListViewUtils.h"

namespace {

const QColor kBandColour(0x52, 0x97, 0xF9);

/// The song views take a press on a selected song as the possible start of a drag (the other
/// selected songs stay selected until the release), but never start a drag of their own.
class TSongTreeView final : public QTreeView {
public:
    using QTreeView::QTreeView;

protected:
    void startDrag(Qt::DropActions) override {}
};

class TSongIconView final : public QListView {
public:
    using QListView::QListView;

protected:
    void startDrag(Qt::DropActions) override {}
};

/// The in-place editor of a caption: a committed text goes to the commit, never into the model
/// (the row shows the record, which follows the file only when the rename worked).
class cCaptionEditDelegate final : public QStyledItemDelegate {
public:
    cCaptionEditDelegate(cCaptionCommit commit, QObject* parent)
        : QStyledItemDelegate(parent), m_Commit(std::move(commit)) {}

    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        if (const auto* line = qobject_cast<const QLineEdit*>(editor)) {
            m_Commit(index, line->text());
        }
    }

private:
    cCaptionCommit m_Commit;
};

/// What both view styles share.
void SetUpSongView(QAbstractItemView* view, const char* name, const TSongRows& rows) {
    view->setObjectName(QString::fromLatin1(name));
    view->setModel(rows.Model());
    view->setSelectionModel(rows.Selection());
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setFrameShape(QFrame::NoFrame);
    view->setTextElideMode(Qt::ElideRight);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    KeepSelectionVisible(view);
    view->setDragEnabled(true);
    view->setAcceptDrops(true);
    view->viewport()->setAcceptDrops(true);
    view->setDropIndicatorShown(false);
}

} // namespace

QLabel* NewActiveGroupBand(QWidget* parent) {
    auto* band = new QLabel(parent);
    band->setObjectName(QStringLiteral("pnlActiveGroup"));
    band->setFixedHeight(21);
    band->setAutoFillBackground(true);
    band->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont font = QApplication::font();
    font.setPointSizeF(10);
    font.setBold(true);
    band->setFont(font);
    QPalette colours = band->palette();
    colours.setColor(QPalette::Window, kBandColour);
    colours.setColor(QPalette::WindowText, Qt::white);
    band->setPalette(colours);
    auto* layout = new QHBoxLayout(band);
    layout->setContentsMargins(0, 0, 4, 0);
    layout->addStretch(1);
    auto* picture = new QLabel(band);
    picture->setObjectName(QStringLiteral("imgActiveGroup"));
    picture->setPixmap(FilterBandPixmap());
    layout->addWidget(picture);
    return band;
}

QTreeView* NewSongDetailsView(TSongRows& rows, const cCaptionCommit& commit, QWidget* parent) {
    auto* view = new TSongTreeView(parent);
    SetUpSongView(view, "lstSongs", rows);
    view->setUniformRowHeights(true);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setAllColumnsShowFocus(true);
    view->setIconSize(QSize(16, 16));
    // One editor delegate per view: a shared one would close the other view's editors too.
    view->setItemDelegateForColumn(0, new cCaptionEditDelegate(commit, view));
    return view;
}

QListView* NewSongIconView(TSongRows& rows, const cCaptionCommit& commit, QWidget* parent) {
    auto* view = new TSongIconView(parent);
    SetUpSongView(view, "lstSongsIcons", rows);
    view->setViewMode(QListView::IconMode);
    view->setMovement(QListView::Static);
    view->setResizeMode(QListView::Adjust);
    view->setFlow(QListView::LeftToRight);
    view->setWrapping(true);
    view->setIconSize(QSize(32, 32));
    view->setGridSize(QSize(100, 72));
    view->setUniformItemSizes(true);
    view->setWordWrap(true);
    view->setLayoutMode(QListView::Batched);
    view->setBatchSize(2000);
    view->setItemDelegate(new cCaptionEditDelegate(commit, view));
    return view;
}
