#pragma once
// An argument or environment vector for posix_spawn and exec: it owns its words and answers
// the null-terminated array of pointers those calls take.

#include <algorithm>
#include <cstring>
#include <initializer_list>
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
    static ArgumentVector environmentWithout(std::string_view name) { return environmentWithout({ name }); }
    static ArgumentVector environmentWithout(std::initializer_list<std::string_view> names)
    {
        ArgumentVector environment;
        for (char** entry = environ; entry && *entry; ++entry) {
            std::string_view variable(*entry);
            bool left = std::any_of(names.begin(), names.end(), [&](std::string_view name) {
                return variable.size() > name.size() && variable.substr(0, name.size()) == name && variable[name.size()] == '=';
            });
            if (!left)
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
