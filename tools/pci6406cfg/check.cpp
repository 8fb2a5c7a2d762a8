#include "check.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>

#include "registry_layout.h"
#include "settings_text.h"

namespace {

const char kRootPath[] = "HKEY_LOCAL_MACHINE\\";

char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Upper(std::string text) {
    for (char& c : text) c = UpperChar(c);
    return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// The line at p, without its end (CR LF, LF or CR, as the dialog reads
// them); p moves past the end.
std::string_view NextLine(std::string_view text, size_t& p) {
    const size_t end = text.find_first_of("\r\n", p);
    const std::string_view line = text.substr(p, end == std::string_view::npos ? std::string_view::npos : end - p);
    p = end == std::string_view::npos ? text.size() : end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    return line;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperChar(a[i]) != UpperChar(b[i])) return false;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Lines(const std::vector<int>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i)
        text += (i == 0 ? "" : i + 1 == lines.size() ? " and " : ", ") + std::to_string(lines[i]);
    return text;
}

// ---- The template keys the image build makes of the script --------------

struct Value {
    bool bPresent = false;
    uint32_t dwType = 0;
    std::vector<uint8_t> bytes;
    std::vector<int> lines;  // every line that set or deleted it
};

struct Key {
    std::string name;                     // as the section that created it spells it
    int nLine = 0;                        // that section's
    std::map<std::string, Value> values;  // by name in capitals: the registry ignores letter case
};

// A section header at or under the template root key.
struct Section {
    int nLine;
    std::string text;
    bool bDelete;
    bool bBelow;        // a key below a template key
    std::string child;  // the template key; "" for the root key or one above it
};

// .reg text as the image build reads it, as far as the template root key is
// concerned: keys by path in any letter case, each named as first created,
// in the order created; values set and deleted in script order, the last
// one standing; "[-key]" deleting a key with all below it.
class TemplateRoot {
public:
    explicit TemplateRoot(std::string_view text);

    int LineAt(size_t nOffset) const {
        return static_cast<int>(std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), nOffset) -
                                m_lineStarts.begin());
    }
    const Section* SectionAt(int nLine) const {
        for (const Section& section : m_sections)
            if (section.nLine == nLine) return &section;
        return nullptr;
    }
    const Key* Find(const std::string& name) const { return Standing(name); }
    int DeletedAt(const std::string& name) const {
        auto found = m_deletedAt.find(Upper(name));
        return found != m_deletedAt.end() ? found->second : 0;
    }
    std::vector<const Key*> Keys() const { return std::vector<const Key*>(m_order.begin(), m_order.end()); }
    const std::vector<Section>& Sections() const { return m_sections; }

private:
    Key* Standing(const std::string& name) const {
        for (Key* pKey : m_order)
            if (Upper(pKey->name) == Upper(name)) return pKey;
        return nullptr;
    }
    void Header(std::string_view line, int nLine);
    void SetValue(const std::string& line, int nLine);
    void Delete(const std::string& upperName, int nLine);

    std::vector<size_t> m_lineStarts;  // the lines' starts, for their numbers
    std::vector<Section> m_sections;
    std::vector<std::unique_ptr<Key>> m_keys;
    std::vector<Key*> m_order;  // the keys standing, in the order created
    std::map<std::string, int> m_deletedAt;
    Key* m_pCurrent = nullptr;  // the template key whose values follow
};

TemplateRoot::TemplateRoot(std::string_view text) {
    // A UTF-8 byte-order mark is no part of the first line.
    size_t p = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (int nLine = 1;; ++nLine) {
        m_lineStarts.push_back(p);
        const std::string_view line = Trimmed(NextLine(text, p));
        if (!line.empty() && line[0] == '[') {
            Header(line, nLine);
        } else if (!line.empty() && (line[0] == '"' || line[0] == '@')) {
            // A value goes on over lines that end with a backslash, but for a
            // comment or a section's line, which stand alone. Only a template
            // key's values are kept.
            std::string value;
            std::string_view piece = line;
            const int nFirst = nLine;
            while (!piece.empty() && piece.back() == '\\' && p < text.size()) {
                size_t q = p;
                const std::string_view next = Trimmed(NextLine(text, q));
                if (!next.empty() && (next[0] == ';' || next[0] == '[')) break;
                if (m_pCurrent) value.append(piece.substr(0, piece.size() - 1));
                piece = next;
                m_lineStarts.push_back(p);
                p = q;
                ++nLine;
            }
            if (m_pCurrent) SetValue(value.append(piece), nFirst);
        }
        if (p >= text.size()) break;
    }
}

