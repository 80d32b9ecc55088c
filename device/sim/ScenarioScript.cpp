#include "ScenarioScript.h"

#include <sstream>

std::vector<std::string> splitScenarioWords(const std::string& line, int lineNumber)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quote) {
            if (c == quote) {
                quote = 0;
            } else if (c == '\\' && quote == '"' && i + 1 < line.size()) {
                word += line[++i];
            } else {
                word += c;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        if (c == '#' && !inWord)
            break;
        // A quote opens only at the start of a word, so "SpringBoard's" is one plain word.
        if ((c == '"' || c == '\'') && !inWord)
            quote = c;
        else
            word += c;
        inWord = true;
    }
    if (quote)
        throw ScriptSyntaxError(lineNumber, std::string("unclosed ") + quote + " quote");
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::vector<ScenarioLine> parseScenario(const std::string& source)
{
    std::vector<ScenarioLine> lines;
    std::istringstream in(source);
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        auto words = splitScenarioWords(text, number);
        if (words.empty())
            continue;
        std::string written;
        for (const auto& word : words)
            written += (written.empty() ? "" : " ") + quoteScenarioWord(word);
        lines.push_back({ number, std::move(written), std::move(words) });
    }
    return lines;
}

std::string quoteScenarioWord(const std::string& word)
{
    // Quoted when it holds anything the splitter reads as more than a letter (a carriage
    // return separates words too).
    if (!word.empty() && word.find_first_of(" \t\r\"'#\\") == std::string::npos)
        return word;
    std::string quoted = "\"";
    for (char c : word) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}
