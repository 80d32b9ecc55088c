#pragma once
// An argument or environment vector for posix_spawn and exec: it owns its words and answers
// the null-terminated array of pointers those calls take.

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

class ArgumentVector {
public:
    ArgumentVector() = default;
    explicit ArgumentVector(std::vector<std::string> words) : m_words(std::move(words)) { }
    // The program, then its arguments.
    ArgumentVector(std::string program, const std::vector<std::string>& arguments) : m_words { std::move(program) }
    {
        m_words.insert(m_words.end(), arguments.begin(), arguments.end());
    }

    // This process's environment without the variable `name`.
    static ArgumentVector environmentWithout(std::string_view name)
    {
        ArgumentVector environment;
        std::string prefix = std::string(name) + "=";
        for (char** entry = environ; entry && *entry; ++entry) {
            if (std::strncmp(*entry, prefix.c_str(), prefix.size()) != 0)
                environment.add(*entry);
        }
        return environment;
    }

    void add(std::string word) { m_words.push_back(std::move(word)); }
    const std::vector<std::string>& words() const { return m_words; }

    // Valid until the vector changes.
    char* const* data()
    {
        m_pointers.clear();
        for (auto& word : m_words)
            m_pointers.push_back(word.data());
        m_pointers.push_back(nullptr);
        return m_pointers.data();
    }

private:
    std::vector<std::string> m_words;
    std::vector<char*> m_pointers;
};
