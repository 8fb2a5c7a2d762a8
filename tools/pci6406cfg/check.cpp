#include "check.h"

#include <ce_sim.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "reg_file.h"
#include "registry_layout.h"
#include "registry_util.h"
#include "settings_text.h"
#include "startup.h"

namespace {

using sim::WString;

const char kRootPath[] = "HKEY_LOCAL_MACHINE\\";
const WString kRoot = TEMPLATE_ROOT_KEY_W;

// Registry names compare without regard to letter case: keys of maps by name.
WString Fold(WString name) {
    for (WCHAR& c : name) {
        if (c >= 'a' && c <= 'z') c = static_cast<WCHAR>(c - 'a' + 'A');
    }
    return name;
}

std::string ChannelName(int nChannel) {
    char szName[16];
    FormatAoSettingsName(nChannel, szName, sizeof szName);
    return szName;
}

std::string Lines(const std::vector<int>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i)
        text += (i == 0 ? "" : i + 1 == lines.size() ? " and " : ", ") + std::to_string(lines[i]);
    return text;
}

// Line `nLine` of the script as the reader counts lines, without its line end
// and the blanks around it (and the byte-order mark before the first).
std::string ScriptLine(const std::string& text, int nLine) {
    size_t begin = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (int n = 1; n < nLine && begin != std::string::npos; ++n) {
        begin = text.find('\n', begin);
        if (begin != std::string::npos) ++begin;
    }
    if (begin == std::string::npos) return "";
    size_t end = std::min(text.find('\n', begin), text.size());
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r')) --end;
    return text.substr(begin, end - begin);
}

// ---- What the image build and the driver make of the script --------------

// A value of a template key as the registry holds it.
struct Held {
    bool bPresent = false;
    DWORD dwType = 0;
    std::vector<BYTE> data;
    std::vector<int> lines;  // the lines of the key's sections that set or deleted it
};

// A template key in the target's registry.
struct TemplateKey {
    WString name;   // as the registry holds it: as the section that made it spells it
    int nLine = 0;  // that section's
    std::map<WString, Held> values;
    // What the driver makes of the key when it is the only one: it reads it as
    // a template (its name qualifies), and takes it for a board whose switch
    // is the 4-byte SwitchID the key holds, giving the board these channels.
    bool bTemplate = false;
    bool bTaken = false;
    DWORD dwSwitch = 0;
    AoChannelSetting channels[AO_CHANNEL_COUNT] = {};

    const Held& Value(const std::string& name) const {
        static const Held kNone;
        auto found = values.find(Fold(sim::Widen(name)));
        return found != values.end() ? found->second : kNone;
    }
};

// A section at the template root key or below it, or one that deletes it.
struct RootSection {
    int nLine;
    bool bDelete;
    bool bBelow;    // a key below a template key
    WString child;  // the template key; "" for the root key or one above it
};

// One run of the driver's template selection on the registry as it stands.
struct Selection {
    WString taken;                // the key whose channels it read; "" for none
    std::vector<WString> opened;  // the keys it read as templates
    AoChannelSetting channels[AO_CHANNEL_COUNT];
};

// The driver's LoadTemplateSettings for a board whose switch is dwSwitch. What
// it took is seen from the registry calls it makes: it reads channel texts
// only from the key it takes.
Selection Select(DWORD dwSwitch) {
    Selection selection;
    const WString prefix = kRoot + TEXT("\\");
    const WString firstChannel = sim::Widen(ChannelName(0));
    cesim::SetRegistryObserver([&](const cesim::RegistryEvent& event) {
        if (event.result != ERROR_SUCCESS && event.call == cesim::Call::RegOpenKeyEx) return;
        if (!sim::StartsWithNoCase(event.key, prefix)) return;
        const WString name = event.key.substr(prefix.size());
        if (event.call == cesim::Call::RegOpenKeyEx) selection.opened.push_back(name);
        if (event.call == cesim::Call::RegQueryValueEx && selection.taken.empty() &&
            sim::EqualNoCase(event.name, firstChannel))
            selection.taken = name;
    });
    DeviceContext device = {};
    InitializeCriticalSection(&device.Lock);
    device.SwitchID = dwSwitch;
    LoadTemplateSettings(&device);
    cesim::SetRegistryObserver(nullptr);
    std::copy(std::begin(device.Channels), std::end(device.Channels), selection.channels);
    DeleteCriticalSection(&device.Lock);
    return selection;
}