void TemplateRoot::Header(std::string_view view, int nLine) {
    m_pCurrent = nullptr;
    // The key ends at the "]" that only blanks or a comment follow.
    size_t close = std::string_view::npos;
    for (size_t at = 0; (at = view.find(']', at)) != std::string_view::npos; ++at) {
        const std::string_view rest = Trimmed(view.substr(at + 1));
        if (rest.empty() || rest[0] == ';') {
            close = at;
            break;
        }
    }
    if (close == std::string_view::npos) return;
    std::string_view pathView = view.substr(1, close - 1);
    if (!pathView.empty() && pathView[0] == '-') pathView.remove_prefix(1);
    // Most keys are other drivers': neither at the template root nor above it.
    const std::string_view shortRoot = "HKLM\\";
    const bool bShort = EqualNoCase(pathView.substr(0, shortRoot.size()), shortRoot);
    const std::string root = (bShort ? std::string(shortRoot) : std::string(kRootPath)) + TEMPLATE_ROOT_KEY_A;
    const size_t nShared = std::min(pathView.size(), root.size());
    if (!EqualNoCase(pathView.substr(0, nShared), std::string_view(root).substr(0, nShared))) return;

    const std::string line(view);
    std::string path = line.substr(1, close - 1);
    const bool bDelete = !path.empty() && path[0] == '-';
    if (bDelete) path.erase(0, 1);
    const std::string upperPath = Upper(path);
    const std::string upperRoot = Upper(root);
    if (bDelete && (upperRoot == upperPath || upperRoot.compare(0, upperPath.size() + 1, upperPath + "\\") == 0)) {
        m_sections.push_back(Section{nLine, line, true, false, ""});
        while (!m_order.empty()) Delete(Upper(m_order.front()->name), nLine);
        return;
    }
    if (upperPath.compare(0, upperRoot.size() + 1, upperRoot + "\\") != 0) return;
    const std::string below = path.substr(upperRoot.size() + 1);
    const size_t slash = below.find('\\');
    const std::string child = below.substr(0, slash);
    if (child.empty()) return;
    m_sections.push_back(Section{nLine, line, bDelete, slash != std::string::npos, child});
    if (bDelete) {
        if (slash == std::string::npos) Delete(Upper(child), nLine);
        return;
    }
    // A key below a template key brings the template key about as well.
    Key* pKey = Standing(child);
    if (!pKey) {
        m_keys.push_back(std::make_unique<Key>());
        pKey = m_keys.back().get();
        pKey->name = child;
        pKey->nLine = nLine;
        m_order.push_back(pKey);
    }
    if (slash == std::string::npos) m_pCurrent = pKey;
}

void TemplateRoot::Delete(const std::string& upperName, int nLine) {
    for (auto it = m_order.begin(); it != m_order.end(); ++it) {
        if (Upper((*it)->name) != upperName) continue;
        m_order.erase(it);
        m_deletedAt[upperName] = nLine;
        return;
    }
}

// A quoted text from pos, at its opening quote; \\ and \" are escapes.
bool Quoted(const std::string& line, size_t& pos, std::string& out) {
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < line.size() && (line[pos + 1] == '\\' || line[pos + 1] == '"')) c = line[++pos];
        out += c;
    }
    return false;
}

bool Starts(const std::string& line, size_t pos, const char* word) {
    return Upper(line.substr(pos, std::char_traits<char>::length(word))) == Upper(word);
}

// Hexadecimal bytes separated by commas.
bool ByteList(const std::string& line, size_t pos, std::vector<uint8_t>& bytes) {
    for (;;) {
        while (pos < line.size() && IsBlank(line[pos])) ++pos;
        int nDigits = 0, nValue = 0;
        for (; pos < line.size() && HexDigit(line[pos]) >= 0; ++pos, ++nDigits)
            nValue = nValue * 16 + HexDigit(line[pos]);
        if (nDigits > 2) return false;
        if (nDigits) bytes.push_back(static_cast<uint8_t>(nValue));
        while (pos < line.size() && IsBlank(line[pos])) ++pos;
        if (pos >= line.size() || line[pos] != ',') return pos >= line.size() || line[pos] == ';';
        ++pos;
    }
}

