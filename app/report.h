// report.h: the one place that writes "brindle: ..." lines on stderr.
//
// Library code never prints. It returns a failure as text, returns warnings as
// a list, or hands them to a sink the program gave it; the shell passes every
// one of them through report(), which prefixes each line of the text.
//
//   report(error);                 // brindle: cannot open the music file ...
//   report("warning: " + warning); // brindle: warning: Data/plus.p is missing ...
#pragma once

#include <string>

void report(const std::string& text);
