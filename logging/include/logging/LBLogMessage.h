#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Date.h"
#include "logging/LBLogLevel.h"

namespace logging {

// A caller's tag; the console logger can colour by it. Tags are texts here.
using LBLogTag = std::optional<std::string>;

// One log record: built once per logging call, then handed to every interested logger. A value;
// copies share their strings.
class LBLogMessage {
public:
    // Option bits.
    static constexpr int copyFile = 1;
    static constexpr int copyFunction = 2;
    static constexpr int dontCopyMessage = 4;  // the record takes the caller's string over, without a copy

    // Where a record was made. Read from the calling thread at construction.
    struct Origin {
        std::string threadID;  // decimal system thread id
        std::optional<std::string> threadName;
        std::string queueLabel;  // empty off any queue
        std::uint32_t qos = 0;

        static Origin current();
    };

    LBLogMessage() = default;  // every field empty or zero, no timestamp

    // Without copyFile / copyFunction, `file` and `function` are kept as given, for as long as the call
    // that made the record (a record queued to outlive it takes copies). A missing timestamp stands for now.
    LBLogMessage(std::string message, LBLogLevel level, LBLogFlag flag, LBLogContext context, std::string_view file,
                 std::optional<std::string_view> function, std::uint64_t line, LBLogTag tag, int options = 0,
                 std::optional<foundation::Date> timestamp = std::nullopt, Origin origin = Origin::current());

    const LBLogTag& tag() const { return tag_; }
    const std::string& message() const { return message_; }
    LBLogLevel level() const { return level_; }
    LBLogFlag flag() const { return flag_; }
    LBLogContext context() const { return context_; }
    std::string_view file() const { return file_; }
    // The last path component of `file`, cut before its last ".".
    std::string_view fileName() const;
    std::optional<std::string_view> function() const { return function_; }
    std::uint64_t line() const { return line_; }
    const LBLogTag& representedObject() const { return tag_; }
    int options() const { return options_; }
    std::optional<foundation::Date> timestamp() const { return timestamp_; }
    const std::string& threadID() const { return origin_.threadID; }
    const std::optional<std::string>& threadName() const { return origin_.threadName; }
    const std::string& queueLabel() const { return origin_.queueLabel; }
    std::uint32_t qos() const { return origin_.qos; }

    // File name, thread name, options and the tag (other than as represented object) take no part.
    bool operator==(const LBLogMessage& other) const;
    std::size_t hash() const;

private:
    friend class LBMultiFormatter;  // copies a record with another text
    friend class LBLog;             // refills one record per thread for its synchronous calls

    // Makes the origin the calling thread's, copying only what changed since it was last filled.
    void takeCurrentOrigin();
    // Copies the file and function it does not own yet, so that the record may outlive the texts given.
    void ownTexts();

    std::string message_;
    LBLogLevel level_ = LBLogLevel::off;
    LBLogFlag flag_ = LBLogFlag{0};
    LBLogContext context_ = 0;
    std::string_view file_;
    std::optional<std::string_view> function_;
    std::uint64_t line_ = 0;
    LBLogTag tag_;
    int options_ = 0;
    std::optional<foundation::Date> timestamp_;
    Origin origin_;
    // Present when the record copied its file or function (both may share one); the views above point into it.
    std::shared_ptr<const std::string> ownedFile_;
    std::shared_ptr<const std::string> ownedFunction_;
};

}  // namespace logging

template <>
struct std::hash<logging::LBLogMessage> {
    std::size_t operator()(const logging::LBLogMessage& message) const { return message.hash(); }
};
