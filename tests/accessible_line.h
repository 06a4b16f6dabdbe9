// One item of the window as tests/accessible_view.txt writes it:
// role | name | value | states, then | description when it has one, from
// Active Accessibility's role and state numbers. Shared by the native test of the accessible view and the probe
// of the real window.
#pragma once

#include <cstdint>
#include <string>

inline std::string AccessibleLine(uint32_t role, const std::string& name, const std::string& value, uint32_t states,
                                  const std::string& description = "") {
    static const std::pair<uint32_t, const char*> roles[] = {{0x29, "text"}, {0x2B, "button"}, {0x1E, "link"},
                                                             {0x30, "progressbar"}, {0x0A, "client"}, {0x08, "alert"}};
    static const std::pair<uint32_t, const char*> bits[] = {{0x1, "unavailable"}, {0x4, "focused"},
        {0x40, "readonly"}, {0x8000, "invisible"}, {0x100000, "focusable"}, {0x400000, "linked"}};
    std::string out = "other", flags;
    for (const auto& [number, text] : roles)
        if (number == role) out = text;
    for (const std::string& field : {name, value}) out += " |" + (field.empty() ? "" : " " + field);
    for (const auto& [bit, text] : bits)
        if (states & bit) flags += flags.empty() ? text : std::string(" ") + text;
    out += " |" + (flags.empty() ? "" : " " + flags);
    return description.empty() ? out : out + " | " + description;
}
