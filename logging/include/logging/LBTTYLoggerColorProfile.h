#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "logging/LBLogLevel.h"
#include "logging/LBTTYColorTables.h"

namespace logging {

// One colour choice of the console logger, for a flag mask and a context (or a tag), with its
// escape codes built once.
class LBTTYLoggerColorProfile {
public:
    static constexpr LBLogContext anyContext = 2147483647;

    // Without a colour its code is empty; with colour mode none every code is empty.
    LBTTYLoggerColorProfile(std::optional<LBColor> foreground, std::optional<LBColor> background, std::uint64_t mask,
                            LBLogContext context, LBTTYColorMode mode);

    std::uint64_t mask() const { return mask_; }
    LBLogContext context() const { return context_; }
    const std::string& fgCode() const { return fgCode_; }
    const std::string& bgCode() const { return bgCode_; }
    const std::string& resetCode() const { return resetCode_; }
    std::string description() const;

private:
    std::uint64_t mask_;
    LBLogContext context_;
    std::uint8_t fg_r_ = 0, fg_g_ = 0, fg_b_ = 0;
    std::uint8_t bg_r_ = 0, bg_g_ = 0, bg_b_ = 0;
    std::size_t fgCodeIndex_ = 0;
    std::string fgCodeRaw_;
    std::size_t bgCodeIndex_ = 0;
    std::string bgCodeRaw_;
    std::string fgCode_;
    std::string bgCode_;
    std::string resetCode_;
};

}  // namespace logging
