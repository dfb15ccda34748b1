#pragma once
// The tag editor: a small modal window in which the user edits the five ID3v1 texts of one
// song, writes them into the song's file or removes the file's tag, optionally keeping the
// file's last-modified time; and EditSongTag, which runs one whole edit.

#include <QDialog>
#include <exception>
#include <string>

#include "catalogue/unitSongTags.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class cDesktop;
class cIniFile;
class cSongInfo;

/// How an edit of a song's tag ended.
enum class eTagEditResult {
    kSaved,      ///< OK: the tag was written and the record follows it
    kCancelled,  ///< Cancel, Esc or the close button: nothing changed
    kTagRemoved, ///< Remove ID3: the tag was cut off; the record stays as it was
};

/// A fixed-size window, centred on the screen, with only the close button in its frame. Run it
/// through the desktop (cDesktop::RunDialog); it is made for one edit.
class TfrmTagEditor : public QDialog {
    Q_OBJECT
public:
    /// The dialog's result after Remove ID3 cut the tag off.
    static constexpr int kRemoveId3Result = 2;

    /// A window for the song's file, filled from its tag as read (empty edits and Remove ID3
    /// disabled when it has none). FormCreate sets the check box from the settings.
    TfrmTagEditor(const cSongInfo& song, const cSongTag& tag, cIniFile& settings,
                  QWidget* parent = nullptr);

    /// The five texts as the file is to store them: an edit left as it was opened keeps the
    /// bytes it was filled from; a changed one is stored as Latin-1 when every character fits
    /// it, else as UTF-8. No edit ever takes more bytes than its field holds.
    cId3v1Texts Texts() const;
    bool PreserveTimestamp() const;
    /// Stores the check box's state in the settings (a refused write is reported).
    void FormClose();
    /// What went wrong when Remove ID3 could not cut the tag (the window closed then as
    /// cancelled); empty otherwise.
    std::exception_ptr RemoveError() const { return m_RemoveError; }

private:
    void FormCreate();
    void CreateControls();
    void btnRemoveID3Click();

    std::string m_Path;
    cSongTag m_Tag;
    cIniFile& m_Settings;
    std::exception_ptr m_RemoveError;

    QLineEdit* edtTitle = nullptr;
    QLineEdit* edtAuthor = nullptr;
    QLineEdit* edtAlbum = nullptr;
    QLineEdit* edtYear = nullptr;
    QLineEdit* edtComment = nullptr;
    QCheckBox* chkPreserveTimestamp = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnRemoveID3 = nullptr;
};

/// Runs the whole edit of the song's tag. The file is opened for reading and writing first:
/// when it cannot be (gone, read-only, not a file) std::system_error naming it leaves at once
/// and no window is shown. The window runs through the desktop; however it closes, the check
/// box goes to the settings. OK writes the tag and the record and catalogue follow
/// (SaveSongTag); Cancel, Esc, the close button and Remove ID3 change neither. With the check
/// box checked the file keeps its exact last-modified time in every case. A tag that cannot be
/// written or removed reaches the caller as std::system_error after the window has closed, with
/// record and catalogue unchanged.
eTagEditResult EditSongTag(cSongInfo& song, cIniFile& settings, cDesktop& desktop,
                           QWidget* parent = nullptr);
