#include "package/version_text.h"

#include <cctype>
#include <string>

namespace package {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

// The text with each run of digits written without its leading zeros
// ("007" as "7", "000" as "0") and letters in lower case.
std::string Normal(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (IsDigit(text[i])) {
            std::size_t end = i;
            while (end < text.size() && IsDigit(text[end])) ++end;
            std::size_t first = i;
            while (first + 1 < end && text[first] == '0') ++first;
            out.append(text.substr(first, end - first));
            i = end;
        } else {
            out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(text[i]))));
            ++i;
        }
    }
    return out;
}

}  // namespace

bool SameVersion(std::string_view a, std::string_view b) {
    a = Trimmed(a);
    b = Trimmed(b);
    return !a.empty() && !b.empty() && Normal(a) == Normal(b);
}

}  // namespace package
