// report.h: the one place that writes "brindle: ..." lines on stderr.
//
// Library code never prints. It returns a failure as text, returns warnings as
// a list, or hands them to a sink the program gave it; the shell passes every
// one of them through report(), which prefixes each line of the text.
//
//   report(error);                 // brindle: cannot open the music file ...
//   report("warning: " + warning); // brindle: warning: Data/plus.p is missing ...
//   report("cannot write " + quotedName(path));   // a newline in the name stays "\n"
#pragma once

#include <string>
#include <vector>

// Each line of `text` becomes one "brindle: " line.
void report(const std::string& text);

// Stands in for report() where a warning must wait for a later step: a
// start-up that fails prints one line, not the warnings made before it failed.
// Lines are held until release(), which reports them in order; from then on
// each is reported at once. Lines never released are never printed.
class HeldReports {
public:
    void operator()(const std::string& text);
    void release();

private:
    bool released_ = false;
    std::vector<std::string> held_;
};

// `text` with its control characters written as escapes (\n, \t, \x1b), so a
// file name or a library's text cannot break a message into two lines.
std::string oneLine(const std::string& text);

// A file name for a message: oneLine(name) in single quotes.
std::string quotedName(const std::string& name);
