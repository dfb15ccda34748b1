#pragma once
// The controls of the song list pane: the band pnlActiveGroup above the list, which names the
// filter in force, and the two views of the song list over the same rows and the one
// selection: the details view
// lstSongs (one row per song, a column per visible column) and the large-icon view
// lstSongsIcons. Both select whole rows, several at a time, keep the selection visible without
// the focus, take dropped files (the pane decides what becomes of them), and never start a drag
// of their own: the pane starts the song drag by its own gesture. A caption is edited in place
// only by the rename, and the edited text goes to the commit given, never into the model.

#include <functional>

class QLabel;
class QListView;
class QModelIndex;
class QString;
class QTreeView;
class QWidget;
class TSongRows;

/// What becomes of a caption edited in place: the row's index and the text as committed.
using cCaptionCommit = std::function<void(const QModelIndex& index, const QString& text)>;

/// The band "pnlActiveGroup": white bold text on blue, the filter picture at its right end.
QLabel* NewActiveGroupBand(QWidget* parent);
/// The details view over the rows, "lstSongs".
QTreeView* NewSongDetailsView(TSongRows& rows, const cCaptionCommit& commit, QWidget* parent);
/// The large-icon view over the rows, "lstSongsIcons".
QListView* NewSongIconView(TSongRows& rows, const cCaptionCommit& commit, QWidget* parent);
