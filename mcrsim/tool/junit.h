// The JUnit XML report of `mcrsim run`, in the form CI servers read (Jenkins, GitLab,
// GitHub's test reports): <testsuites>, one <testsuite> per scenario file, one
// <testcase> per test (or per step), with <failure> or <skipped>.
#pragma once

#include <string>
#include <vector>

namespace mcrsim_junit {

enum class Result { Passed, Failed, Skipped };

struct Case {
    std::string name;
    Result result = Result::Passed;
    std::string message;  // Failed, Skipped: one line
    std::string text;     // Failed: what the case's steps said
    double seconds = 0;
};

struct Suite {
    std::string name;       // the scenario's name, also its cases' classname
    std::string file;       // the scenario file as given
    std::string timestamp;  // when it started, local time: 2024-05-01T12:00:00
    double seconds = 0;
    std::vector<Case> cases;
};

// The report. Every text is escaped: markup characters as entities, and control
// characters that XML cannot hold written as \xHH.
std::string ReportXml(const std::vector<Suite> &suites);

// A report is written whole or not at all: into a temporary file beside it, renamed
// over it. It replaces only a report of ours (its first lines say so); any other file
// at that path, a folder, or a folder that is not there is refused before the run.
//
// Whether a report may be written at path (UTF-8): empty, or why not.
std::string CheckReportPath(const std::string &path);

// Writes xml to path as said above; empty, or why it failed (then path is as it was).
std::string WriteReport(const std::string &path, const std::string &xml);

}  // namespace mcrsim_junit
