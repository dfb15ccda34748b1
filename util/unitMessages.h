#pragma once
// Messages of the core to the user, and the diagnostic trace.
//
// Core code never shows a window itself: where a catalogue routine has to tell the user
// something, it calls ShowMessage, and the GUI installs the sink that turns the text into a
// message box. Tests install a recording sink. Without a sink the text goes to stderr.

#include <functional>
#include <string>
#include <string_view>

using cMessageSink = std::function<void(const std::string& text)>;

/// Installs the sink that receives every user message of the core; returns the previous one.
cMessageSink SetMessageSink(cMessageSink sink);

/// Hands one finished message text to the installed sink.
void ShowMessage(const std::string& text);

/// The error text in single quotes, each single quote inside it doubled: it's -> 'it''s'.
/// Every "prefix + quoted error" message of the program is built with it.
std::string QuotedErrorText(std::string_view errorText);

/// Shorthand for ShowMessage(prefix + QuotedErrorText(errorText)).
void ShowErrorMessage(std::string_view prefix, std::string_view errorText);

/// Runs the task, which guards its own work: a std::exception it raises is shown as
/// ShowErrorMessage(prefix, its text) and the answer is false; true when the task ran through.
bool RunReportingErrors(std::string_view prefix, const std::function<void()>& task);

using cTraceSink = std::function<void(std::string_view line)>;

/// Installs a sink for trace lines (tests, debugging); an empty sink turns tracing off.
cTraceSink SetTraceSink(cTraceSink sink);

/// True while a trace sink is installed. Hot paths build their trace text only when this
/// holds, so that loading a large catalogue does not format a million discarded lines.
bool TraceEnabled();

/// The diagnostic sink of the catalogue and the error handler: one line, discarded unless a
/// trace sink is installed.
void TraceLog(std::string_view line);