// The script merged into a scratch registry of the target by the image
// build's reader, with what the driver's selection makes of it.
class ImageBuild {
public:
    // False, with the reader's words, when the image build refuses the script.
    bool Build(const std::string& text, std::string& refusal);

    const std::vector<RootSection>& Sections() const { return m_sections; }
    const std::vector<TemplateKey>& Keys() const { return m_keys; }
    const TemplateKey* Find(const WString& name) const {
        for (const TemplateKey& key : m_keys)
            if (sim::EqualNoCase(key.name, name)) return &key;
        return nullptr;
    }
    int DeletedAt(const WString& name) const {
        auto found = m_deletedAt.find(Fold(name));
        return found != m_deletedAt.end() ? found->second : 0;
    }
    // The key a board with switch s takes, or null.
    const TemplateKey* TakenBy(DWORD s) const { return Find(m_taken[s]); }
    int EndMarkLine() const { return m_script.endMarkLine; }

private:
    bool Merge(std::string& refusal) {
        cesim::ResetRegistry();
        cesim::SetEnumOrder(cesim::EnumOrder::Creation);
        return sim::ApplyRegScript(m_script, &refusal);
    }
    void ReadSections();

    sim::ParsedScript m_script;
    std::vector<RootSection> m_sections;
    std::map<WString, int> m_madeAt;                             // by folded key name
    std::map<WString, int> m_deletedAt;
    std::map<WString, std::map<WString, std::vector<int>>> m_valueLines;  // key, value name
    std::vector<TemplateKey> m_keys;                             // in the order the driver meets them
    WString m_taken[TEMPLATE_COUNT];
};

// The sections about the template keys, and the lines that made, deleted and
// set each key since it was last deleted.
void ImageBuild::ReadSections() {
    const WString root = Fold(kRoot);
    for (const sim::ScriptSection& section : m_script.sections) {
        if (section.root != HKEY_LOCAL_MACHINE) continue;
        const WString path = Fold(section.key);
        if (section.remove && (path == root || root.compare(0, path.size() + 1, path + TEXT("\\")) == 0)) {
            m_sections.push_back(RootSection{section.line, true, false, WString()});
            for (const auto& made : m_madeAt) m_deletedAt[made.first] = section.line;
            m_madeAt.clear();
            m_valueLines.clear();
            continue;
        }
        if (path.compare(0, root.size() + 1, root + TEXT("\\")) != 0) continue;
        const WString below = section.key.substr(root.size() + 1);
        const size_t slash = below.find(TEXT('\\'));
        const WString child = below.substr(0, slash);
        if (child.empty()) continue;
        const bool bBelow = slash != WString::npos;
        m_sections.push_back(RootSection{section.line, section.remove, bBelow, child});
        const WString folded = Fold(child);
        if (section.remove) {
            if (!bBelow && m_madeAt.erase(folded)) {
                m_deletedAt[folded] = section.line;
                m_valueLines.erase(folded);
            }
            continue;
        }
        // A key below a template key brings the template key about as well.
        m_madeAt.emplace(folded, section.line);
        if (bBelow) continue;
        for (const sim::ScriptValue& value : section.values)
            m_valueLines[folded][Fold(value.name)].push_back(value.line);
    }
}

bool ImageBuild::Build(const std::string& text, std::string& refusal) {
    if (!sim::ParseRegText(text, m_script, &refusal) || !Merge(refusal)) return false;
    ReadSections();
    std::vector<std::string> names = {VALUE_SWITCH_ID_A};
    for (int i = 0; i < AO_CHANNEL_COUNT; ++i) names.push_back(ChannelName(i));
    for (const WString& name : sim::SubKeyNames(kRoot)) {
        TemplateKey key;
        key.name = name;
        key.nLine = m_madeAt[Fold(name)];
        for (const std::string& valueName : names) {
            Held& held = key.values[Fold(sim::Widen(valueName))];
            held.lines = m_valueLines[Fold(name)][Fold(sim::Widen(valueName))];
            if (std::optional<sim::RegValue> value = sim::GetValue(sim::Join(kRoot, name), sim::Widen(valueName))) {
                held.bPresent = true;
                held.dwType = value->type;
                held.data = value->data;
            }
        }
        m_keys.push_back(key);
    }
    for (DWORD s = 0; s < static_cast<DWORD>(TEMPLATE_COUNT); ++s) m_taken[s] = Select(s).taken;
    // Each key alone under the root, the switch tried the 4 bytes it holds.
    for (TemplateKey& key : m_keys) {
        if (!Merge(refusal)) return false;
        for (const TemplateKey& other : m_keys)
            if (&other != &key) sim::DeleteKey(sim::Join(kRoot, other.name));
        const std::optional<DWORD> dwSwitch = sim::GetDword(sim::Join(kRoot, key.name), VALUE_SWITCH_ID_W);
        const Selection selection = Select(dwSwitch.value_or(0));
        key.bTemplate = std::any_of(selection.opened.begin(), selection.opened.end(),
                                    [&](const WString& name) { return sim::EqualNoCase(name, key.name); });
        key.bTaken = key.bTemplate && sim::EqualNoCase(selection.taken, key.name);
        key.dwSwitch = dwSwitch.value_or(0);
        std::copy(std::begin(selection.channels), std::end(selection.channels), key.channels);
    }
    cesim::ResetRegistry();
    return true;
}

