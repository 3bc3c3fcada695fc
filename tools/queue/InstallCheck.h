// The installation check of `tolvane-queue check` and the queue window's
// "Check...": one line per point of the installation (the Palm Desktop and
// its libraries, Tolvane's registration, its Start menu and Send To
// entries, the HotSync Manager, and each HotSync user's folder, settings,
// card, card folders, queue and outbox), each "ok", "warning" or
// "problem", and for a warning or a problem what to do. It only reads: it
// writes nothing, loads no conduit (only the Palm Desktop's User Data and
// Conduit Manager libraries, as every queue program does), and opens each
// file just long enough to ask.
#pragma once
#include <string>
#include <vector>

namespace queuetool {

enum class Verdict { Ok, Warning, Problem };

struct CheckLine {
    Verdict verdict = Verdict::Ok;
    std::wstring point;  // "Registration", "Alice: settings file", ...
    std::wstring text;   // a sentence
    std::wstring fix;    // what to do; empty for an ok line
};

struct CheckReport {
    std::vector<std::wstring> heading;  // what was checked, before the points
    std::vector<CheckLine> lines;
    std::wstring refusal;  // set when the named user is unknown: nothing per user was checked

    // 0 every line ok, 1 warnings only, 2 a problem (or an unknown user).
    int ExitCode() const;
    // The whole report, "\n" between lines: the heading, one line per point,
    // and a last line, Summary(), that counts the problems and warnings.
    std::wstring Text() const;
    std::wstring Summary() const;
    // "ok", "warning" or "problem".
    static const wchar_t* Word(Verdict verdict) noexcept;
};

// Every HotSync user's points, or only those of the user named (by name or
// folder, as every command takes it; "" for all).
CheckReport CheckInstallation(const std::wstring& user);

// The report as UTF-8 text with its byte-order mark and Windows line ends,
// as a file to attach to a question; "" when written, else why not.
std::wstring SaveReport(const CheckReport& report, const std::wstring& file);

}  // namespace queuetool
