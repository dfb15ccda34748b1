#include "util/unitArt.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <functional>
#include <numbers>

namespace {

const QColor kDeepBlue(0x1F, 0x4E, 0x9C);
const QColor kMidBlue(0x3A, 0x78, 0xD6);
const QColor kPaleBlue(0xDD, 0xE8, 0xF8);

/// A transparent pixmap of the logical size at the screen's pixel ratio, painted by the drawer
/// in logical coordinates with antialiasing.
QPixmap Draw(int width, int height, const std::function<void(QPainter&)>& drawer, qreal ratio = 0) {
    if (ratio <= 0) {
        ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    }
    QPixmap pixmap(qRound(width * ratio), qRound(height * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawer(painter);
    return pixmap;
}

/// A record seen from above with its label and grooves, centred at c with radius r.
void DrawRecord(QPainter& painter, QPointF c, qreal r) {
    QRadialGradient vinyl(c, r);
    vinyl.setColorAt(0.0, QColor(0x3A, 0x3F, 0x4A));
    vinyl.setColorAt(1.0, QColor(0x12, 0x15, 0x1C));
    painter.setPen(QPen(QColor(0x0B, 0x0D, 0x12), 1.0));
    painter.setBrush(vinyl);
    painter.drawEllipse(c, r, r);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 38), 0.8));
    for (qreal groove = r * 0.86; groove > r * 0.45; groove -= r * 0.11) {
        painter.drawEllipse(c, groove, groove);
    }
    // A soft highlight across the grooves.
    QPainterPath shine;
    shine.moveTo(c);
    shine.arcTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 100, 40);
    shine.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 40));
    painter.drawPath(shine);
    QRadialGradient label(c, r * 0.36);
    label.setColorAt(0.0, QColor(0x7F, 0xB2, 0xFF));
    label.setColorAt(1.0, kMidBlue);
    painter.setBrush(label);
    painter.drawEllipse(c, r * 0.36, r * 0.36);
    painter.setBrush(QColor(0x12, 0x15, 0x1C));
    painter.drawEllipse(c, r * 0.06, r * 0.06);
}