// The channel text as the driver's read of it holds it: units, when it is a
// text that fits its read.
bool DriverText(const Held& value, std::vector<LayoutWChar>& units) {
    if (!value.bPresent || value.dwType != REG_SZ || value.data.size() > CHANNEL_TEXT_READ_BYTES) return false;
    units.clear();
    for (size_t i = 0; i + 1 < value.data.size(); i += 2)
        units.push_back(static_cast<LayoutWChar>(value.data[i] | (value.data[i + 1] << 8)));
    return true;
}

// Why the driver reads a channel otherwise than the dialog shows it.
std::string WhyChannel(const TemplateKey& key, int nChannel) {
    const std::string name = "\"" + ChannelName(nChannel) + "\"";
    const std::string carried =
        nChannel == 0 ? "starts from zeros" : "carries channel " + std::to_string(nChannel - 1) + "'s numbers into it";
    const Held& value = key.Value(ChannelName(nChannel));
    if (value.lines.size() > 1)
        return name + " is set on lines " + Lines(value.lines) +
               ": the dialog reads the first, the registry keeps the last";
    if (!value.bPresent) return "there is no " + name + ": the dialog shows its default, while the driver " + carried;
    std::vector<LayoutWChar> units;
    if (value.dwType != REG_SZ) return name + " is not a text, so the driver " + carried;
    if (!DriverText(value, units))
        return "the text of " + name + " is longer than the " + std::to_string(CHANNEL_TEXT_READ_BYTES / 2 - 1) +
               " characters the driver reads, so it " + carried;
    TemplateTextNumbers any = {}, five = {};
    const int nAny = ParseTemplateText(units.data(), units.size(), SCAN_ANY_WIDTH, any);
    const int nFive = ParseTemplateText(units.data(), units.size(), SCAN_WIDTH_FIVE, five);
    if (nAny != nFive || any.InitialCode != five.InitialCode || any.VoltageMax != five.VoltageMax ||
        any.VoltageMin != five.VoltageMin || any.CurrentMax != five.CurrentMax || any.CurrentMin != five.CurrentMin)
        return "a number in " + name + " is longer than five characters, and the driver cuts it after five";
    if (nFive < 5)
        return name + " holds " + std::to_string(nFive) +
               " of its five numbers: the dialog takes the rest from its default, while the driver " + carried;
    AoChannelSetting own;
    if (TemplateNumbersToBoardSetting(five, own))
        return "its voltage range is 0..0 V, which the driver takes as 0..10 V";
    return "";
}

// Why no board takes a template whose header line the reader did not take
// for a section of a template key.
std::string WhyNoSection(const std::string& text, const ImageBuild& build, size_t nOffset, int nLine) {
    if (build.EndMarkLine() && nLine >= build.EndMarkLine())
        return "the image build stops reading the script at the end-of-file mark (Ctrl-Z) on line " +
               std::to_string(build.EndMarkLine());
    const size_t nFirst = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (nOffset > nFirst && text[nOffset - 1] != '\n')
        return "the image build ends a line only at a line feed, so it reads this header as part of line " +
               std::to_string(nLine);
    return std::string("its key is not under ") + kRootPath + TEMPLATE_ROOT_KEY_A +
           ", where the driver looks for templates";
}

}  // namespace

