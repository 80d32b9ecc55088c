// The scenario script parser: whatever the text, lines of words or a syntax error naming
// a line; and every word, quoted back for a message, reads back as itself.

#include "FuzzTarget.h"

#include "ScenarioScript.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string source(reinterpret_cast<const char*>(data), size);
    std::vector<ScenarioLine> lines;
    try {
        lines = parseScenario(source);
    } catch (const ScriptSyntaxError& error) {
        FUZZ_REQUIRE(error.line() >= 1);
        return 0;
    }
    for (const auto& line : lines) {
        FUZZ_REQUIRE(!line.words.empty());
        for (const auto& word : line.words) {
            std::string quoted = quoteScenarioWord(word);
            std::vector<std::string> back;
            try {
                back = splitScenarioWords(quoted, 1);
            } catch (const ScriptSyntaxError&) {
                FUZZ_REQUIRE(!"a quoted word is a syntax error");
            }
            // A word is one line's word: a line feed inside it cannot be quoted back.
            if (word.find('\n') == std::string::npos)
                FUZZ_REQUIRE(back.size() == 1 && back[0] == word);
        }
    }
    return 0;
}
