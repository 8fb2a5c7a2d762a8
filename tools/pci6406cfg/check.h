#pragma once
// check: the registry script read as the driver reads the template keys once
// the image build has merged the script into the target's registry, beside
// what the dialog shows of it.
#include <string>
#include <string_view>
#include <vector>

#include "template_store.h"

// Every field equal: the same effect on a board.
bool SameSetting(const AoChannelSetting& a, const AoChannelSetting& b);

// A channel setting in numbers: "-10..10 V", "0..5 V, 4..20 mA", and its
// InitialCode when it is not 0.
std::string RangeNumbers(const AoChannelSetting& setting);

// A template the dialog lists.
struct ShownTemplate {
    int nNumber;
    TemplateEntry entry;   // as the dialog shows it, and would save it
    bool bLoaded;          // the dialog read its SwitchID
    size_t nHeaderOffset;  // where the header line the dialog takes for it begins
};

// One line per finding, in the script's order; none when every template
// reaches the boards as the dialog shows it.
std::vector<std::string> CheckScript(std::string_view text, const std::vector<ShownTemplate>& shown);
