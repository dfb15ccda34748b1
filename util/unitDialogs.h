#pragma once
// The frame every fixed-size dialog of the program shares.

#include <QSize>
#include <QString>

class QDialog;
class QLabel;

/// Makes the dialog a box of the given fixed client size, with the object name and caption,
/// only the close button in its frame (no minimize, maximize or context help), application-
/// modal, and centred on the screen (its parent's screen, else the primary one). Run it through
/// the desktop (cDesktop::RunDialog).
void MakeFixedDialog(QDialog& dialog, const QString& objectName, const QString& caption,
                     QSize clientSize);

/// A one-line label whose text is wider than the label (a fixed box laid out for a narrower
/// font) gets a smaller font, step by step, until the whole text fits; never below 6 points.
void FitLabelText(QLabel& label);
