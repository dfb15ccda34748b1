#include "catalogue/unitTagEditor.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QValidator>
#include <algorithm>

#include "catalogue/unitFolderRefresh.h"
#include "catalogue/unitSongActions.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitDesktop.h"
#include "util/unitGuiText.h"
#include "util/unitIniFile.h"
#include "util/unitMessages.h"
#include "util/unitUtils.h"

namespace {

constexpr int kClientWidth = 320;
constexpr int kClientHeight = 191;
constexpr int kEditHeight = 21;
constexpr int kButtonHeight = 25;
constexpr char kSection[] = "TagEditor";
constexpr char kPreserveKey[] = "PreserveTimeStamp";

/// Takes a keystroke or a paste only when the text still fits its tag field as stored (see
/// QStringToText): the limit counts bytes, so a field never ends in half a character.
class cTagFieldValidator final : public QValidator {
public:
    cTagFieldValidator(size_t width, QObject* parent) : QValidator(parent), m_Width(width) {}
    State validate(QString& input, int&) const override {
        return QStringToText(input).size() <= m_Width ? Acceptable : Invalid;
    }

private:
    size_t m_Width;
};

/// The text a field shows: the stored bytes by the list's rule (UTF-8 when valid, else
/// Latin-1).
QString Shown(const std::string& stored) {
    return TextToQString(stored);
}

/// The bytes to store for an edit: the bytes it was filled from while it shows them unchanged.
std::string Stored(const QLineEdit* edit, const std::string& filledFrom) {
    return edit->text() == Shown(filledFrom) ? filledFrom : QStringToText(edit->text());
}

} // namespace

TfrmTagEditor::TfrmTagEditor(const cSongInfo& song, const cSongTag& tag, cIniFile& settings,
                             QWidget* parent)
    : QDialog(parent), m_Path(song.FileName()), m_Tag(tag), m_Settings(settings) {
    setObjectName(QStringLiteral("frmTagEditor"));
    setWindowTitle(tr("Tag editor - ") + PathToQString(FileNameWithoutExtension(m_Path)));
    // A fixed-size window with only the close button in its frame.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(kClientWidth, kClientHeight);
    QFont small = QApplication::font();
    small.setPointSizeF(8);
    setFont(small);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
    CreateControls();
    FormCreate();
}

void TfrmTagEditor::CreateControls() {
    auto* frame = new QGroupBox(QStringLiteral(" ID3v1 "), this);
    frame->setObjectName(QStringLiteral("GroupBox1"));
    frame->setGeometry(6, 4, 308, 126);

    const auto addEdit = [&](const char* name, const QString& caption, int labelLeft,
                             int labelWidth, QRect place, size_t width) {
        auto* edit = new QLineEdit(frame);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setGeometry(place);
        edit->setMaxLength(static_cast<int>(width)); // never more characters than bytes
        edit->setValidator(new cTagFieldValidator(width, edit));
        auto* label = new QLabel(caption, frame);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // Right-aligned at its place; a font wider than the one the layout was made for makes
        // the label grow to the left rather than cut its caption.
        const int shownWidth = std::max(labelWidth, label->sizeHint().width());
        label->setGeometry(std::max(2, labelLeft + labelWidth - shownWidth), place.top(),
                           shownWidth, place.height());
        label->setBuddy(edit);
        return edit;
    };
    edtTitle =
        addEdit("edtTitle", tr("Title"), 8, 47, QRect(62, 17, 235, kEditHeight), kId3v1Title.Width);
    edtAuthor = addEdit("edtAuthor", tr("Artist"), 8, 47, QRect(62, 44, 235, kEditHeight),
                        kId3v1Artist.Width);
    edtAlbum =
        addEdit("edtAlbum", tr("Album"), 8, 47, QRect(62, 70, 163, kEditHeight), kId3v1Album.Width);
    edtYear =
        addEdit("edtYear", tr("Year"), 236, 22, QRect(263, 70, 34, kEditHeight), kId3v1Year.Width);
    edtComment = addEdit("edtComment", tr("Comment"), 8, 47, QRect(62, 97, 235, kEditHeight),
                         kId3v1Comment.Width);

    chkPreserveTimestamp =
        new QCheckBox(tr("Preserve file's original LastModified timestamp"), this);
    chkPreserveTimestamp->setObjectName(QStringLiteral("chkPreserveTimestamp"));
    chkPreserveTimestamp->setGeometry(
        8, 136, std::clamp(chkPreserveTimestamp->sizeHint().width(), 265, kClientWidth - 8), 17);

    const auto addButton = [&](const char* name, const QString& caption, int left, int width) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(left, 164, width, kButtonHeight);
        return button;
    };
    btnOK = addButton("btnOK", tr("&OK"), 24, 70);
    btnCancel = addButton("btnCancel", tr("&Cancel"), 102, 70);
    btnRemoveID3 = addButton("btnRemoveID3", tr("&Remove ID3"), 222, 75);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnRemoveID3, &QPushButton::clicked, this, &TfrmTagEditor::btnRemoveID3Click);

    QWidget* order[] = {edtTitle,  edtAuthor,    edtAlbum,
                        edtYear,   edtComment,   btnOK,
                        btnCancel, btnRemoveID3, chkPreserveTimestamp};
    for (size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }

    btnRemoveID3->setEnabled(m_Tag.HasTag);
    edtTitle->setText(Shown(m_Tag.Texts.Title));
    edtAuthor->setText(Shown(m_Tag.Texts.Artist));
    edtAlbum->setText(Shown(m_Tag.Texts.Album));
    edtYear->setText(Shown(m_Tag.Texts.Year));
    edtComment->setText(Shown(m_Tag.Texts.Comment));
    edtTitle->setFocus();
}

