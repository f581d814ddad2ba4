#pragma once

#include <string>
#include <string_view>
#include <vector>

// The console's text less the load failures ("Could not load <address>: ...") of addresses that start
// with none of `own`: loads that earlier tests' screens left running in this process may log their
// failures while a test watches the console.
inline std::string withoutOthersLoads(const std::string& text, const std::vector<std::string>& own = {}) {
    constexpr std::string_view failure = "Could not load ";
    std::string kept;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        bool others = line.starts_with(failure);
        for (const std::string& address : own)
            if (line.substr(failure.size()).starts_with(address)) others = false;
        if (others) continue;
        kept.append(line);
        if (end < text.size()) kept.push_back('\n');
    }
    return kept;
}
