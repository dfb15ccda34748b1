// Draws the program's icon into the files a desktop looks for, from the same artwork the
// program shows in its windows: hicolor/scalable/apps/<id>.svg and hicolor/<n>x<n>/apps/<id>.png
// for 48, 128 and 256 pixels, below the folder given as the only argument.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

#include "util/unitArt.h"

namespace {
const QString kIconName = QStringLiteral("org.tunaria.Tunaria");
constexpr int kSvgSize = 64; // the artwork's own units

bool MakeFolder(const QString& path) {
    if (!QDir().mkpath(path)) {
        std::fprintf(stderr, "Could not create the folder \"%s\"\n", qPrintable(path));
        return false;
    }
    return true;
}

bool WritePng(const QString& root, int size) {
    const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(size);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        PaintProgramIcon(painter, size);
    }
    const QString path = folder + QLatin1Char('/') + kIconName + QStringLiteral(".png");
    if (!MakeFolder(folder) || !image.save(path, "PNG")) {
        std::fprintf(stderr, "Could not write \"%s\"\n", qPrintable(path));
        return false;
    }
    return true;
}

bool WriteSvg(const QString& root) {
    const QString folder = root + QStringLiteral("/hicolor/scalable/apps");
    const QString path = folder + QLatin1Char('/') + kIconName + QStringLiteral(".svg");
    if (!MakeFolder(folder)) {
        return false;
    }
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(kSvgSize, kSvgSize));
    svg.setViewBox(QRect(0, 0, kSvgSize, kSvgSize));
    svg.setResolution(96); // so that the stated size is 64 pixels on a usual screen
    svg.setTitle(QStringLiteral("Tunaria"));
    svg.setDescription(QStringLiteral("The Tunaria program icon"));
    QPainter painter;
    if (!painter.begin(&svg)) {
        std::fprintf(stderr, "Could not write \"%s\"\n", qPrintable(path));
        return false;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    PaintProgramIcon(painter, kSvgSize);
    return painter.end();
}
} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    // No window is shown: the drawing needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString root = QString::fromLocal8Bit(argv[1]);
    bool written = WriteSvg(root);
    for (int size : {48, 128, 256}) {
        written = WritePng(root, size) && written;
    }
    return written ? 0 : 1;
}
