#pragma once

#include <expected>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "dispatch/Source.h"

namespace dispatch {

// What happened to a watched file; data() in the event handler holds these flags.
namespace FileEvent {
constexpr unsigned long write = 1;       // contents changed
constexpr unsigned long deleted = 2;     // its last name was removed
constexpr unsigned long renamed = 4;     // moved or renamed
constexpr unsigned long attributes = 8;  // metadata changed
}  // namespace FileEvent

// Watches one file (the file itself, through renames, not its name) with inotify and delivers the
// requested events on a queue. Created suspended: resume() to start it. Cancelling closes its
// descriptors and stops its watching thread.
class FileEventSource final : public Source {
public:
    using Result = std::expected<std::shared_ptr<FileEventSource>, std::error_code>;

    static Result create(const std::string& path, unsigned long events, std::shared_ptr<Queue> queue);
    // Watches the file open at `descriptor`; the caller keeps its own descriptor.
    static Result createForDescriptor(int descriptor, unsigned long events, std::shared_ptr<Queue> queue);
    ~FileEventSource() override;

    struct Descriptors;
    FileEventSource(std::unique_ptr<Descriptors> descriptors, unsigned long events, std::shared_ptr<Queue> queue);

private:
    static Result watch(int fileDescriptor, unsigned long events, std::shared_ptr<Queue> queue);
    void readEvents();
    void didCancel() override;

    std::unique_ptr<Descriptors> descriptors_;
    const unsigned long events_;
    std::thread watcher_;
};

}  // namespace dispatch