void PutUnits(const std::string& text, std::vector<uint8_t>& bytes) {
    for (char c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    bytes.push_back(0);
    bytes.push_back(0);
}

void TemplateRoot::SetValue(const std::string& line, int nLine) {
    size_t pos = 0;
    std::string name;
    if (line[0] == '@')
        pos = 1;
    else if (!Quoted(line, pos, name))
        return;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] != '=') return;
    ++pos;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    Value value;
    value.bPresent = true;
    if (pos < line.size() && line[pos] == '-') {
        value.bPresent = false;
    } else if (pos < line.size() && line[pos] == '"') {
        std::string text;
        if (!Quoted(line, pos, text)) return;
        value.dwType = LAYOUT_REG_SZ;
        PutUnits(text, value.bytes);
    } else if (Starts(line, pos, "dword:")) {
        uint32_t dw = 0;
        int nDigits = 0;
        for (pos += 6; pos < line.size() && HexDigit(line[pos]) >= 0; ++pos, ++nDigits)
            dw = dw * 16 + static_cast<uint32_t>(HexDigit(line[pos]));
        if (nDigits == 0 || nDigits > 8) return;
        value.dwType = LAYOUT_REG_DWORD;
        for (int i = 0; i < 4; ++i) value.bytes.push_back(static_cast<uint8_t>(dw >> (8 * i)));
    } else if (Starts(line, pos, "hex:")) {
        value.dwType = LAYOUT_REG_BINARY;
        if (!ByteList(line, pos + 4, value.bytes)) return;
    } else if (Starts(line, pos, "hex(")) {
        const size_t close = line.find("):", pos);
        if (close == std::string::npos) return;
        value.dwType = static_cast<uint32_t>(std::strtoul(line.substr(pos + 4, close - pos - 4).c_str(), nullptr, 16));
        if (!ByteList(line, close + 2, value.bytes)) return;
    } else if (Starts(line, pos, "multi_sz:")) {
        value.dwType = LAYOUT_REG_MULTI_SZ;
        std::vector<uint8_t> narrow;
        if (!ByteList(line, pos + 9, narrow)) return;
        for (uint8_t b : narrow) value.bytes.insert(value.bytes.end(), {b, 0});
    } else {
        return;  // a form the image build does not take
    }
    Value& slot = m_pCurrent->values[Upper(name)];
    value.lines = slot.lines;
    value.lines.push_back(nLine);
    slot = value;
}

// ---- The driver's reading of one template key -------------------------

struct DriverView {
    bool bSwitch = false;  // a 4-byte SwitchID, of whatever type
    uint32_t dwSwitch = 0;
    AoChannelSetting channels[AO_CHANNEL_COUNT] = {};
    bool bZeroVolts[AO_CHANNEL_COUNT] = {};  // made 0..10 V
};

std::string ChannelName(int nChannel) {
    char szName[16];
    FormatAoSettingsName(nChannel, szName, sizeof szName);
    return szName;
}

const Value* Find(const Key& key, const std::string& name) {
    auto found = key.values.find(Upper(name));
    return found != key.values.end() ? &found->second : nullptr;
}

// The text the driver reads: a string that fits its 82-byte read, as units.
bool DriverText(const Value* pValue, std::vector<LayoutWChar>& units) {
    if (!pValue || !pValue->bPresent || pValue->dwType != LAYOUT_REG_SZ ||
        pValue->bytes.size() > CHANNEL_TEXT_READ_BYTES)
        return false;
    units.clear();
    for (size_t i = 0; i + 1 < pValue->bytes.size(); i += 2)
        units.push_back(static_cast<LayoutWChar>(pValue->bytes[i] | (pValue->bytes[i + 1] << 8)));
    return true;
}

