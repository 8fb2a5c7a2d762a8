// pci6406cfg: the board's setting templates edited from the command line
// through the configuration library's own template store, the one its dialog
// shows: the bytes it writes are the bytes the dialog writes.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "command.h"
#include "board_store.h"
#include "session.h"

namespace {

const char kHelp[] =
    "\n"
    "Edits the setting templates in a board's registry script through the\n"
    "configuration library's own template store, the one its dialog shows and\n"
    "edits: each command does what the dialog's Add, Remove, BoardID box, range\n"
    "boxes and Save do. The script is the one the image-build tool opens,\n"
    "DIR/Public/Quorvex/Device_Drivers/NAME/NAME.reg, NAME being the first\n"
    "seven characters of the device name.\n"
    "\n"
    "options, anywhere on the line:\n"
    "  --root DIR        the image's root folder\n"
    "  --device NAME     the device name (default PCI6406)\n"
    "  --commands FILE   commands from a file (- for standard input), run before\n"
    "                    those on the line: one or more a line, words in '' or \"\"\n"
    "                    when they hold blanks; blank lines and # lines are skipped\n"
    "  --json            list prints JSON\n"
    "  -h, --help        show this text and exit\n"
    "  --                the words after it are commands, whatever they begin with\n"
    "\n"
    "commands (T is a template number 0..15 or its item text in any case, such\n"
    "as Template3 or template3):\n"
    "  list            one line per template in the tree's order: its number, its\n"
    "                  BoardID and each channel's range as the boxes show it\n"
    "  list --json     the same as JSON, with the stored numbers:\n"
    "                  {\"script\": PATH, \"templates\": [{\"template\": 0, \"BoardID\": 0,\n"
    "                   \"channels\": [{\"channel\": 0, \"voltage\": \"-10 ~ 10V\",\n"
    "                   \"current\": \"none\", \"InitialCode\": 0, \"VoltageMax\": 10,\n"
    "                   \"VoltageMin\": -10, \"CurrentMax\": 0, \"CurrentMin\": 0}, ...]}]};\n"
    "                  voltage and current are null for a range the boxes lack\n"
    "  add             adds a template as Add does and prints its number and BoardID\n"
    "  remove T        removes template T\n"
    "  boardid T ID    sets template T's BoardID (its SwitchID, 0..15)\n"
    "  range T CHANNEL RANGE [RANGE]\n"
    "                  chooses channel 0..3's ranges in the order given, each in\n"
    "                  the box that offers it: -10 ~ 10V, -5 ~ 5V, 0 ~ 10V and\n"
    "                  0 ~ 5V (which brings 0 ~ 20mA along) in the voltage box;\n"
    "                  4 ~ 20mA, 0 ~ 20mA and none in the current box. Blanks\n"
    "                  and letter case do not matter.\n"
    "  save            saves even when nothing changed, so that every listed\n"
    "                  template is written whole, as the dialog shows it (one\n"
    "                  the script holds without a SwitchID only once edited)\n"
    "  check           reads the script as the driver will read its template keys\n"
    "                  after the image build, and reports each template whose\n"
    "                  effect on a board differs from what the dialog shows (the\n"
    "                  driver reads five characters a number, carries numbers a\n"
    "                  channel lacks from the channel before, makes 0..0 V\n"
    "                  0..10 V, and takes the first template of a SwitchID in the\n"
    "                  script), two templates with one SwitchID, templates that do\n"
    "                  not load, and sections the dialog does not list; runs alone\n"
    "\n"
    "Commands separated by \",\" (a word of its own or the end of one) work in one\n"
    "session: they are saved once, after the last of them, and only when\n"
    "they changed what the script holds (or save asks). A refused command ends\n"
    "the session and nothing is saved. A save lands all at once or not at all; a\n"
    "second pci6406cfg on the same board folder waits for the first.\n"
    "\n"
    "Exit status: 0 done; 1 refused or failed (the dialog's message first on\n"
    "standard error), or check found something; 2 a malformed command.\n"
    "\n"
    "examples:\n"
    "  pci6406cfg --root image add, boardid 0 3, range 0 2 \"4 ~ 20mA\"\n"
    "  pci6406cfg --root image remove 1, add\n"
    "  pci6406cfg --root image --commands templates.txt\n"
    "  pci6406cfg --root image list --json\n"
    "  pci6406cfg --root image check\n";

// Parses each command of the words; "" or the first problem.
std::string AddCommands(const std::vector<std::string>& words, const std::string& where, bool bNamed,
                        std::vector<Command>& commands) {
    for (const std::vector<std::string>& group : SplitCommands(words)) {
        if (group.empty()) continue;
        Command command;
        const std::string problem = ParseCommand(group, command);
        if (!problem.empty()) return where + (bNamed ? command.text + ": " : "") + problem;
        command.where = where;
        commands.push_back(command);
    }
    return "";
}

std::string ReadCommandFile(const std::string& path, std::vector<Command>& commands) {
    const bool bStdin = path == "-";
    FILE* pFile = bStdin ? stdin : std::fopen(path.c_str(), "r");
    if (pFile == nullptr) return "cannot read the command file " + path + ": " + std::strerror(errno);
    struct stat st;
    std::string problem;
    if (fstat(fileno(pFile), &st) == 0 && S_ISDIR(st.st_mode)) problem = "the command file " + path + " is a folder";
    std::string line;
    int nLine = 0;
    for (int c = 0; problem.empty() && c != EOF;) {
        line.clear();
        while ((c = std::fgetc(pFile)) != EOF && c != '\n') line += static_cast<char>(c);
        ++nLine;
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        const std::string where = (bStdin ? std::string("standard input") : path) + ":" + std::to_string(nLine) + ": ";
        std::vector<std::string> words;
        problem = SplitLine(line, words);
        if (!problem.empty())
            problem = where + problem;
        else
            problem = AddCommands(words, where, false, commands);
    }
    if (problem.empty() && std::ferror(pFile)) problem = "cannot read the command file " + path;
    if (!bStdin) std::fclose(pFile);
    return problem;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root, device = "PCI6406", commandFile;
    bool bRoot = false, bCommandFile = false, bJson = false, bCommandsOnly = false;
    std::vector<std::string> words;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
        if (!bCommandsOnly && (arg == "-h" || arg == "--help")) {
            std::printf("%s%s", kUsage, kHelp);
            return EXIT_DONE;
        }
        if (arg == "--") bCommandsOnly = true;
    }
    bCommandsOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (bCommandsOnly || arg.compare(0, 2, "--") != 0) {
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            bCommandsOnly = true;
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string option = arg.substr(0, equals);
        if (option == "--json" && equals == std::string::npos) {
            bJson = true;
            continue;
        }
        if (option != "--root" && option != "--device" && option != "--commands")
            return Malformed("unknown option " + option);
        if (equals == std::string::npos && i + 1 >= args.size()) return Malformed(option + " needs a value");
        const std::string value = equals != std::string::npos ? arg.substr(equals + 1) : args[++i];
        if (option == "--root") {
            root = value;
            bRoot = true;
        } else if (option == "--device") {
            device = value;
        } else {
            commandFile = value;
            bCommandFile = true;
        }
    }

