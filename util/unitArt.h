#pragma once
// The pictures of the windows, drawn in code: the header logo, the About logo, the program
// icon and the small glyphs of the header and the song list band. Each is drawn at the
// screen's pixel ratio, so it stays sharp on high-density screens.

#include <QIcon>
#include <QPixmap>

class QPainter;

/// The header logo, 75 by 86: a record with a note, and the program's name under it.
QPixmap HeaderLogoPixmap();
/// The About box logo, 83 by 55.
QPixmap AboutLogoPixmap();
/// The program icon (window and task bar).
QIcon ProgramIcon();
/// Paints the program icon into the square from (0, 0) to (size, size) of the painter; the
/// same artwork serves the window, the task bar and the icon files the desktop shows.
void PaintProgramIcon(QPainter& painter, qreal size);
/// 16 by 16: the star in front of the most popular song.
QPixmap MostPopularPixmap();
/// Glyph of the search toggle button (a magnifier), 16 by 16.
QIcon SearchGlyph();
/// Glyph of the folder pane toggle button (a folder tree), 16 by 16.
QIcon FolderPaneGlyph();
/// The selector's down arrow, 11 by 18 (a small triangle in the middle).
QPixmap DownArrowPixmap(const QColor& colour);
/// The selector's view-modes picture, 16 by 17 (three stacked sheets).
QPixmap ViewModesPixmap();
/// The small picture at the right end of the band above the list (a funnel), 16 by 16.
QPixmap FilterBandPixmap();
/// The group window's picture, 32 by 32: three labelled folders of songs, a note on the front one.
QPixmap SongGroupsPixmap();
/// The search window's icon: a magnifier over a sheet of songs.
QIcon FindSongsIcon();
/// The picture of the search window's framed box, 32 by 32: the same drawing.
QPixmap FindSongsPixmap();
/// The glyph of a condition row's close button (a small cross), 10 by 10.
QIcon CloseRowGlyph();
