#include "board_list.h"

#include <algorithm>
#include <cstdio>

#include "echo.h"
#include "number_text.h"

namespace {

const DWORD DEFAULT_IO_BASE = 0xD000;
const DWORD IO_BLOCK = 0x100;
const DWORD DEFAULT_SWITCH_SUBSYSTEM = 0xA100;
const DWORD PORT_SPACE = 0x10000;
const DWORD MAX_SLOT = 31;

// Windows on the 16-bit port numbers, where one that runs past 0xFFFF goes
// on at port 0.
bool Overlaps(const sim::BoardConfig& a, DWORD base, DWORD length) {
    if (!a.ioLength || !length) return false;
    DWORD fromA = (base - a.ioBase) % PORT_SPACE, fromB = (a.ioBase - base) % PORT_SPACE;
    return fromA < a.ioLength || fromB < length;
}

}  // namespace

bool ParseBoardList(const std::string& text, BoardList& board, std::string* error) {
    struct Key {
        const char* name;
        unsigned long long max;
        DWORD* field;
        bool* given;
    };
    bool hasBus = false, hasLen = false;
    DWORD switchValue = 0;
    Key keys[] = {
        {"bus", 255, &board.config.bus, &hasBus},
        {"slot", MAX_SLOT, &board.config.slot, &board.hasSlot},
        {"subsys", 0xFFFF, &board.config.subsystemId, &board.hasSubsystem},
        {"io", 0xFFFFFFFF, &board.config.ioBase, &board.hasIo},
        {"len", PORT_SPACE, &board.config.ioLength, &hasLen},
        {"switch", 0xFF, &switchValue, &board.hasSwitch},
    };
    const std::string quoted = "--board '" + Echo(text) + "': ";
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        std::string pair = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() + 1 : end + 1;
        if (pair.empty()) {
            if (text.empty()) break;
            *error = quoted + "an empty item";
            return false;
        }
        size_t eq = pair.find('=');
        std::string name = pair.substr(0, eq);
        Key* key = nullptr;
        for (Key& k : keys) {
            if (name == k.name) key = &k;
        }
        if (!key) {
            *error = quoted + "unknown key '" + Echo(name, 16) + "' (bus, slot, subsys, io, len, switch)";
            return false;
        }
        if (*key->given) {
            *error = quoted + "'" + name + "' is given twice";
            return false;
        }
        if (eq == std::string::npos || !ParseUnsigned(pair.substr(eq + 1), key->max, *key->field)) {
            char max[16];
            std::snprintf(max, sizeof max, key->max > 0xFFFF ? "%#llx" : "%llu", key->max);
            *error = quoted + name + " needs a number from 0 to " + max;
            return false;
        }
        *key->given = true;
    }
    board.config.switchRegister = static_cast<BYTE>(switchValue);
    return true;
}

void CompleteBoardLists(std::vector<BoardList>& boards) {
    // What the lists fix comes first; the defaults fill the gaps in order.
    std::vector<std::pair<DWORD, DWORD>> slots;  // (bus, slot)
    std::vector<const sim::BoardConfig*> windows;
    for (const BoardList& s : boards) {
        if (s.hasSlot) slots.emplace_back(s.config.bus, s.config.slot);
        if (s.hasIo) windows.push_back(&s.config);
    }
    for (BoardList& s : boards) {
        sim::BoardConfig& c = s.config;
        if (!s.hasSubsystem) c.subsystemId = s.hasSwitch ? DEFAULT_SWITCH_SUBSYSTEM : 0;
        if (!s.hasSlot) {
            c.slot = 1;
            while (c.slot < MAX_SLOT && std::count(slots.begin(), slots.end(), std::make_pair(c.bus, c.slot))) ++c.slot;
            slots.emplace_back(c.bus, c.slot);
        }
        if (!s.hasIo && c.ioLength) {
            c.ioBase = DEFAULT_IO_BASE;
            auto clash = [&] {
                return std::any_of(windows.begin(), windows.end(),
                                   [&](const sim::BoardConfig* w) { return Overlaps(*w, c.ioBase, c.ioLength); });
            };
            while (clash() && c.ioBase + IO_BLOCK + c.ioLength <= PORT_SPACE) c.ioBase += IO_BLOCK;
            windows.push_back(&c);
        }
    }
}
