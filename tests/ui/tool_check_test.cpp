// pci6406cfg check: hand-edited scripts that the driver reads otherwise than
// the dialog shows them, each finding with its line and its reason.
#include "tool_fixture.h"

namespace {

const char kKeyPath[] = "HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6406S\\";

std::string Key(const std::string& name) { return "[" + std::string(kKeyPath) + name + "]"; }

std::string Value(int nChannel, const std::string& text) {
    return "\"AOSettings " + std::to_string(nChannel) + "\"=\"" + text + "\"\r\n";
}

const std::string kHead = kScriptHead;
const char kNotAsShown[] = " the driver does not read this script as the dialog shows it.\n";

TEST_F(ToolTest, CheckFindsWhatTheDriverReadsOtherwise) {
    const std::string kDefault = kMinus10To10V;
    const std::string kLong = kDefault + std::string(11, ' ');
    struct Case {
        const char* name;
        std::string script;
        std::string out;
    } cases[] = {
        {"written by the dialog", kScriptHead + Section(0, 0) + Section(1, 3, k4To20mA),
         "2 templates, each read by the driver as the dialog shows it.\n"},
        {"a number wider than five characters",
         kScriptHead + Section(0, 0, kMinus10To10V, "100000    10   -10     0     0"),
         "Template0 (line 3), channel 1: the dialog shows -10..10 V (InitialCode 34464), a board gets 10..0 V, "
         "0..-10 mA (InitialCode 10000): a number in \"AOSettings 1\" is longer than five characters, and the driver "
         "cuts it after five\n1 finding:" +
             std::string(kNotAsShown)},
        {"missing channels carried",
         kHead + " \r\n" + Header(0) + " \r\n\"SwitchID\"=dword:0\r\n" + Value(0, k0To10V) + Value(1, k4To20mA),
         "Template0 (line 3), channel 2: the dialog shows -10..10 V, a board gets 0..5 V, 4..20 mA: there is no "
         "\"AOSettings 2\": the dialog shows its default, while the driver carries channel 1's numbers into it\n"
         "Template0 (line 3), channel 3: the dialog shows -10..10 V, a board gets 0..5 V, 4..20 mA: there is no "
         "\"AOSettings 3\": the dialog shows its default, while the driver carries channel 2's numbers into it\n"
         "2 findings:" +
             std::string(kNotAsShown)},
        {"0 V, and numbers missing",
         kScriptHead +
             Section(0, 0, "     0     0     0    20     4", "     0     5", "     0     0     0     0     4"),
         "Template0 (line 3), channel 0: the dialog shows 0..0 V, 4..20 mA, a board gets 0..10 V: its voltage range "
         "is 0..0 V, which the driver takes as 0..10 V\n"
         "Template0 (line 3), channel 1: the dialog shows -10..5 V, a board gets 0..5 V, 4..20 mA: \"AOSettings 1\" "
         "holds 2 of its five numbers: the dialog takes the rest from its default, while the driver carries channel "
         "0's numbers into it\n"
         "Template0 (line 3), channel 2: the dialog shows 0..0 V, 4..0 mA, a board gets 0..10 V, 4..0 mA: its "
         "voltage range is 0..0 V, which the driver takes as 0..10 V\n3 findings:" +
             std::string(kNotAsShown)},
        {"a text longer than the driver reads", kScriptHead + Section(0, 0, k0To5V, kLong.c_str()),
         "Template0 (line 3), channel 1: the dialog shows -10..10 V, a board gets 0..5 V: the text of \"AOSettings 1\" "
         "is longer than the 40 characters the driver reads, so it carries channel 0's numbers into it\n1 finding:" +
             std::string(kNotAsShown)},
        {"one SwitchID twice", kScriptHead + Section(1, 3) + Section(2, 3),
         "SwitchID 3 is held by Template1 (line 3) and Template2 (line 10): boards with switch 3 take Template1 (line "
         "3), the first in the script, and Template2 (line 10) reaches no board\n1 finding:" +
             std::string(kNotAsShown)},
        {"templates that do not load",
         kHead + " \r\n" + Header(5) + " \r\n" + Value(0, kDefault) + " \r\n" + Header(6) +
             " \r\n\"SwitchID\"=hex:02,00,00,00\r\n",
         "Template5 (line 3): the dialog cannot load it, as it holds no \"SwitchID\" dword; the dialog shows BoardID 5 "
         "and -10..10 V on every channel, and would write them at the next Save, while no board takes it\n"
         "Template6 (line 6): the dialog cannot load it, as it holds no \"SwitchID\" dword; the dialog shows BoardID 6 "
         "and -10..10 V on every channel, and would write them at the next Save, while boards with switch 2 take it "
         "as it is\n2 findings:" +
             std::string(kNotAsShown)},
        {"sections the dialog does not list",
         kScriptHead + Key("Template03") + "\r\n\"SwitchID\"=dword:3\r\n" + Key("Template 4") +
             "\r\n\"SwitchID\"=dword:4\r\n" + Key("Template16") + "\r\n\"SwitchID\"=dword:10\r\n" + Key("MyTemplate") +
             "\r\n" + Key("Notes") + "\r\n" + Section(3, 3),
         "line 2: " + Key("Template03") +
             " is a section the dialog does not list; the driver reads the key "
             "Template03 as a template, and boards with switch 3 take it\n"
             "line 4: " +
             Key("Template 4") +
             " is a section the dialog does not list; the driver reads the key "
             "Template 4 as a template, and boards with switch 4 take it\n"
             "line 6: " +
             Key("Template16") +
             " is a section the dialog does not list; the driver reads the key "
             "Template16 as a template, and its SwitchID 16 is no switch setting, so no board takes it\n"
             "line 8: " +
             Key("MyTemplate") +
             " is a section the dialog does not list; the driver reads the key "
             "MyTemplate as a template, and it holds no 4-byte \"SwitchID\", so no board takes it\n"
             "SwitchID 3 is held by Template03 (line 2) and Template3 (line 11): boards with switch 3 take Template03 "
             "(line 2), the first in the script, and Template3 (line 11) reaches no board\n5 findings:" +
             std::string(kNotAsShown)},
        {"a key the driver does not take for a template",
         kHead + " \r\n" + Key("template2") + " \r\n\"SwitchID\"=dword:2\r\n",
         "Template2 (line 3): no board takes it: its key is named template2, and the driver reads only keys whose "
         "names hold \"Template\" in that letter case\n1 finding:" +
             std::string(kNotAsShown)},
        {"a second section of a template", kScriptHead + Section(0, 0) + Header(0) + "\r\n\"SwitchID\"=dword:7\r\n",
         "Template0 (line 3): the dialog shows BoardID 0, but the registry holds SwitchID 7 for it: \"SwitchID\" is "
         "set on lines 4 and 10, the dialog reads the first, the registry keeps the last\n"
         "line 9: " +
             Header(0) +
             " is another section of Template0 (line 3): the dialog reads and writes only the "
             "one on line 3, while the registry merges both into one key\n2 findings:" +
             std::string(kNotAsShown)},
        {"a template deleted",
         kScriptHead + Section(0, 0) + Section(1, 1) + "[-" + std::string(kKeyPath) + "Template1]\r\n",
         "Template1 (line 10): no board takes it: line 16 deletes its key\n"
         "line 16: [-" +
             std::string(kKeyPath) +
             "Template1] deletes the key Template1 in the registry, which the "
             "dialog does not see\n2 findings:" +
             std::string(kNotAsShown)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_script.Put(c.script);
        Outcome run = Tool("check");
        EXPECT_EQ(run.nStatus, c.out.find("finding") == std::string::npos ? 0 : 1);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(m_script.Get(), c.script);
    }
}

// save writes each listed template whole, which mends what a hand edit left
// for the driver to read otherwise.
TEST_F(ToolTest, SaveMendsWhatCheckFinds) {
    const std::string partial = kHead + " \r\n" + Header(0) + " \r\n\"SwitchID\"=dword:0\r\n" +
                                Value(0, "100000 5 0 0 0") + Value(1, k4To20mA) +
                                Value(3, kMinus10To10V + std::string(11, ' '));
    m_script.Put(partial);
    EXPECT_EQ(Tool("check").nStatus, 1);
    EXPECT_EQ(Tool("save").nStatus, 0);
    Outcome run = Tool("check");
    EXPECT_EQ(run.nStatus, 0);
    EXPECT_EQ(run.out, "1 template, each read by the driver as the dialog shows it.\n");
}

}  // namespace
