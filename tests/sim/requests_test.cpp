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
        std::string line;
        const char* error;  // start of the message; null: accepted
    } cases[] = {
        {"open", nullptr},
        {"  AOC2:   write-channel 3 70000 ", nullptr},
        {"set-range 1 current 20 4", nullptr},
        {"set-range 1 voltage 10 -10 0x800", nullptr},
        {"set-range 1 7 24 0 code=0x2000 reserved=0xbeef length=15 address=unmapped handle=null", nullptr},
        {"get-range 0x10001 address=0", nullptr},
        {"write-dword 0x10 0xFFFFFFFF", nullptr},
        {"write-byte 0 0x1234  # the driver writes the low byte", nullptr},
        {"read-byte 4294967295", nullptr},
        {"mode-flag 0x10000", nullptr},
        {"close handle=board", nullptr},
        {"read 16", nullptr},
        {"write 01,2,ff", nullptr},
        {"seek -2147483648 2", nullptr},
        {"ioctl ioctl_ao_probe in= count=none", nullptr},
        {"ioctl 0xDC7FF87C in=04,20,10,00 inlen=0xffffffff out=2 outlen=4", nullptr},
        {"", "no request"},
        {"AOC1:", "no request"},
        {"# only a comment", "no request"},
        {"open now", "usage: open"},
        {"set-range 1 current 20", "usage: set-range CHANNEL"},
        {"set-range 1 volts 10 0", "set-range: 'volts' is not voltage, current or a mode number"},
        {"set-range 1 voltage ten 0", "set-range: 'ten' is not a maximum"},
        {"set-range 1 voltage 1e99 0", "set-range: '1e99' is not a maximum"},
        {"set-range 1 voltage 10 0 address=near", "set-range: 'near' is not a number or unmapped for address="},
        {"get-range 1 in=00", "get-range takes no option 'in='"},
        {"strobe code=1", "strobe takes no option 'code='"},
        {"strobe handle=mine", "strobe: 'mine' is not board or null for handle="},
        {"write-word 0 -1", "write-word: '-1' is not a value"},
        {"read-word 4294967296", "read-word: '4294967296' is not an offset"},
        {"read-word +4", "read-word: '+4' is not an offset"},
        {"read 65537", "read: '65537' is not a byte count up to 65536"},
        {"write 1,,2", "write: '1,,2' is not a list of hexadecimal bytes"},
        {"write 123", "write: '123' is not a list of hexadecimal bytes"},
        {"seek 2147483648", "seek: '2147483648' is not a distance"},
        {"ioctl IOCTL_NOTHING", "ioctl: 'IOCTL_NOTHING' is not a control code"},
        {"ioctl 1 out=65537", "ioctl: '65537' is not none or a size up to 65536 for out="},
        {"ioctl 1 count=1", "ioctl: '1' is not none for count="},
        {"sett-range 1", "unknown request 'sett-range'"},
        {"together write-channel 0 1 ; AOC2: write-channel 1 2", nullptr},
        {"together times=1000000 strobe ; probe ; read-byte 8 # at once", nullptr},
        {"together write-channel 0 1", "usage: together [times=N]"},
        {"together times=0 strobe ; probe", "times= takes a number from 1 to 1000000"},
        {"together strobe ; open", "together runs no 'open'"},
        {"together close ; strobe", "together runs no 'close'"},
        {"together strobe ; together probe ; probe", "together, request 2: unknown request 'together'"},
        {"together strobe ; ; probe", "together, request 2: no request"},
        {"write-channel 0 " + std::string(100000, '9'), "write-channel: '99999999999999999999999999999999... (100000 characters)' is not a value"},
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
    EXPECT_EQ(r.channel, 3u);
    EXPECT_EQ(r.mode, RANGE_MODE_CURRENT);
    EXPECT_EQ(r.maximum, 20.0f);
    EXPECT_EQ(r.minimum, 4.0f);
    EXPECT_EQ(r.initialCode, 7u);
    ASSERT_TRUE(ParseRequest("ioctl IOCTL_AO_SET_MODE_FLAG in=00,1 inlen=1 out=3", "AOC1:", &r, &error));
    EXPECT_EQ(r.code, IOCTL_AO_SET_MODE_FLAG);
    EXPECT_EQ(*r.in, (std::vector<BYTE>{0x00, 0x01}));
    EXPECT_EQ(*r.inLength, 1u);
    EXPECT_EQ(*r.outSize, 3u);
    EXPECT_FALSE(r.outLength);
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
        "AOC1: open  ->  TRUE, thread error unchanged, OpenCount 1\n",
        "AOC1: set-range 0 voltage 10 -10 2048  ->  TRUE, thread error unchanged, count not written, LastError 0; "
        "record unchanged\n",
        "AOC1: write-channel 1 70000  ->  TRUE, thread error unchanged, count 0, LastError 0\n",
        "AOC1: get-range 1  ->  TRUE, thread error unchanged, count 4, LastError 0; out 00 00 00 00; record now "
        "reserved 0x0000, initial code 0, mode 1, channel 1, maximum 20, minimum 4\n",
        "AOC1: read-byte 8  ->  TRUE, thread error unchanged, count 1, LastError 0; out 03\n",
        "AOC1: read-word 31  ->  FALSE, thread error 0x20000040, count 64, LastError 64; out ee ee\n",
        "AOC1: set-range 9 voltage 5 0  ->  FALSE, thread error unchanged, count not written, LastError 64; "
        "record unchanged\n",
        "AOC1: mode-flag 0x100  ->  TRUE, thread error unchanged, count 0, LastError 64\n",
        "AOC2: strobe  ->  FALSE, thread error 0x20000003, count 3, LastError 0\n",
        "AOC2: strobe  ->  TRUE, thread error unchanged, count 0, LastError 0\n",
        "AOC1:  AO_DATA 0x0c00 0x1170 0x0000 0x0000  AO_RANGE 0x03  AO_MODE_FLAG 0x01  strobes 0",
        "    AO0  code 3072 on -10..10 V: 5.000 V\n",
        "    AO1  code 368 on 0..5 V: 5.438 mA (4..20 mA)\n",
        "AOC2:  AO_DATA 0x0000 0x0000 0x0000 0x0000  AO_RANGE 0x00  AO_MODE_FLAG 0x00  strobes 1",
    };
    for (const char* line : expected) EXPECT_TRUE(Has(run.out, line)) << line << "\nin\n" << run.out;
}

