#include "util/unitMessages.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace {
cMessageSink& MessageSinkSlot() {
    static cMessageSink sink;
    return sink;
}
cTraceSink& TraceSinkSlot() {
    static cTraceSink sink;
    return sink;
}
} // namespace

cMessageSink SetMessageSink(cMessageSink sink) {
    return std::exchange(MessageSinkSlot(), std::move(sink));
}

void ShowMessage(const std::string& text) {
    if (const auto& sink = MessageSinkSlot()) {
        sink(text);
    } else {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
}

std::string QuotedErrorText(std::string_view errorText) {
    std::string quoted;
    quoted.reserve(errorText.size() + 2);
    quoted += '\'';
    for (char c : errorText) {
        quoted += c;
        if (c == '\'') {
            quoted += '\'';
        }
    }
    quoted += '\'';
    return quoted;
}

void ShowErrorMessage(std::string_view prefix, std::string_view errorText) {
    ShowMessage(std::string(prefix) + QuotedErrorText(errorText));
}

bool RunReportingErrors(std::string_view prefix, const std::function<void()>& task) {
    try {
        task();
        return true;
    } catch (const std::exception& error) {
        ShowErrorMessage(prefix, error.what());
        return false;
    }
}

cTraceSink SetTraceSink(cTraceSink sink) { return std::exchange(TraceSinkSlot(), std::move(sink)); }

bool TraceEnabled() { return static_cast<bool>(TraceSinkSlot()); }

void TraceLog(std::string_view line) {
    if (const auto& sink = TraceSinkSlot()) {
        sink(line);
    }
}
