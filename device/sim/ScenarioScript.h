#pragma once
// A scenario script: one command a line, words separated by blanks, "double" or 'single'
// quotes around a word with blanks in it (a quote opens only at the start of a word, so
// an apostrophe inside one is a letter; a backslash escapes the next character inside
// double quotes), and "#" starting a comment where a word could start.

#include "DeviceError.h"
#include <stdexcept>
#include <string>
#include <vector>

struct ScenarioLine {
    int number = 0;              // 1-based line number in the source
    std::string text;            // the command as written (its words, quoted where needed)
    std::vector<std::string> words;
};

class ScriptSyntaxError : public DeviceError {
public:
    ScriptSyntaxError(int line, const std::string& message)
        : DeviceError(message), m_line(line) { }
    int line() const { return m_line; }

private:
    int m_line;
};

// The words of one line (empty for a blank or comment line). Throws ScriptSyntaxError
// for an unclosed quote.
std::vector<std::string> splitScenarioWords(const std::string& line, int lineNumber);

// Every command line of a script, in order.
std::vector<ScenarioLine> parseScenario(const std::string& source);

// A word quoted back, for messages ("post-local \"a b\"").
std::string quoteScenarioWord(const std::string& word);
