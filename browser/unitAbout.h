#pragma once
// The About box: the logo, the program's name and version, one line of text and a Close button.

#include <QDialog>

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
};

/// Shows the About box modally (the rest of the program waits for it, without a nested event
/// loop); it is created for the occasion and destroyed when it closes.
TfrmAbout* ShowAboutBox(QWidget* parent);
