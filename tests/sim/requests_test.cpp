// aoc-sim's requests: their text form, and a run that drives the boards.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "requests.h"

namespace {

TEST(RequestTextTest, RequestsParseOrSayWhatIsWrong) {
    struct Case {
        const char* line;
        const char* error;  // start of the message; null: accepted
    } cases[] = {
        {"open", nullptr},
        {"  AOC2:   write-channel 3 70000 ", nullptr},
        {"set-range 1 current 20 4", nullptr},
        {"set-range 1 voltage 10 -10 0x800", nullptr},
        {"write-dword 0x10 0xFFFFFFFF", nullptr},
        {"read-byte 4294967295", nullptr},
        {"get-range 65535", nullptr},
        {"", "no request"},
        {"AOC1:", "no request"},
        {"open now", "usage: open"},
        {"set-range 1 current 20", "usage: set-range CHANNEL"},
        {"set-range 1 volts 10 0", "set-range: 'volts' is not voltage or current"},
        {"set-range 1 voltage ten 0", "set-range: 'ten' is not a maximum"},
        {"set-range 1 voltage 1e99 0", "set-range: '1e99' is not a maximum"},
        {"set-range 1 voltage 10 0 65536", "set-range: '65536' is not an initial code"},
        {"write-byte 0 0x100", "write-byte: '0x100' is not a value up to 0xff"},
        {"write-word 0 -1", "write-word: '-1' is not a value up to 0xffff"},
        {"read-word 4294967296", "read-word: '4294967296' is not an offset"},
        {"read-word +4", "read-word: '+4' is not an offset"},
        {"get-range 65536", "get-range: '65536' is not a channel"},
        {"mode-flag 0x10000", "mode-flag: '0x10000' is not a value up to 0xffff"},
        {"sett-range 1", "unknown request 'sett-range'"},
    };
    for (const Case& c : cases) {
        Request r;
        std::string error;
        bool ok = ParseRequest(c.line, "AOC1:", &r, &error);
        EXPECT_EQ(ok, c.error == nullptr) << c.line << ": " << error;
        if (c.error) {
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.line << ": " << error;
        }
    }

    Request r;
    std::string error;
    ASSERT_TRUE(ParseRequest("AOC2: set-range 3 current 20 4 7", "AOC1:", &r, &error));
    EXPECT_EQ(r.board, "AOC2:");
    EXPECT_EQ(r.text, "set-range 3 current 20 4 7");
    EXPECT_EQ(r.kind, RequestKind::SetRange);
    EXPECT_EQ(r.channel, 3);
    EXPECT_EQ(r.mode, RANGE_MODE_CURRENT);
    EXPECT_EQ(r.maximum, 20.0f);
    EXPECT_EQ(r.minimum, 4.0f);
    EXPECT_EQ(r.initialCode, 7);
    EXPECT_FALSE(ParseRequest("strobe", "", &r, &error));
    EXPECT_EQ(error.rfind("no board", 0), 0u);
}

TEST(RequestTextTest, AMalformedLineIsReportedByNumberAndYieldsNothing) {
    std::istringstream good("# setup\r\nopen\r\n\r\n   \n  AOC2: strobe\n");
    std::vector<Request> requests;
    std::string error;
    ASSERT_TRUE(ParseRequestLines(good, "a.txt", "AOC1:", &requests, &error));
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].where, "a.txt:2");
    EXPECT_EQ(requests[1].where, "a.txt:5");
    EXPECT_EQ(requests[1].board, "AOC2:");

    std::istringstream bad("open\nwrite-channel 0 1\nwrite-channel zero 1\nclose\n");
    EXPECT_FALSE(ParseRequestLines(bad, "b.txt", "AOC1:", &requests, &error));
    EXPECT_EQ(error, "b.txt:3: write-channel: 'zero' is not a channel");
    EXPECT_EQ(requests.size(), 2u);
}

// The run goes through the POSIX shell; a Windows build tests the parser only.
#if !defined(_WIN32)
struct SimRun {
    int status;
    std::string out;
};

