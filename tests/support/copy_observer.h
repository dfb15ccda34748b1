#pragma once
// A file copy's observer for tests: records the files reported and the questions asked,
// answers the questions from a script and cancels at a chosen report. Standard library only,
// so core tests and the recording desktop share it.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "util/unitFileCopy.h"

class cScriptedCopyObserver : public cCopyObserver {
public:
    /// Every file the copy reported, once each, in order (folders being listed too).
    std::vector<std::string> Files;
    /// The target of every question, in order.
    std::vector<std::string> Questions;
    /// The answers, given in turn; Skip once they are used up.
    std::deque<eReplaceAnswer> Answers;
    /// The report (counted from 0) that cancels the copy; -1 never cancels.
    long CancelAtReport = -1;
    long Reports = 0;
    /// Runs at each report, before it is answered (to look at the folder mid-copy).
    std::function<void(const cCopyStep&)> OnReport;

    bool CopyProgress(const cCopyStep& step) override {
        if (Files.empty() || Files.back() != step.File) {
            Files.push_back(step.File);
        }
        if (OnReport) {
            OnReport(step);
        }
        return Reports++ != CancelAtReport;
    }

    eReplaceAnswer AskReplace(const std::string& target) override {
        Questions.push_back(target);
        if (Answers.empty()) {
            return eReplaceAnswer::Skip;
        }
        const eReplaceAnswer answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
};

/// Hands another observer's reports on: what a copy gets when the test keeps the observer.
class cForwardingCopyObserver : public cCopyObserver {
public:
    explicit cForwardingCopyObserver(cCopyObserver& to) : m_To(to) {}
    bool CopyProgress(const cCopyStep& step) override { return m_To.CopyProgress(step); }
    eReplaceAnswer AskReplace(const std::string& target) override {
        return m_To.AskReplace(target);
    }

private:
    cCopyObserver& m_To;
};
