#include "browser/unitVisibleColumns.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "browser/unitSongColumns.h"
#include "util/unitAsciiCase.h"
#include "util/unitDesktop.h"
#include "util/unitDialogs.h"

namespace {
constexpr int kClientWidth = 176;
constexpr int kClientHeight = 229;
constexpr int kEntryHeight = 13;

bool Listed(const std::vector<std::string>& names, std::string_view name) {
    return std::any_of(names.begin(), names.end(), [name](const std::string& listed) {
        return SameTextIgnoringAsciiCase(listed, name);
    });
}
} // namespace

TfrmVisibleColumns::TfrmVisibleColumns(const std::vector<std::string>& visibleColumns,
                                       QWidget* parent)
    : QDialog(parent) {
    MakeFixedDialog(*this, QStringLiteral("frmVisibleColumns"), tr("Columns"),
                    QSize(kClientWidth, kClientHeight));
    QFont small = QApplication::font();
    small.setPointSizeF(8);
    setFont(small);

    auto* caption = new QLabel(tr("Select the columns to show:"), this);
    caption->setObjectName(QStringLiteral("Label1"));
    caption->move(8, 8);

    lstColumns = new QListWidget(this);
    lstColumns->setObjectName(QStringLiteral("lstColumns"));
    lstColumns->setGeometry(8, 28, 161, 162);
    lstColumns->setUniformItemSizes(true);
    for (const std::string_view name : kColumnNames) {
        auto* entry =
            new QListWidgetItem(QString::fromLatin1(name.data(), name.size()), lstColumns);
        entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        entry->setSizeHint(QSize(0, std::max(kEntryHeight, fontMetrics().height())));
        const bool shown = Listed(visibleColumns, name);
        entry->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
        m_CheckedCount += shown ? 1 : 0;
    }

    btnOK = new QPushButton(tr("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(12, 201, 73, 23);
    btnOK->setDefault(true);
    btnOK->setEnabled(m_CheckedCount > 0);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    btnCancel = new QPushButton(tr("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(92, 201, 73, 23);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    connect(lstColumns, &QListWidget::itemChanged, this, &TfrmVisibleColumns::lstColumnsClickCheck);
    lstColumns->setFocus();
}

void TfrmVisibleColumns::lstColumnsClickCheck(QListWidgetItem*) {
    // Counted anew at each toggle, so a change of an entry that is no toggle cannot skew it.
    m_CheckedCount = 0;
    for (int row = 0; row < lstColumns->count(); ++row) {
        m_CheckedCount += lstColumns->item(row)->checkState() == Qt::Checked ? 1 : 0;
    }
    btnOK->setEnabled(m_CheckedCount > 0);
}

std::vector<std::string> TfrmVisibleColumns::CheckedColumns() const {
    std::vector<std::string> names;
    for (int row = 0; row < lstColumns->count(); ++row) {
        if (lstColumns->item(row)->checkState() == Qt::Checked) {
            names.push_back(lstColumns->item(row)->text().toStdString());
        }
    }
    return names;
}

bool ChooseVisibleColumns(std::vector<std::string>& visibleColumns, cDesktop& desktop,
                          QWidget* parent) {
    TfrmVisibleColumns window(visibleColumns, parent);
    if (desktop.RunDialog(window) != QDialog::Accepted) {
        return false;
    }
    std::vector<std::string> chosen = window.CheckedColumns();
    if (chosen.empty()) {
        return false; // OK cannot be pressed then; the list is never left empty
    }
    visibleColumns = std::move(chosen);
    return true;
}