void TfrmTagEditor::FormCreate() {
    chkPreserveTimestamp->setChecked(m_Settings.ReadBool(kSection, kPreserveKey, true));
}

void TfrmTagEditor::FormClose() {
    try {
        m_Settings.WriteBool(kSection, kPreserveKey, chkPreserveTimestamp->isChecked());
    } catch (const std::exception& error) {
        ShowErrorMessage("The settings could not be saved: ", error.what());
    }
}

cId3v1Texts TfrmTagEditor::Texts() const {
    return {Stored(edtTitle, m_Tag.Texts.Title), Stored(edtAuthor, m_Tag.Texts.Artist),
            Stored(edtAlbum, m_Tag.Texts.Album), Stored(edtYear, m_Tag.Texts.Year),
            Stored(edtComment, m_Tag.Texts.Comment)};
}

bool TfrmTagEditor::PreserveTimestamp() const {
    return chkPreserveTimestamp->isChecked();
}

void TfrmTagEditor::btnRemoveID3Click() {
    try {
        RemoveSongTag(m_Path, PreserveTimestamp(), m_Tag.FileTime);
    } catch (const std::exception&) {
        // Told to the user once the window has closed, by whoever runs the edit.
        m_RemoveError = std::current_exception();
        reject();
        return;
    }
    done(kRemoveId3Result);
}

eTagEditResult EditSongTag(cSongInfo& song, cIniFile& settings, cDesktop& desktop,
                           QWidget* parent) {
    const std::string path(song.FileName());
    // Fails here, before any window, when the tag could not be written afterwards.
    const cSongTag tag = ReadSongTag(path, eTagAccess::kReadWrite);
    // Whatever the edit does to the file (a tag, its time put back, or only an open for
    // writing), the watch of the shown folder takes it for the program's own.
    const struct cNoteOwnWrite {
        const std::string& Path;
        ~cNoteOwnWrite() { NoteOwnFileWrite(Path); }
    } noteOwnWrite{path};
    TfrmTagEditor editor(song, tag, settings, parent);
    const int result = desktop.RunDialog(editor);
    editor.FormClose();
    const bool keepTime = editor.PreserveTimestamp();
    try {
        if (editor.RemoveError()) {
            std::rethrow_exception(editor.RemoveError());
        }
        if (result == QDialog::Accepted) {
            SaveSongTag(song, editor.Texts(), keepTime, tag.FileTime);
            return eTagEditResult::kSaved;
        }
    } catch (...) {
        // A write cut back after a failure has touched the file's time too.
        if (keepTime) {
            WriteFileTime(path, tag.FileTime);
        }
        throw;
    }
    if (keepTime) {
        WriteFileTime(path, tag.FileTime);
    }
    return result == TfrmTagEditor::kRemoveId3Result ? eTagEditResult::kTagRemoved
                                                     : eTagEditResult::kCancelled;
}