/// A beamed pair of eighth notes whose left note head sits at (x, y), scaled by s.
void DrawNotes(QPainter& painter, qreal x, qreal y, qreal s, const QColor& ink,
               const QColor& outline) {
    QPainterPath notes;
    auto head = [&](qreal hx, qreal hy) {
        QPainterPath h;
        h.addEllipse(QPointF(hx, hy), 4.2 * s, 3.1 * s);
        QTransform tilt;
        tilt.translate(hx, hy);
        tilt.rotate(-20);
        tilt.translate(-hx, -hy);
        notes.addPath(tilt.map(h));
    };
    head(x, y);
    head(x + 13 * s, y - 4 * s);
    notes.addRect(QRectF(x + 2.6 * s, y - 20 * s, 1.9 * s, 20 * s));
    notes.addRect(QRectF(x + 15.6 * s, y - 24 * s, 1.9 * s, 20 * s));
    QPainterPath beam;
    beam.moveTo(x + 2.6 * s, y - 20 * s);
    beam.lineTo(x + 17.5 * s, y - 24 * s);
    beam.lineTo(x + 17.5 * s, y - 19.5 * s);
    beam.lineTo(x + 2.6 * s, y - 15.5 * s);
    beam.closeSubpath();
    notes.addPath(beam);
    notes.setFillRule(Qt::WindingFill);
    painter.setPen(QPen(outline, 1.6 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(notes.simplified());
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawPath(notes.simplified());
}

/// A sheet of songs (lines with notes) and a magnifier over its lower right corner, drawn in
/// a 64 by 64 square.
void DrawFindSongs(QPainter& painter) {
    const QRectF sheet(6, 4, 38, 48);
    painter.setPen(QPen(QColor(0x7A, 0x96, 0xC2), 1.5));
    painter.setBrush(QColor(0xF7, 0xFA, 0xFF));
    painter.drawRoundedRect(sheet, 4, 4);
    painter.setPen(QPen(kMidBlue, 3.0, Qt::SolidLine, Qt::RoundCap));
    for (int line = 0; line < 4; ++line) {
        const qreal y = 14 + line * 9;
        painter.drawPoint(QPointF(13, y));
        painter.drawLine(QPointF(19, y), QPointF(line % 2 ? 30 : 36, y));
    }
    const QPointF lens(40, 38);
    painter.setPen(QPen(kDeepBlue, 9.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(49, 47), QPointF(58, 56));
    QRadialGradient glass(lens - QPointF(4, 4), 16);
    glass.setColorAt(0.0, QColor(255, 255, 255, 235));
    glass.setColorAt(1.0, QColor(0xB8, 0xD0, 0xF4, 200));
    painter.setPen(QPen(kDeepBlue, 4.5));
    painter.setBrush(glass);
    painter.drawEllipse(lens, 13, 13);
}

QIcon IconFromDrawer(const std::function<void(QPainter&)>& drawer) {
    QIcon icon;
    for (qreal ratio : {1.0, 2.0}) {
        icon.addPixmap(Draw(16, 16, drawer, ratio));
    }
    return icon;
}

} // namespace

QPixmap HeaderLogoPixmap() {
    return Draw(75, 86, [](QPainter& p) {
        // A rounded tile, lighter at the top, with the record and the notes on it.
        const QRectF tile(3.5, 3.5, 68, 79);
        QLinearGradient fill(tile.topLeft(), tile.bottomLeft());
        fill.setColorAt(0.0, QColor(0x4C, 0x8D, 0xEB));
        fill.setColorAt(1.0, kDeepBlue);
        p.setPen(QPen(QColor(0x17, 0x3B, 0x78), 1.0));
        p.setBrush(fill);
        p.drawRoundedRect(tile, 9, 9);
        p.setPen(QPen(QColor(255, 255, 255, 70), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(tile.adjusted(1, 1, -1, -1), 8, 8);
        DrawRecord(p, QPointF(34, 35), 24);
        DrawNotes(p, 45, 53, 0.95, Qt::white, QColor(0x17, 0x3B, 0x78));
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(12);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(3.5, 63, 68, 16), Qt::AlignCenter, QStringLiteral("Tunaria"));
    });
}

QPixmap AboutLogoPixmap() {
    return Draw(83, 55, [](QPainter& p) {
        const QRectF tile(1.5, 1.5, 80, 52);
        QLinearGradient fill(tile.topLeft(), tile.bottomRight());
        fill.setColorAt(0.0, QColor(0x4C, 0x8D, 0xEB));
        fill.setColorAt(1.0, kDeepBlue);
        p.setPen(QPen(QColor(0x17, 0x3B, 0x78), 1.0));
        p.setBrush(fill);
        p.drawRoundedRect(tile, 8, 8);
        DrawRecord(p, QPointF(30, 27.5), 21);
        DrawNotes(p, 52, 41, 1.05, Qt::white, QColor(0x17, 0x3B, 0x78));
    });
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        icon.addPixmap(Draw(
            size, size, [size](QPainter& p) { PaintProgramIcon(p, size); }, 1.0));
    }
    return icon;
}

void PaintProgramIcon(QPainter& p, qreal size) {
    p.save();
    p.scale(size / 64.0, size / 64.0);
    QLinearGradient fill(0, 0, 0, 64);
    fill.setColorAt(0.0, QColor(0x4C, 0x8D, 0xEB));
    fill.setColorAt(1.0, kDeepBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    DrawRecord(p, QPointF(29, 30), 22);
    DrawNotes(p, 40, 52, 0.9, Qt::white, QColor(0x17, 0x3B, 0x78));
    p.restore();
}

QPixmap MostPopularPixmap() {
    return Draw(16, 16, [](QPainter& p) {
        QPainterPath star;
        const QPointF c(8, 8.4);
        for (int i = 0; i < 10; ++i) {
            const qreal radius = (i % 2 == 0) ? 7.4 : 3.1;
            const qreal angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
            const QPointF point(c.x() + radius * std::cos(angle), c.y() + radius * std::sin(angle));
            i == 0 ? star.moveTo(point) : star.lineTo(point);
        }
        star.closeSubpath();
        QLinearGradient gold(0, 1, 0, 15);
        gold.setColorAt(0.0, QColor(0xFF, 0xE2, 0x6B));
        gold.setColorAt(1.0, QColor(0xF2, 0xA4, 0x12));
        p.setPen(QPen(QColor(0xB0, 0x70, 0x00), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(gold);
        p.drawPath(star);
    });
}

QIcon SearchGlyph() {
    return IconFromDrawer([](QPainter& p) {
        p.setPen(QPen(kDeepBlue, 1.8));
        p.setBrush(QColor(255, 255, 255, 200));
        p.drawEllipse(QPointF(6.5, 6.5), 4.6, 4.6);
        p.setPen(QPen(kDeepBlue, 3.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(10.2, 10.2), QPointF(14.2, 14.2));
    });
}

QIcon FolderPaneGlyph() {
    return IconFromDrawer([](QPainter& p) {
        const QColor folder(0xF0, 0xC0, 0x4A);
        const QColor edge(0xB5, 0x84, 0x16);
        auto drawFolder = [&](QRectF r) {
            p.setPen(QPen(edge, 1.0));
            p.setBrush(folder);
            QPainterPath path;
            path.moveTo(r.left(), r.top() + 1);
            path.lineTo(r.left() + r.width() * 0.4, r.top() + 1);
            path.lineTo(r.left() + r.width() * 0.5, r.top());
            path.lineTo(r.right(), r.top());
            path.lineTo(r.right(), r.bottom());
            path.lineTo(r.left(), r.bottom());
            path.closeSubpath();
            p.drawPath(path);
        };
        drawFolder(QRectF(1.5, 1.5, 8, 5));
        drawFolder(QRectF(6.5, 9.5, 8, 5));
        p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1.0));
        p.drawLine(QPointF(3.5, 7), QPointF(3.5, 12));
        p.drawLine(QPointF(3.5, 12), QPointF(6, 12));
    });
}

QPixmap DownArrowPixmap(const QColor& colour) {
    return Draw(11, 18, [colour](QPainter& p) {
        QPainterPath arrow;
        arrow.moveTo(2.0, 7.5);
        arrow.lineTo(9.0, 7.5);
        arrow.lineTo(5.5, 11.5);
        arrow.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPath(arrow);
    });
}

QPixmap ViewModesPixmap() {
    return Draw(16, 17, [](QPainter& p) {
        // Three stacked sheets: one folder, a folder and its subfolders, everything.
        const QColor fills[] = {QColor(0xB8, 0xD0, 0xF4), QColor(0x86, 0xAF, 0xEE), kMidBlue};
        for (int i = 0; i < 3; ++i) {
            const QRectF sheet(1.5 + i * 2.0, 1.5 + i * 4.0, 10, 7);
            p.setPen(QPen(kDeepBlue, 1.0));
            p.setBrush(fills[i]);
            p.drawRoundedRect(sheet, 1.2, 1.2);
        }
    });
}

QPixmap FilterBandPixmap() {
    return Draw(16, 16, [](QPainter& p) {
        QPainterPath funnel;
        funnel.moveTo(2, 3);
        funnel.lineTo(14, 3);
        funnel.lineTo(9.3, 8.5);
        funnel.lineTo(9.3, 13.5);
        funnel.lineTo(6.7, 12);
        funnel.lineTo(6.7, 8.5);
        funnel.closeSubpath();
        p.setPen(QPen(QColor(255, 255, 255, 235), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(QColor(255, 255, 255, 90));
        p.drawPath(funnel);
    });
}

QPixmap SongGroupsPixmap() {
    return Draw(32, 32, [](QPainter& p) {
        const QColor fills[] = {QColor(0xB8, 0xD0, 0xF4), QColor(0x86, 0xAF, 0xEE), kMidBlue};
        for (int i = 0; i < 3; ++i) {
            const QRectF folder(2.5 + i * 4.0, 3.5 + i * 5.0, 20, 14);
            QPainterPath shape;
            shape.moveTo(folder.left(), folder.top() + 2);
            shape.lineTo(folder.left() + 7, folder.top() + 2);
            shape.lineTo(folder.left() + 9, folder.top());
            shape.lineTo(folder.right(), folder.top());
            shape.lineTo(folder.right(), folder.bottom());
            shape.lineTo(folder.left(), folder.bottom());
            shape.closeSubpath();
            p.setPen(QPen(kDeepBlue, 1.0));
            p.setBrush(fills[i]);
            p.drawPath(shape);
        }
        DrawNotes(p, 16.5, 28, 0.5, Qt::white, kDeepBlue);
    });
}

QIcon FindSongsIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        icon.addPixmap(Draw(
            size, size,
            [size](QPainter& p) {
                p.scale(size / 64.0, size / 64.0);
                DrawFindSongs(p);
            },
            1.0));
    }
    return icon;
}

QPixmap FindSongsPixmap() {
    return Draw(32, 32, [](QPainter& p) {
        p.scale(0.5, 0.5);
        DrawFindSongs(p);
    });
}

QIcon CloseRowGlyph() {
    QIcon icon;
    for (qreal ratio : {1.0, 2.0}) {
        icon.addPixmap(Draw(
            10, 10,
            [](QPainter& p) {
                p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1.6, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(2, 2), QPointF(8, 8));
                p.drawLine(QPointF(8, 2), QPointF(2, 8));
            },
            ratio));
    }
    return icon;
}
