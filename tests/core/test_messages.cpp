#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "util/unitMessages.h"

TEST(Messages, QuotingDoublesSingleQuotes) {
    EXPECT_EQ(QuotedErrorText(""), "''");
    EXPECT_EQ(QuotedErrorText("disk full"), "'disk full'");
    EXPECT_EQ(QuotedErrorText("it's 'here'"), "'it''s ''here'''");
}

TEST(Messages, SinkReceivesPrefixedMessagesAndCanBeRestored) {
    std::vector<std::string> seen;
    auto previous = SetMessageSink([&](const std::string& text) { seen.push_back(text); });
    ShowErrorMessage("In X (): ", "can't");
    ShowMessage("plain");
    SetMessageSink(previous);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "In X (): 'can''t'");
    EXPECT_EQ(seen[1], "plain");
}

TEST(Messages, AGuardedTaskReportsItsErrorAndStops) {
    std::vector<std::string> seen;
    auto previous = SetMessageSink([&](const std::string& text) { seen.push_back(text); });
    std::string written = "old";
    EXPECT_TRUE(RunReportingErrors("In X (): ", [&] { written = "new"; }));
    EXPECT_FALSE(RunReportingErrors("In UpdateStatusBar (): ", [&] {
        throw std::runtime_error("the list's sizes can't be read");
        written = "newer";
    }));
    SetMessageSink(previous);
    EXPECT_EQ(written, "new") << "what the task had not done stays undone";
    EXPECT_EQ(seen, std::vector<std::string>{
                        "In UpdateStatusBar (): 'the list''s sizes can''t be read'"});
}

TEST(Messages, TraceIsOffUntilASinkIsInstalled) {
    EXPECT_FALSE(TraceEnabled());
    std::vector<std::string> lines;
    SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    EXPECT_TRUE(TraceEnabled());
    TraceLog("one");
    SetTraceSink({});
    TraceLog("two");
    EXPECT_FALSE(TraceEnabled());
    EXPECT_EQ(lines, std::vector<std::string>{"one"});
}
