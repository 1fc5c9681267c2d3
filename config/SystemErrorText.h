#pragma once

#include <string>

class QString;

// The reason an operating-system call failed, in the program's language.
// Common causes are said in Chinese; anything else keeps the system's own text.
std::string SystemErrorText(int errorNumber);

// The same for a reason Qt reports as text (QFile::errorString), which for
// file errors is the system's text for errno.
std::string SystemErrorText(const QString& systemText);
