#pragma once
// The About box: the logo, the program's name and version, one line of text and a Close button.

#include <QDialog>

/// A fixed-size box, centred on the screen, with only the close button in its frame. It is
/// application-modal: run it through the desktop (cDesktop::RunDialog), which waits until it
/// closes; it is made for the occasion and destroyed afterwards.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
};