// The example file of the interface's edge cases says after each request what
// its result must show; the run must show it, line by line.
TEST(RequestRunTest, TheEdgeCaseFileShowsWhatItSays) {
    std::ifstream file(AOC_EDGE_CASES);
    ASSERT_TRUE(file) << AOC_EDGE_CASES;
    struct Expected {
        std::string request, result;
    };
    std::vector<Expected> expected;
    for (std::string line; std::getline(file, line);) {
        size_t hash = line.find('#');
        std::istringstream words(line.substr(0, hash));
        std::string request;
        for (std::string word; words >> word;) request += (request.empty() ? "" : " ") + word;
        if (request.empty()) continue;
        std::string result = hash == std::string::npos ? "" : line.substr(line.find_first_not_of(" #", hash));
        expected.push_back({request, result});
    }
    // As the file's first lines give it.
    SimRun run = Sim("--board slot=3,switch=0x3b --board slot=4,len=0 --board slot=5,io=0xfff0,switch=0x5a "
                     "--requests " + std::string(AOC_EDGE_CASES), "");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(Has(run.out, "AOC1:  device 0  SwitchID 11  \"PCI-6406 SwitchID=11 I/O=d000H\"\n"));
    EXPECT_TRUE(Has(run.out, "AOC3:  device 2  SwitchID 10  \"PCI-6406 SwitchID=10 I/O=fff0H\"\n"));
    std::vector<std::string> results;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        if (Has(line, "  ->  ")) results.push_back(line);
    }
    ASSERT_EQ(results.size(), expected.size()) << run.out;
    for (size_t i = 0; i < expected.size(); ++i) {
        const std::string& line = results[i];
        EXPECT_EQ(line.substr(0, line.find("  ->  ")), expected[i].request);
        EXPECT_TRUE(Has(line.substr(line.find("  ->  ")), expected[i].result))
            << expected[i].request << "\n  should show: " << expected[i].result << "\n  shows: " << line;
    }
}

TEST(RequestRunTest, NothingRunsAfterABadRequest) {
    struct Case {
        std::string args;
        std::string input;
        const char* error;
    } cases[] = {
        {"--board slot=3 --on AOC1: --requests -", "open\n\nwrite-channel 0\n", "standard input:3: usage: write-channel"},
        {"--board slot=3 --request open --request 'AOC1: probe'", "", "--request 1 'open': no board"},
        {"--board slot=3 --on AOC1: --request open --request 'AOC9: open'", "",
         "--request 2: no board will be called AOC9: (the boards are AOC1:)"},
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
