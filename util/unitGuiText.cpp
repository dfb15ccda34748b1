#include "util/unitGuiText.h"

#include <QFile>
#include <algorithm>

#include "util/unitTextUtils.h"

QString PathToQString(std::string_view path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string QStringToPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString TextToQString(std::string_view text) {
    const auto size = static_cast<qsizetype>(text.size());
    if (IsValidUtf8(text)) {
        return QString::fromUtf8(text.data(), size);
    }
    return QString::fromLatin1(text.data(), size);
}

std::string QStringToText(const QString& text) {
    const bool fitsLatin1 =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    return fitsLatin1 ? text.toLatin1().toStdString() : text.toUtf8().toStdString();
}

std::string QStringToGroupName(const QString& name) {
    return name.toUtf8().toStdString();
}
