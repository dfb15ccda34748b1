#pragma once
// The edge between the byte texts of the catalogue and the QStrings of the windows.
//
// Paths are stored in the local 8-bit encoding of the file system; tag texts and group names are
// stored as the bytes they were read or typed as: shown as UTF-8 when they are valid UTF-8,
// else as Latin-1 (every byte a character), so no stored byte is ever lost on the screen.

#include <QString>
#include <string>
#include <string_view>

/// A stored path as shown (local 8-bit decoding).
QString PathToQString(std::string_view path);
/// A path as the catalogue and the file system take it.
std::string QStringToPath(const QString& path);

/// A stored tag text or group name as shown: UTF-8 when valid, else Latin-1.
QString TextToQString(std::string_view text);

/// A typed tag text as stored: Latin-1 when every character fits it, else UTF-8.
std::string QStringToText(const QString& text);

/// A typed group name as stored: UTF-8, the encoding group names are compared in on a UTF-8
/// desktop, so a typed name meets the same name read from the group file.
std::string QStringToGroupName(const QString& name);