    std::vector<Command> commands;
    if (bCommandFile) {
        const std::string problem = ReadCommandFile(commandFile, commands);
        if (!problem.empty()) return Malformed(problem);
    }
    const bool bSeveral = bCommandFile || SplitCommands(words).size() > 1;
    const std::string problem = AddCommands(words, "", bSeveral, commands);
    if (!problem.empty()) return Malformed(problem);
    if (commands.empty()) return Malformed("no command");
    if (!bRoot || root.empty()) return Malformed("--root is required");
    bool bList = false;
    for (Command& command : commands) {
        if (command.name == "check" && commands.size() > 1)
            return Malformed("check runs alone: it reads the script as saved");
        if (command.name == "list") {
            command.bJson = command.bJson || bJson;
            bList = true;
        }
    }
    if (bJson && !bList) return Malformed("--json goes with list");
    // The library separates folders with backslashes as Windows does; here a
    // backslash is a character of a name, so such a name would lead elsewhere.
    for (const std::string* pName : {&root, &device}) {
        if (pName->find('\\') != std::string::npos)
            return Malformed(std::string(pName == &root ? "--root" : "--device") + " " + *pName +
                             ": on this system a backslash is part of a file name, not a separator of folders, and "
                             "the configuration library takes it for one; name the folders with /");
    }
    if (root.back() != '/') root += '/';
    // A reader that has gone (list | head) is a failure to say, not a signal
    // that ends the process after its save has landed.
    signal(SIGPIPE, SIG_IGN);

    CBoardStore board;
    bool bSaved = false;
    const int nResult = board.Open(root, device) ? RunSession(board, commands, bSaved) : EXIT_REFUSED;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        Say(std::string("cannot write the output: ") + std::strerror(errno) + "; " +
            (bSaved ? "the changes were saved to " + board.ScriptPath() : "nothing was saved"));
        return EXIT_REFUSED;
    }
    return nResult;
}