bool SameSetting(const AoChannelSetting& a, const AoChannelSetting& b) {
    return a.InitialCode == b.InitialCode && a.VoltageMax == b.VoltageMax && a.VoltageMin == b.VoltageMin &&
           a.CurrentMax == b.CurrentMax && a.CurrentMin == b.CurrentMin;
}

std::string RangeNumbers(const AoChannelSetting& s) {
    char szText[128];
    int n = std::snprintf(szText, sizeof szText, "%g..%g V", s.VoltageMin, s.VoltageMax);
    if (s.CurrentMax != 0.0f || s.CurrentMin != 0.0f)
        n += std::snprintf(szText + n, sizeof szText - n, ", %g..%g mA", s.CurrentMin, s.CurrentMax);
    if (s.InitialCode != 0) std::snprintf(szText + n, sizeof szText - n, " (InitialCode %u)", s.InitialCode);
    return szText;
}

std::vector<std::string> CheckScript(std::string_view view, const std::vector<ShownTemplate>& shown) {
    const std::string text(view);
    ImageBuild build;
    std::string refusal;
    if (!build.Build(text, refusal))
        return {refusal + ": the image build refuses the script, so no board takes any of its templates"};

    std::vector<std::pair<int, std::string>> findings;
    auto find = [&](int nLine, const std::string& finding) { findings.emplace_back(nLine, finding); };
    auto sectionAt = [&](int nLine) -> const RootSection* {
        for (const RootSection& section : build.Sections())
            if (section.nLine == nLine) return &section;
        return nullptr;
    };
    // The dialog's name for a key it lists, and the header line it takes.
    std::map<WString, std::string> labels;
    std::set<int> shownHeaders;
    std::map<WString, int> shownHeaderOf;

    for (const ShownTemplate& t : shown) {
        const int nLine = sim::LineOfByte(text, t.nHeaderOffset);
        const std::string who = "Template" + std::to_string(t.nNumber) + " (line " + std::to_string(nLine) + ")";
        shownHeaders.insert(nLine);
        const RootSection* pSection = sectionAt(nLine);
        if (!pSection || pSection->bDelete || pSection->bBelow) {
            find(nLine, who + ": no board takes it: " + WhyNoSection(text, build, t.nHeaderOffset, nLine));
            continue;
        }
        const WString folded = Fold(pSection->child);
        labels[folded] = who;
        shownHeaderOf[folded] = nLine;
        const TemplateKey* pKey = build.Find(pSection->child);
        if (!pKey) {
            find(nLine, who + ": no board takes it: line " + std::to_string(build.DeletedAt(pSection->child)) +
                            " deletes its key");
            continue;
        }
        if (!pKey->bTemplate) {
            find(nLine, who + ": no board takes it: its key is named " + sim::Narrow(pKey->name) +
                            ", and the driver reads only keys whose names hold \"Template\" in that letter case");
            continue;
        }
        const Held& switchId = pKey->Value(VALUE_SWITCH_ID_A);
        const std::string setTwice = switchId.lines.size() > 1
                                         ? ": \"SwitchID\" is set on lines " + Lines(switchId.lines) +
                                               ", the dialog reads the first, the registry keeps the last"
                                         : "";
        const std::string n = std::to_string(t.nNumber);
        if (!t.bLoaded) {
            find(nLine,
                 who + ": the dialog cannot load it, as it holds no \"SwitchID\" dword; the dialog shows BoardID " + n +
                     " and -10..10 V on every channel, and would write them at the next Save, while " +
                     (pKey->bTaken ? "boards with switch " + std::to_string(pKey->dwSwitch) + " take it as it is"
                                   : "no board takes it"));
            continue;
        }
        if (!pKey->bTaken) {
            find(nLine, who + ": no board takes it: the registry holds no 4-byte \"SwitchID\" for it" + setTwice);
            continue;
        }
        if (pKey->dwSwitch != t.dwBoardID) {
            find(nLine, who + ": the dialog shows BoardID " + std::to_string(t.dwBoardID) +
                            ", but the registry holds SwitchID " + std::to_string(pKey->dwSwitch) + " for it" +
                            setTwice);
        } else if (pKey->dwSwitch >= static_cast<DWORD>(TEMPLATE_COUNT)) {
            find(nLine, who + ": no board takes it: BoardID " + std::to_string(pKey->dwSwitch) +
                            " is no switch setting, which run from 0 to 15");
            continue;
        }
        for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
            if (SameSetting(pKey->channels[i], t.pChannels[i])) continue;
            const std::string why = WhyChannel(*pKey, i);
            find(nLine, who + ", channel " + std::to_string(i) + ": the dialog shows " + RangeNumbers(t.pChannels[i]) +
                            ", a board gets " + RangeNumbers(pKey->channels[i]) + (why.empty() ? "" : ": " + why));
        }
    }

    auto label = [&](const TemplateKey* pKey) {
        auto found = labels.find(Fold(pKey->name));
        return found != labels.end() ? found->second
                                      : sim::Narrow(pKey->name) + " (line " + std::to_string(pKey->nLine) + ")";
    };
    // The keys each switch setting's boards could take, the one the driver
    // takes first, then the others in the order the driver meets them.
    std::map<DWORD, std::vector<const TemplateKey*>> holders;
    for (DWORD s = 0; s < static_cast<DWORD>(TEMPLATE_COUNT); ++s) {
        if (const TemplateKey* pFirst = build.TakenBy(s)) holders[s].push_back(pFirst);
    }
    for (const TemplateKey& key : build.Keys()) {
        if (!key.bTaken || key.dwSwitch >= static_cast<DWORD>(TEMPLATE_COUNT)) continue;
        std::vector<const TemplateKey*>& keys = holders[key.dwSwitch];
        if (std::find(keys.begin(), keys.end(), &key) == keys.end()) keys.push_back(&key);
    }
    for (const auto& held : holders) {
        const std::vector<const TemplateKey*>& keys = held.second;
        if (keys.size() < 2) continue;
        std::string all, later;
        for (size_t i = 0; i < keys.size(); ++i) {
            all += (i == 0 ? "" : i + 1 == keys.size() ? " and " : ", ") + label(keys[i]);
            if (i > 0) later += (i == 1 ? "" : i + 1 == keys.size() ? " and " : ", ") + label(keys[i]);
        }
        const std::string s = std::to_string(held.first);
        find(keys[1]->nLine, "SwitchID " + s + " is held by " + all + ": boards with switch " + s + " take " +
                                 label(keys[0]) + ", the first in the script, and " + later +
                                 (keys.size() > 2 ? " reach" : " reaches") + " no board");
    }

    // Sections that the registry reads and the dialog does not see.
    std::set<WString> said;
    for (const RootSection& section : build.Sections()) {
        if (shownHeaders.count(section.nLine) || section.bBelow) continue;
        const std::string where = "line " + std::to_string(section.nLine) + ": " + ScriptLine(text, section.nLine);
        if (section.bDelete) {
            find(section.nLine,
                 where + " deletes " +
                     (section.child.empty() ? "every template key" : "the key " + sim::Narrow(section.child)) +
                     " in the registry, which the dialog does not see");
            continue;
        }
        const WString folded = Fold(section.child);
        auto shownAt = shownHeaderOf.find(folded);
        if (shownAt != shownHeaderOf.end()) {
            find(section.nLine, where + " is another section of " + labels[folded] +
                                    ": the dialog reads and writes only the one on line " +
                                    std::to_string(shownAt->second) + ", while the registry merges both into one key");
            continue;
        }
        const TemplateKey* pKey = build.Find(section.child);
        if (!pKey || !pKey->bTemplate || !said.insert(folded).second) continue;
        std::string effect;
        if (!pKey->bTaken) {
            effect = "it holds no 4-byte \"SwitchID\", so no board takes it";
        } else if (pKey->dwSwitch >= static_cast<DWORD>(TEMPLATE_COUNT)) {
            effect = "its SwitchID " + std::to_string(pKey->dwSwitch) + " is no switch setting, so no board takes it";
        } else {
            const std::string s = std::to_string(pKey->dwSwitch);
            const TemplateKey* pFirst = holders[pKey->dwSwitch].front();
            effect = pFirst == pKey ? "boards with switch " + s + " take it"
                                    : "boards with switch " + s + " take " + label(pFirst) + " before it";
        }
        find(section.nLine, where + " is a section the dialog does not list; the driver reads the key " +
                                sim::Narrow(pKey->name) + " as a template, and " + effect);
    }

    std::stable_sort(
        findings.begin(), findings.end(),
        [](const std::pair<int, std::string>& a, const std::pair<int, std::string>& b) { return a.first < b.first; });
    std::vector<std::string> lines;
    for (const auto& finding : findings) lines.push_back(finding.second);
    return lines;
}
