#include "util/unitFileIcons.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

#include "util/unitAsciiCase.h"
#include "util/unitUtils.h"

namespace {

QIcon LookUpIcon(const std::string& suffix) {
    static const QMimeDatabase mimeDatabase;
    const QMimeType mime = mimeDatabase.mimeTypeForFile(
        QStringLiteral("file.") + QString::fromUtf8(suffix), QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(mime.iconName());
    if (icon.isNull()) {
        icon = QIcon::fromTheme(mime.genericIconName());
    }
    if (!icon.isNull()) {
        return icon;
    }
    if (mime.name().startsWith(QLatin1String("audio/"))) {
        return DrawnAudioFileIcon();
    }
    return QApplication::style()->standardIcon(QStyle::SP_FileIcon);
}

QPixmap DrawAudioFile(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    // The sheet with a folded corner.
    QPainterPath sheet;
    sheet.moveTo(6.5, 2.5);
    sheet.lineTo(20.5, 2.5);
    sheet.lineTo(26.5, 8.5);
    sheet.lineTo(26.5, 29.5);
    sheet.lineTo(6.5, 29.5);
    sheet.closeSubpath();
    QLinearGradient paper(0, 0, 0, 32);
    paper.setColorAt(0, QColor(0xFF, 0xFF, 0xFF));
    paper.setColorAt(1, QColor(0xE4, 0xEC, 0xF7));
    painter.setPen(QPen(QColor(0x6F, 0x86, 0xA8), 1.0));
    painter.setBrush(paper);
    painter.drawPath(sheet);
    QPainterPath fold;
    fold.moveTo(20.5, 2.5);
    fold.lineTo(20.5, 8.5);
    fold.lineTo(26.5, 8.5);
    painter.setBrush(QColor(0xC9, 0xD6, 0xEA));
    painter.drawPath(fold);
    // A beamed pair of notes.
    const QColor ink(0x2F, 0x5F, 0xB3);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawEllipse(QRectF(9.0, 20.0, 5.0, 4.0));
    painter.drawEllipse(QRectF(17.0, 18.0, 5.0, 4.0));
    painter.setPen(QPen(ink, 1.6));
    painter.drawLine(QLineF(13.4, 21.8, 13.4, 12.5));
    painter.drawLine(QLineF(21.4, 19.8, 21.4, 10.5));
    painter.setPen(QPen(ink, 2.6));
    painter.drawLine(QLineF(13.4, 12.8, 21.4, 10.8));
    return pixmap;
}

} // namespace

std::string LowerCaseSuffix(std::string_view path) {
    const std::string_view name = FileNamePart(path);
    const size_t dot = name.rfind('.');
    return LowerCaseAscii(dot == std::string_view::npos ? std::string_view()
                                                        : name.substr(dot + 1));
}

const QIcon& cFileIconCache::IconFor(std::string_view path) {
    std::string suffix = LowerCaseSuffix(path);
    auto found = m_Icons.find(suffix);
    if (found == m_Icons.end()) {
        QIcon icon = LookUpIcon(suffix);
        found = m_Icons.emplace(std::move(suffix), std::move(icon)).first;
    }
    return found->second;
}

QIcon DrawnAudioFileIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        icon.addPixmap(DrawAudioFile(size));
    }
    return icon;
}
