#pragma once
// What the windows need of the desktop: opening a file or folder with the program the desktop
// associates with it, and the message box. Both go through a replaceable hook, so tests count
// the calls and never start a program or block on a modal window.

#include <QString>
#include <functional>

using cOpenWithHook = std::function<void(const QString& path)>;
using cMessageBoxHook = std::function<void(const QString& text)>;

/// Opens a file with its associated program, or a folder in the file manager. The result is
/// not examined: a failure is not reported.
void OpenWithAssociatedProgram(const QString& path);
/// Replaces the routine behind OpenWithAssociatedProgram; an empty hook restores the desktop's.
/// Returns the previous hook (empty for the desktop's).
cOpenWithHook SetOpenWithHook(cOpenWithHook hook);

/// Shows a modal message box with the application's title and an OK button.
void ShowMessageBox(const QString& text);
/// Replaces the routine behind ShowMessageBox; an empty hook restores the real box.
cMessageBoxHook SetMessageBoxHook(cMessageBoxHook hook);

/// Routes the core's user messages (ShowMessage) to ShowMessageBox.
void InstallGuiMessageSink();
