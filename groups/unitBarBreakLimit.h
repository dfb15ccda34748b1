#pragma once
// The "Bar break" window: how many group entries the groups menu shows per column.

#include <QDialog>
#include <optional>

class QLineEdit;
class QPushButton;

/// A fixed box, centred on the screen, with only the close button in its frame. Run it through
/// the desktop (cDesktop::RunDialog); made for one use.
class TfrmBarBreak : public QDialog {
    Q_OBJECT
public:
    /// The edit shows the limit in decimal.
    explicit TfrmBarBreak(int barBreakLimit, QWidget* parent = nullptr);

    /// The limit typed: the edit's whole number, 24 when the text is none.
    int BarBreakLimit() const;

private:
    /// OK is enabled exactly while the text is a whole number above 0.
    void edtBarBreakChange();

    QLineEdit* edtBarBreak;
    QPushButton* btnOK;
};

/// The edit's text as a number, read as every integer of the program is (TextToInt32 of
/// util/unitTextUtils: decimal, or hexadecimal after "$" or "0x"); none when it is no such
/// number.
std::optional<int> BarBreakLimitOfText(const QString& text);
