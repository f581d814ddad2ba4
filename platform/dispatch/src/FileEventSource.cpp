#include "dispatch/FileEventSource.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <new>

#include "foundation/Thread.h"

namespace dispatch {

namespace {

std::error_code lastError() { return {errno, std::system_category()}; }

void closeIfOpen(int& descriptor) {
    if (descriptor >= 0) ::close(descriptor);
    descriptor = -1;
}

}  // namespace

struct FileEventSource::Descriptors {
    int file = -1;     // an O_PATH handle: lets us see the link count drop to zero on delete
    int inotify = -1;
    int stop = -1;     // an eventfd that ends the watching thread
    ~Descriptors() {
        closeIfOpen(file);
        closeIfOpen(inotify);
        closeIfOpen(stop);
    }
};

FileEventSource::Result FileEventSource::create(const std::string& path, unsigned long events,
                                                std::shared_ptr<Queue> queue) {
    int file = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (file < 0) return std::unexpected(lastError());
    return watch(file, events, std::move(queue));
}

FileEventSource::Result FileEventSource::createForDescriptor(int descriptor, unsigned long events,
                                                             std::shared_ptr<Queue> queue) {
    int file = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (file < 0) return std::unexpected(lastError());
    return watch(file, events, std::move(queue));
}

FileEventSource::Result FileEventSource::watch(int fileDescriptor, unsigned long events, std::shared_ptr<Queue> queue) {
    auto descriptors = std::make_unique<Descriptors>();
    descriptors->file = fileDescriptor;
    descriptors->inotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (descriptors->inotify < 0) return std::unexpected(lastError());
    descriptors->stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (descriptors->stop < 0) return std::unexpected(lastError());
    // The descriptor's /proc link names the file itself, so renames do not lose it.
    std::string link = "/proc/self/fd/" + std::to_string(fileDescriptor);
    // Only what was asked for: a writer watching its own file for deletion must not wake the
    // watching thread with every write.
    std::uint32_t mask = 0;
    if (events & FileEvent::write) mask |= IN_MODIFY;
    if (events & FileEvent::renamed) mask |= IN_MOVE_SELF;
    if (events & FileEvent::deleted) mask |= IN_DELETE_SELF | IN_ATTRIB;
    if (events & FileEvent::attributes) mask |= IN_ATTRIB;
    if (mask == 0) mask = IN_DELETE_SELF;  // the kernel takes no empty mask; nothing asked is delivered
    if (::inotify_add_watch(descriptors->inotify, link.c_str(), mask) < 0) {
        return std::unexpected(lastError());
    }
    try {
        return std::make_shared<FileEventSource>(std::move(descriptors), events, std::move(queue));
    } catch (const std::system_error& error) {
        return std::unexpected(error.code());  // no thread to watch with
    } catch (const std::bad_alloc&) {
        return std::unexpected(std::make_error_code(std::errc::not_enough_memory));
    }
}

FileEventSource::FileEventSource(std::unique_ptr<Descriptors> descriptors, unsigned long events,
                                 std::shared_ptr<Queue> queue)
    : Source(std::move(queue), Merge::bitwiseOr), descriptors_(std::move(descriptors)), events_(events) {
    watcher_ = std::thread([this] {
        foundation::setCurrentThreadName("dispatch-files");
        readEvents();
    });
}

FileEventSource::~FileEventSource() { cancel(); }

void FileEventSource::readEvents() {
    std::array<pollfd, 2> polled{{{descriptors_->inotify, POLLIN, 0}, {descriptors_->stop, POLLIN, 0}}};
    alignas(inotify_event) std::array<char, 4096> buffer;
    bool deletedSeen = false;
    for (;;) {
        if (::poll(polled.data(), polled.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (polled[1].revents != 0) return;
        ssize_t length = ::read(descriptors_->inotify, buffer.data(), buffer.size());
        if (length <= 0) continue;
        unsigned long happened = 0;
        for (ssize_t offset = 0; offset < length;) {
            auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
            if (event->mask & IN_MODIFY) happened |= FileEvent::write;
            if (event->mask & IN_MOVE_SELF) happened |= FileEvent::renamed;
            if (event->mask & IN_DELETE_SELF) happened |= FileEvent::deleted;
            if (event->mask & IN_ATTRIB) {
                happened |= FileEvent::attributes;
                // Our own handle keeps the inode alive, so a delete shows as the link count reaching zero.
                struct stat status {};
                if (::fstat(descriptors_->file, &status) == 0 && status.st_nlink == 0) happened |= FileEvent::deleted;
            }
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
        if (deletedSeen) happened &= ~FileEvent::deleted;
        deletedSeen = deletedSeen || (happened & FileEvent::deleted);
        if (happened & events_) signalEvent(happened & events_);
    }
}

void FileEventSource::didCancel() {
    if (!watcher_.joinable()) return;
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(descriptors_->stop, &one, sizeof one);
    watcher_.join();
    closeIfOpen(descriptors_->file);
    closeIfOpen(descriptors_->inotify);
    closeIfOpen(descriptors_->stop);
}

}  // namespace dispatch