DriverView ReadAsDriver(const Key& key) {
    DriverView view;
    const Value* pSwitch = Find(key, VALUE_SWITCH_ID_A);
    if (pSwitch && pSwitch->bPresent && pSwitch->bytes.size() == LAYOUT_DWORD_BYTES) {
        view.bSwitch = true;
        for (int i = 3; i >= 0; --i) view.dwSwitch = (view.dwSwitch << 8) | pSwitch->bytes[i];
    }
    // The five numbers go on from one channel to the next: what a channel's
    // text lacks, it keeps from the channel before.
    TemplateTextNumbers numbers = {};
    for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
        std::vector<LayoutWChar> units;
        if (DriverText(Find(key, ChannelName(i)), units))
            ParseTemplateText(units.data(), units.size(), SCAN_WIDTH_FIVE, numbers);
        view.bZeroVolts[i] = TemplateNumbersToBoardSetting(numbers, view.channels[i]);
    }
    return view;
}

// Why the driver reads a channel otherwise than the dialog shows it.
std::string WhyChannel(const Key& key, int nChannel, const DriverView& view) {
    const std::string name = "\"" + ChannelName(nChannel) + "\"";
    const std::string carried =
        nChannel == 0 ? "starts from zeros" : "carries channel " + std::to_string(nChannel - 1) + "'s numbers into it";
    const Value* pValue = Find(key, ChannelName(nChannel));
    if (pValue && pValue->lines.size() > 1)
        return name + " is set on lines " + Lines(pValue->lines) +
               ": the dialog reads the first, the registry keeps the last";
    if (!pValue || !pValue->bPresent)
        return "there is no " + name + ": the dialog shows its default, while the driver " + carried;
    std::vector<LayoutWChar> units;
    if (pValue->dwType != LAYOUT_REG_SZ) return name + " is not a text, so the driver " + carried;
    if (!DriverText(pValue, units))
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
               " of its five numbers: the dialog takes the rest from its "
               "default, while the driver " +
               carried;
    if (view.bZeroVolts[nChannel]) return "its voltage range is 0..0 V, which the driver takes as 0..10 V";
    return "";
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

std::vector<std::string> CheckScript(std::string_view text, const std::vector<ShownTemplate>& shown) {
    const TemplateRoot root(text);
    std::vector<std::pair<int, std::string>> findings;
    auto find = [&](int nLine, const std::string& finding) { findings.emplace_back(nLine, finding); };
    // The dialog's name for a key it lists, and the header line it takes.
    std::map<std::string, std::string> labels;
    std::set<int> shownHeaders;
    std::map<std::string, int> shownHeaderOf;

    for (const ShownTemplate& t : shown) {
        const int nLine = root.LineAt(t.nHeaderOffset);
        const std::string who = "Template" + std::to_string(t.nNumber) + " (line " + std::to_string(nLine) + ")";
        shownHeaders.insert(nLine);
        const Section* pSection = root.SectionAt(nLine);
        if (!pSection || pSection->bDelete || pSection->bBelow) {
            find(nLine, who + ": no board takes it: its key is not under " + kRootPath + TEMPLATE_ROOT_KEY_A +
                            ", where the driver looks for templates");
            continue;
        }
        labels[Upper(pSection->child)] = who;
        shownHeaderOf[Upper(pSection->child)] = nLine;
        const Key* pKey = root.Find(pSection->child);
        if (!pKey) {
            find(nLine, who + ": no board takes it: line " + std::to_string(root.DeletedAt(pSection->child)) +
                            " deletes its key");
            continue;
        }
        if (!TextContains(pKey->name.c_str(), TEMPLATE_KEY_PREFIX_A)) {
            find(nLine, who + ": no board takes it: its key is named " + pKey->name +
                            ", and the driver reads only keys whose names hold \"Template\" in that letter case");
            continue;
        }
        const DriverView view = ReadAsDriver(*pKey);
        const Value* pSwitch = Find(*pKey, VALUE_SWITCH_ID_A);
        const std::string setTwice = pSwitch && pSwitch->lines.size() > 1
                                         ? ": \"SwitchID\" is set on lines " + Lines(pSwitch->lines) +
                                               ", the dialog reads the first, the registry keeps the last"
                                         : "";
        const std::string n = std::to_string(t.nNumber);
        if (!t.bLoaded) {
            find(nLine,
                 who + ": the dialog cannot load it, as it holds no \"SwitchID\" dword; the dialog shows BoardID " + n +
                     " and -10..10 V on every channel, and would write them at the next Save, while " +
                     (view.bSwitch ? "boards with switch " + std::to_string(view.dwSwitch) + " take it as it is"
                                   : "no board takes it"));
            continue;
        }
        if (!view.bSwitch) {
            find(nLine, who + ": no board takes it: the registry holds no 4-byte \"SwitchID\" for it" + setTwice);
            continue;
        }
        if (view.dwSwitch != t.entry.SwitchID) {
            find(nLine, who + ": the dialog shows BoardID " + std::to_string(t.entry.SwitchID) +
                            ", but the registry holds SwitchID " + std::to_string(view.dwSwitch) + " for it" +
                            setTwice);
        } else if (view.dwSwitch >= static_cast<uint32_t>(TEMPLATE_COUNT)) {
            find(nLine, who + ": no board takes it: BoardID " + std::to_string(view.dwSwitch) +
                            " is no switch setting, which run from 0 to 15");
            continue;
        }
        for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
            if (SameSetting(view.channels[i], t.entry.Channels[i])) continue;
            const std::string why = WhyChannel(*pKey, i, view);
            find(nLine, who + ", channel " + std::to_string(i) + ": the dialog shows " +
                            RangeNumbers(t.entry.Channels[i]) + ", a board gets " + RangeNumbers(view.channels[i]) +
                            (why.empty() ? "" : ": " + why));
        }
    }

    auto label = [&](const Key* pKey) {
        auto found = labels.find(Upper(pKey->name));
        return found != labels.end() ? found->second : pKey->name + " (line " + std::to_string(pKey->nLine) + ")";
    };
    // The driver takes the first template key in the registry's order whose
    // SwitchID is the board's.
    std::map<uint32_t, std::vector<const Key*>> holders;
    for (const Key* pKey : root.Keys()) {
        if (!TextContains(pKey->name.c_str(), TEMPLATE_KEY_PREFIX_A)) continue;
        const DriverView view = ReadAsDriver(*pKey);
        if (view.bSwitch && view.dwSwitch < static_cast<uint32_t>(TEMPLATE_COUNT))
            holders[view.dwSwitch].push_back(pKey);
    }
    for (const auto& held : holders) {
        const std::vector<const Key*>& keys = held.second;
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
    std::set<std::string> said;
    for (const Section& section : root.Sections()) {
        if (shownHeaders.count(section.nLine) || section.bBelow) continue;
        const std::string where = "line " + std::to_string(section.nLine) + ": " + section.text;
        if (section.bDelete) {
            find(section.nLine, where + " deletes " +
                                    (section.child.empty() ? "every template key" : "the key " + section.child) +
                                    " in the registry, which the dialog does not see");
            continue;
        }
        const std::string upper = Upper(section.child);
        auto shownAt = shownHeaderOf.find(upper);
        if (shownAt != shownHeaderOf.end()) {
            find(section.nLine, where + " is another section of " + labels[upper] +
                                    ": the dialog reads and writes only the one on line " +
                                    std::to_string(shownAt->second) + ", while the registry merges both into one key");
            continue;
        }
        const Key* pKey = root.Find(section.child);
        if (!pKey || !TextContains(pKey->name.c_str(), TEMPLATE_KEY_PREFIX_A) || !said.insert(upper).second) continue;
        const DriverView view = ReadAsDriver(*pKey);
        std::string effect;
        if (!view.bSwitch) {
            effect = "it holds no 4-byte \"SwitchID\", so no board takes it";
        } else if (view.dwSwitch >= static_cast<uint32_t>(TEMPLATE_COUNT)) {
            effect = "its SwitchID " + std::to_string(view.dwSwitch) + " is no switch setting, so no board takes it";
        } else {
            const std::string s = std::to_string(view.dwSwitch);
            const Key* pFirst = holders[view.dwSwitch].front();
            effect = pFirst == pKey ? "boards with switch " + s + " take it"
                                    : "boards with switch " + s + " take " + label(pFirst) + " before it";
        }
        find(section.nLine, where + " is a section the dialog does not list; the driver reads the key " + pKey->name +
                                " as a template, and " + effect);
    }

    std::stable_sort(
        findings.begin(), findings.end(),
        [](const std::pair<int, std::string>& a, const std::pair<int, std::string>& b) { return a.first < b.first; });
    std::vector<std::string> lines;
    for (const auto& finding : findings) lines.push_back(finding.second);
    return lines;
}