SimRun Sim(const std::string& args, const std::string& input) {
    std::filesystem::path in = std::filesystem::temp_directory_path() / ("aoc-sim-requests-" + std::to_string(getpid()));
    std::ofstream(in) << input;
    std::string command = std::string(AOC_SIM_TOOL) + " " + args + " < " + in.string() + " 2>&1";
    SimRun run{-1, {}};
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
        int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::filesystem::remove(in);
    return run;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(RequestRunTest, RequestsDriveTheBoardsAndEndWithTheirOutputs) {
    SimRun run = Sim("--board slot=3 --board slot=4 --on AOC1: --requests -",
                  "open\n"
                  "set-range 0 voltage 10 -10 2048\n"
                  "write-channel 0 3072\n"
                  "set-range 1 current 20 4\n"
                  "write-channel 1 70000\n"  // low 16 bits: 4464, the converter takes 12 of them
                  "get-range 1\n"
                  "read-byte 8\n"
                  "read-word 31\n"
                  "set-range 9 voltage 5 0\n"
                  "mode-flag 0x100\n"
                  "AOC2: strobe\n"
                  "AOC2: open\n"
                  "AOC2: strobe\n");
    ASSERT_EQ(run.status, 0) << run.out;
    const char* expected[] = {
        "AOC1: open  ->  TRUE, thread error 0x00000000, OpenCount 1\n",
        "AOC1: set-range 0 voltage 10 -10 2048  ->  TRUE, thread error 0x00000000, count not written, LastError 0\n",
        "AOC1: write-channel 1 70000  ->  TRUE, thread error 0x00000000, count 0, LastError 0\n",
        "AOC1: get-range 1  ->  TRUE, thread error 0x00000000, count 4, LastError 0; current 4..20 mA, initial code 0\n",
        "AOC1: read-byte 8  ->  TRUE, thread error 0x00000000, count 1, LastError 0; read 0x03\n",
        "AOC1: read-word 31  ->  FALSE, thread error 0x20000040, count 64, LastError 64\n",
        "AOC1: set-range 9 voltage 5 0  ->  FALSE, thread error 0x00000000, count not written, LastError 64\n",
        "AOC1: mode-flag 0x100  ->  TRUE, thread error 0x00000000, count 0, LastError 64\n",
        "AOC2: strobe  ->  FALSE, thread error 0x20000003, count 3, LastError 0\n",
        "AOC2: strobe  ->  TRUE, thread error 0x00000000, count 0, LastError 0\n",
        "AOC1:  AO_DATA 0x0c00 0x1170 0x0000 0x0000  AO_RANGE 0x03  AO_MODE_FLAG 0x01  strobes 0",
        "    AO0  code 3072 on -10..10 V: 5.000 V\n",
        "    AO1  code 368 on 0..5 V: 5.438 mA (4..20 mA)\n",
        "AOC2:  AO_DATA 0x0000 0x0000 0x0000 0x0000  AO_RANGE 0x00  AO_MODE_FLAG 0x00  strobes 1",
    };
    for (const char* line : expected) EXPECT_TRUE(Has(run.out, line)) << line << "\nin\n" << run.out;
}

TEST(RequestRunTest, NothingRunsAfterABadRequest) {
    struct Case {
        std::string args;
        std::string input;
        const char* error;
    } cases[] = {
        {"--board slot=3 --on AOC1: --requests -", "open\n\nwrite-channel 0\n", "standard input:3: usage: write-channel"},
        {"--board slot=3 --request open --request 'AOC1: probe'", "", "--request 1 'open': no board"},
        {"--board slot=3 --on AOC1: --request open --request 'AOC9: open'", "", "--request 2: no running board is called AOC9:"},
        {"--board slot=3 --requests /nonexistent/requests.txt", "", "cannot read /nonexistent/requests.txt"},
    };
    for (const Case& c : cases) {
        SimRun run = Sim(c.args, c.input);
        EXPECT_EQ(run.status, 2) << c.args;
        EXPECT_TRUE(Has(run.out, std::string("aoc-sim: ") + c.error)) << run.out;
        EXPECT_FALSE(Has(run.out, "->")) << "a request ran: " << run.out;
    }
}
#endif

}  // namespace
