// One model of the image build: pci6406cfg check and aoc-sim --import read a
// script through the same reader, so they accept and refuse the same scripts,
// and where they accept, the boards aoc-sim starts get what check says.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Outcome {
    int status;
    std::string out;
};

Outcome RunCommand(const std::string& command) {
    Outcome run{-1, {}};
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

const std::string kKey = "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6406S\\Template";
const std::string kVolts = "\"     0    10   -10     0     0\"";
const std::string k4To20mA = "\"     0     5     0    20     4\"";

// A template as the dialog writes it, with channel 1 at 4..20 mA.
std::string Section(int n, int nSwitch, const std::string& eol = "\r\n") {
    std::string text = " " + eol + kKey + std::to_string(n) + "] " + eol + "\"SwitchID\"=dword:" +
                       std::to_string(nSwitch) + eol;
    for (int i = 0; i < 4; ++i)
        text += "\"AOSettings " + std::to_string(i) + "\"=" + (i == 1 ? k4To20mA : kVolts) + eol;
    return text;
}

std::string Script(const std::string& eol = "\r\n") {
    return "; board script" + eol + "REGEDIT4" + eol + Section(0, 0, eol) + Section(1, 3, eol);
}

// Each board's "settings" line and its channels, as aoc-sim prints them.
std::string Boards(const std::string& out) {
    std::istringstream lines(out);
    std::string line, boards;
    while (std::getline(lines, line)) {
        if (line.rfind("AOC", 0) == 0 && line.find("device") != std::string::npos)
            boards += line.substr(0, 5) + "\n";
        else if (line.rfind("    settings", 0) == 0 || line.rfind("    AO", 0) == 0)
            boards += line.substr(4) + "\n";
    }
    return boards;
}

const std::string kWritten =
    "AO0  -10..10 V  InitialCode 0\nAO1  0..5 V, 4..20 mA  InitialCode 0\nAO2  -10..10 V  InitialCode 0\n"
    "AO3  -10..10 V  InitialCode 0\n";
const std::string kTemplate0 = "settings from template Template0\n" + kWritten;
const std::string kTemplate1 = "settings from template Template1\n" + kWritten;
const std::string kDefaults =
    "settings are the defaults (no template has its SwitchID)\n"
    "AO0  0..10 V  InitialCode 0\nAO1  0..10 V  InitialCode 0\nAO2  0..10 V  InitialCode 0\n"
    "AO3  0..10 V  InitialCode 0\n";
const std::string kNotLoaded =
    "settings not loaded: there is no readable template root key\n"
    "AO0  0..0 V  InitialCode 0\nAO1  0..0 V  InitialCode 0\nAO2  0..0 V  InitialCode 0\n"
    "AO3  0..0 V  InitialCode 0\n";

// The boards with switch 0, 3 and 5, as Boards gives them.
std::string Boards(const std::string& s0, const std::string& s3, const std::string& s5) {
    return "AOC1:\n" + s0 + "AOC2:\n" + s3 + "AOC3:\n" + s5;
}
const std::string kAsWritten = Boards(kTemplate0, kTemplate1, kDefaults);
const char kClean[] = "2 templates, each read by the driver as the dialog shows it.\n";
const char kNotAsShown[] = " the driver does not read this script as the dialog shows it.\n";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

TEST(ImageBuildTest, CheckAndTheImportReadOddScriptsAlike) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string otherSection = kKey + "1]\r\n\"SwitchID\"=dword:5\r\n";
    struct Case {
        const char* name;
        std::string script;
        const char* refused;  // the reader's words when both refuse it
        std::string check;    // check's output when both take it
        std::string boards;   // what the boards with switch 0, 3 and 5 get
    } cases[] = {
        {"as the dialog writes it", Script(), nullptr, kClean, kAsWritten},
        {"LF line ends", Script("\n"), nullptr, kClean, kAsWritten},
        // A carriage return alone ends no line for the image build: the
        // first line, a comment, runs to the end.
        {"CR line ends", Script("\r"), nullptr,
         "Template0 (line 1): no board takes it: the image build ends a line only at a line feed, so it reads this "
         "header as part of line 1\n"
         "Template1 (line 1): no board takes it: the image build ends a line only at a line feed, so it reads this "
         "header as part of line 1\n2 findings:" + std::string(kNotAsShown),
         Boards(kNotLoaded, kNotLoaded, kNotLoaded)},
        {"a UTF-8 byte-order mark", bom + Script(), nullptr, kClean, kAsWritten},
        {"a byte-order mark and a byte that is not UTF-8", bom + "; caf\xE9\r\n" + Script(),
         "line 1: the byte 0xe9 is not UTF-8, which the script's byte-order mark says it is", "", ""},
        {"a Ctrl-Z at the end", Script() + "\x1A", nullptr, kClean, kAsWritten},
        {"a Ctrl-Z before a template", Replaced(Script(), Section(1, 3), "\x1A\r\n" + Section(1, 3)), nullptr,
         "Template1 (line 12): no board takes it: the image build stops reading the script at the end-of-file mark "
         "(Ctrl-Z) on line 10\n1 finding:" + std::string(kNotAsShown),
         Boards(kTemplate0, kDefaults, kDefaults)},
        {"a stray line", Script() + "stray\r\n", "line 17: not a section, a value or a comment", "", ""},
        {"a header written [ HKEY", Replaced(Script(), "[HKEY", "[ HKEY"), "line 4: an unknown root key", "", ""},
        {"two sections of one template", Script() + otherSection, nullptr,
         "Template1 (line 11): the dialog shows BoardID 3, but the registry holds SwitchID 5 for it: \"SwitchID\" is "
         "set on lines 12 and 18, the dialog reads the first, the registry keeps the last\nline 17: " + kKey +
             "1] is another section of Template1 (line 11): the dialog reads and writes only the one on line 11, "
             "while the registry merges both into one key\n2 findings:" + kNotAsShown,
         Boards(kTemplate0, kDefaults, kTemplate1)},
        {"a section without \"SwitchID\"",
         Script() + " \r\n" + kKey + "2] \r\n\"AOSettings 0\"=" + kVolts + "\r\n", nullptr,
         "Template2 (line 18): the dialog cannot load it, as it holds no \"SwitchID\" dword; the dialog shows BoardID "
         "2 and -10..10 V on every channel, and would write them at the next Save, while no board takes it\n"
         "1 finding:" + std::string(kNotAsShown),
         kAsWritten},
    };
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("image_build_test." + std::to_string(getpid()));
    const std::filesystem::path folder = root / "Public" / "Quorvex" / "Device_Drivers" / "PCI6406";
    std::filesystem::create_directories(folder);
    const std::string script = (folder / "PCI6406.reg").string();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(script, std::ios::binary | std::ios::trunc) << c.script;
        const Outcome check = RunCommand(std::string(AOC_PCI6406CFG_TOOL) + " --root '" + root.string() + "' check");
        const Outcome import = RunCommand(std::string(AOC_SIM_TOOL) + " --import '" + script +
                                   "' --board slot=1 --board slot=2,switch=3 --board slot=3,switch=5");
        if (c.refused) {
            EXPECT_EQ(check.status, 1);
            EXPECT_EQ(check.out, std::string(c.refused) +
                                     ": the image build refuses the script, so no board takes any of its templates\n"
                                     "1 finding:" + kNotAsShown);
            EXPECT_EQ(import.status, 1);
            EXPECT_EQ(import.out, "aoc-sim: " + script + ": " + c.refused + "\n");
            continue;
        }
        EXPECT_EQ(check.status, c.check == kClean ? 0 : 1);
        EXPECT_EQ(check.out, c.check);
        EXPECT_EQ(import.status, 0) << import.out;
        EXPECT_EQ(Boards(import.out), c.boards);
    }
    std::filesystem::remove_all(root);
}

}  // namespace
#endif
