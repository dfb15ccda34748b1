#pragma once
// File icons for the song list, looked up once per file type.

#include <QIcon>
#include <string>
#include <string_view>
#include <unordered_map>

/// The desktop's icon for each kind of file, cached by the lower-cased suffix of the file name:
/// a list of 100,000 songs asks the desktop once per suffix, not once per row. When the icon
/// theme has no icon for the type, audio files get a drawn note icon and other files the
/// style's plain file icon.
class cFileIconCache {
public:
    /// The icon for the file at the path (only the name's suffix counts).
    const QIcon& IconFor(std::string_view path);
    /// How many suffixes were looked up so far (each lookup asks the desktop once).
    int LookupCount() const { return static_cast<int>(m_Icons.size()); }
    void Clear() { m_Icons.clear(); }

private:
    std::unordered_map<std::string, QIcon> m_Icons;
};

/// The lower-cased suffix of the file name in the path ("" when the name has no dot).
std::string LowerCaseSuffix(std::string_view path);

/// A document-with-a-note icon, drawn at the usual sizes.
QIcon DrawnAudioFileIcon();
