#pragma once
// The frame every fixed-size dialog of the program shares.

#include <QSize>
#include <QString>

class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;

/// Makes the dialog a box of the given fixed client size, with the object name and caption,
/// only the close button in its frame (no minimize, maximize or context help), application-
/// modal, and centred on the screen (its parent's screen, else the primary one). Run it through
/// the desktop (cDesktop::RunDialog).
void MakeFixedDialog(QDialog& dialog, const QString& objectName, const QString& caption,
                     QSize clientSize);

/// A one-line label whose text is wider than the label (a fixed box laid out for a narrower
/// font) gets a smaller font, step by step, until the whole text fits; never below 6 points.
void FitLabelText(QLabel& label);

/// The controls of a box that asks for one line of text.
struct cLineInput {
    QLabel* Label = nullptr;
    QLineEdit* Edit = nullptr;
    QPushButton* OK = nullptr;
    QPushButton* Cancel = nullptr;
};

/// Lays out a label (with its text fitted, FitLabelText) over an edit field, and under them
/// "&OK" (the default button, disabled until the caller enables it; it accepts the dialog) and
/// "&Cancel" (it rejects), in a box of 230 by 85. The label and the edit get the names given,
/// the buttons "btnOK" and "btnCancel".
cLineInput AddLineInput(QDialog& dialog, const QString& labelText, const QString& labelName,
                        const QString& editName);
