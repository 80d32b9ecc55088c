// Replays a fuzz target's corpus: every file of every folder named on the command line
// (and every file named directly) is handed to the target once, in name order. A crash
// or a broken promise ends the program abnormally, which fails the test that runs it.

#include "FuzzTarget.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    if (argc < 2 || std::string(argv[1]) == "--help") {
        std::cerr << "usage: " << argv[0] << " CORPUS_FOLDER_OR_FILE...\n"
                  << "Hands every input to the fuzz target once (a replay of its corpus, no fuzzing).\n";
        return argc < 2 ? 2 : 0;
    }
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (fs::is_directory(argv[i], error)) {
            for (const auto& entry : fs::directory_iterator(argv[i]))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else if (fs::is_regular_file(argv[i], error)) {
            inputs.emplace_back(argv[i]);
        } else {
            std::cerr << argv[0] << ": " << argv[i] << " is neither a folder nor a file\n";
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::cerr << argv[0] << ": no inputs to replay\n";
        return 2;
    }
    for (const auto& path : inputs) {
        std::ifstream file(path, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::cout << "replayed " << inputs.size() << " inputs\n";
    return 0;
}
