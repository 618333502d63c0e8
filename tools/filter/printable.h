// Text from the user (file names, function names) as messages and pictures
// show it: never as code for the program that reads it.
#ifndef PRINTABLE_H
#define PRINTABLE_H

#include <string>

// text as valid UTF-8 on one line: control characters (C0, DEL and C1) and
// bytes that aren't UTF-8 shown as visible escapes, \n, \t, \x01, \xff,
// \u009b; for messages and for the text of pictures.
std::string printable(const std::string &text);

#endif
