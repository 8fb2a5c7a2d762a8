// aoc-sim: starts boards on the simulated target and reports what their
// drivers made of them.
#include <cstdio>
#include <iostream>

#include "options.h"
#include "session.h"

namespace {

int Fail(const std::string& error, int status) {
    std::fprintf(stderr, "aoc-sim: %s\n", error.c_str());
    return status;
}

const int BAD_ARGUMENTS = 2;
const int FAILED = 1;

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseArguments(argc, argv, options, &error)) return Fail(error, BAD_ARGUMENTS);
    if (options.help) {
        std::cout << UsageText();
        return 0;
    }
    std::vector<BoardSpec> specs(options.boards.size());
    for (size_t i = 0; i < specs.size(); ++i) {
        if (!ParseBoardSpec(options.boards[i], specs[i], &error)) return Fail(error, BAD_ARGUMENTS);
    }
    CompleteBoardSpecs(specs);

    Session session;
    if (!options.registryFile.empty() && !session.LoadRegistry(options.registryFile, &error)) {
        return Fail(error, FAILED);
    }
    for (const std::string& script : options.imports) {
        if (!session.Import(script, &error)) return Fail(error, FAILED);
    }
    if (!session.AddBoards(specs, &error)) return Fail(error, FAILED);
    bool started = session.StartBoards();
    session.PrintBoards(std::cout);
    std::cout.flush();

    session.Shutdown();
    if (!options.registryFile.empty() && !session.SaveRegistry(options.registryFile, &error)) {
        return Fail(error, FAILED);
    }
    return started ? 0 : FAILED;
}
