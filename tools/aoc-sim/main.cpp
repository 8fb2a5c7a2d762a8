// aoc-sim: starts boards on the simulated target and reports what their
// drivers made of them.
#include <cstdio>
#include <iostream>
#include <sstream>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "echo.h"
#include "options.h"
#include "requests.h"
#include "session.h"
#include "text_file.h"

namespace {

int Fail(const std::string& error, int status) {
    std::fprintf(stderr, "aoc-sim: %s\n", error.c_str());
    return status;
}

const int BAD_ARGUMENTS = 2;
const int FAILED = 1;

// Every request, parsed before anything runs.
bool ParseRequests(const Options& options, std::vector<Request>* requests, std::string* error) {
    int argument = 0;
    for (const Options::RequestSource& source : options.requests) {
        if (!source.file) {
            Request r;
            std::string where = "--request " + std::to_string(++argument);
            if (!ParseRequest(source.text, options.requestBoard, &r, error)) {
                *error = where + " '" + Echo(source.text) + "': " + *error;
                return false;
            }
            r.where = where;
            requests->push_back(r);
            continue;
        }
        if (source.text == "-") {
            if (!ParseRequestLines(std::cin, "standard input", options.requestBoard, requests, error)) return false;
            continue;
        }
        std::string text;
        if (!sim::ReadWholeFile(source.text, text, error)) return false;
        std::istringstream file(text);
        if (!ParseRequestLines(file, source.text, options.requestBoard, requests, error)) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
    // The same bytes as on every other build: lines end in LF alone.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    Options options;
    std::string error;
    if (!ParseArguments(argc, argv, options, &error)) return Fail(error, BAD_ARGUMENTS);
    if (options.help) {
        std::cout << UsageText();
        return 0;
    }
    std::vector<BoardList> boards(options.boards.size());
    for (size_t i = 0; i < boards.size(); ++i) {
        if (!ParseBoardList(options.boards[i], boards[i], &error)) return Fail(error, BAD_ARGUMENTS);
    }
    CompleteBoardLists(boards);
    std::vector<Request> requests;
    if (!ParseRequests(options, &requests, &error)) return Fail(error, BAD_ARGUMENTS);

    Session session;
    if (!options.registryFile.empty() && !session.LoadRegistry(options.registryFile, &error)) {
        return Fail(error, FAILED);
    }
    for (const std::string& script : options.imports) {
        if (!session.Import(script, &error)) return Fail(error, FAILED);
    }
    if (!session.AddBoards(boards, &error)) return Fail(error, FAILED);
    // A request for a board that will not be there, or a program the target
    // does not hold, is bad input: refused before any board starts, and the
    // registry file stays as it was.
    std::vector<std::string> names;
    for (const sim::WString& name : session.Target().PlannedCallNames()) names.push_back(sim::Narrow(name));
    if (!CheckRequestBoards(requests, names, &error)) return Fail(error, BAD_ARGUMENTS);
    for (const std::string& program : options.programs) {
        if (session.ProgramFile(program).empty()) {
            return Fail("--run '" + Echo(program) + "': the target folder holds no such program", BAD_ARGUMENTS);
        }
    }

    bool started = session.StartBoards();
    session.PrintBoards(std::cout);
    RequestRunner runner(session);
    bool ran = true;
    if (!requests.empty()) {
        if (runner.Resolve(requests, &error)) {
            std::cout << "\n";
            runner.Run(requests, std::cout);
        } else {
            // A board that did not start: what did start is still saved.
            std::cout.flush();
            std::fprintf(stderr, "aoc-sim: %s; no request was sent\n", error.c_str());
            started = false;
            ran = false;
        }
    }
    // The programs run in the target's process: what they print joins ours.
    for (const std::string& program : options.programs) {
        if (!ran) break;
        std::cout << "\n$ " << Echo(program, 160) << "\n";
        std::cout.flush();
        int status = 0;
        if (!session.RunProgram(program, &status, &error)) {
            std::fprintf(stderr, "aoc-sim: --run '%s': %s\n", Echo(program, 160).c_str(), error.c_str());
            started = false;
            break;
        }
        std::fflush(stdout);
        if (status != 0) {
            std::cout << "(exit status " << status << ")\n";
            started = false;
        }
    }
    if (ran && (!requests.empty() || !options.programs.empty())) {
        std::cout << "\n";
        runner.PrintOutputs(std::cout);
    }
    std::cout.flush();

    session.Shutdown();
    if (!options.registryFile.empty() && !session.SaveRegistry(options.registryFile, &error)) {
        return Fail(error, FAILED);
    }
    return started ? 0 : FAILED;
}
