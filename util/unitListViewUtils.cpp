#include "util/unitListViewUtils.h"

#include <QCursor>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QTreeView>

#include "util/unitIniFile.h"

namespace {

std::string ColumnCaption(const QTreeView* listView, int column) {
    return listView->model()
        ->headerData(column, Qt::Horizontal, Qt::DisplayRole)
        .toString()
        .toStdString();
}

int ColumnCount(const QTreeView* listView) {
    return listView->model() ? listView->model()->columnCount() : 0;
}

} // namespace

void ReadColumnWidths(std::string_view section, QTreeView* listView, const cIniFile& settings) {
    QHeaderView* header = listView->header();
    for (int column = 0; column < ColumnCount(listView); ++column) {
        const int width = settings.ReadInteger(section, ColumnCaption(listView, column),
                                               header->sectionSize(column));
        header->resizeSection(column, width);
    }
}

void WriteColumnWidths(std::string_view section, QTreeView* listView, cIniFile& settings) {
    const QHeaderView* header = listView->header();
    cIniFile::cBatch batch(settings);
    for (int column = 0; column < ColumnCount(listView); ++column) {
        settings.WriteInteger(section, ColumnCaption(listView, column),
                              header->sectionSize(column));
    }
    batch.Commit();
}

bool FindColumnByCaption(QTreeView* listView, const QString& caption, int& column) {
    for (int i = 0; i < ColumnCount(listView); ++i) {
        if (listView->model()->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString() ==
            caption) {
            column = i;
            return true;
        }
    }
    return false;
}

void SelectAllItems(QAbstractItemView* listView) {
    const QAbstractItemModel* model = listView->model();
    const int rows = model ? model->rowCount() : 0;
    if (rows == 0) {
        return;
    }
    const QItemSelection all(model->index(0, 0), model->index(rows - 1, 0));
    listView->selectionModel()->select(all,
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void SelectListItem(QAbstractItemView* listView, int index,
                    const std::function<void()>& selectionChangeHandler) {
    SelectListItem(listView->selectionModel(), index, selectionChangeHandler);
}

void SelectListItem(QItemSelectionModel* selection, int index,
                    const std::function<void()>& selectionChangeHandler) {
    const QAbstractItemModel* model = selection ? selection->model() : nullptr;
    if (!model || model->rowCount() == 0) {
        if (selectionChangeHandler) {
            selectionChangeHandler();
        }
        return;
    }
    const QModelIndex item = model->index(index, 0);
    if (!item.isValid()) {
        return;
    }
    selection->select(item, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->setCurrentIndex(item, QItemSelectionModel::NoUpdate);
}

void PopupAtCursor(QMenu* menu) {
    menu->popup(QCursor::pos());
}

void KeepSelectionVisible(QWidget* view) {
    QPalette colours = view->palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::HighlightedText));
    view->setPalette(colours);
}
