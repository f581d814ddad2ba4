#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "foundation/Clock.h"
#include "foundation/Data.h"
#include "gfx/Image.h"

namespace pictura::testing {

// A fresh folder under the temporary directory, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pictura-cache-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Makes `file` impossible to remove: its folder read-only for an ordinary user, the file immutable
// for root. False when neither works here.
class Unremovable {
public:
    explicit Unremovable(std::filesystem::path file) : file_(std::move(file)) {
        if (::geteuid() != 0) {
            std::filesystem::permissions(file_.parent_path(), std::filesystem::perms::owner_read |
                                                                  std::filesystem::perms::owner_exec);
            folderLocked_ = true;
            return;
        }
        immutable_ = setImmutable(true);
    }
    ~Unremovable() {
        if (folderLocked_) std::filesystem::permissions(file_.parent_path(), std::filesystem::perms::owner_all);
        if (immutable_) setImmutable(false);
    }
    bool works() const { return folderLocked_ || immutable_; }

private:
    bool setImmutable(bool on) {
        const int fd = ::open(file_.c_str(), O_RDONLY);
        if (fd < 0) return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
    }
    std::filesystem::path file_;
    bool folderLocked_ = false;
    bool immutable_ = false;
};

// An opaque picture of `width` x `height` pixels whose colour changes across it.
inline std::shared_ptr<gfx::Image> gradientImage(int width, int height, double scale = 1) {
    auto bitmap = gfx::Bitmap::make(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            auto* pixel = &bitmap.pixels[static_cast<std::size_t>(y) * bitmap.stride + x * 4];
            pixel[0] = static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1));
            pixel[1] = static_cast<std::uint8_t>(y * 255 / std::max(1, height - 1));
            pixel[2] = static_cast<std::uint8_t>((x + y) & 0xFF);
            pixel[3] = 255;
        }
    return gfx::Image::fromBitmap(std::move(bitmap), scale);
}

// A clock that moves only when told to, for as long as the guard lives. Started at an uptime before
// every deadline already set, its own deadlines come first.
struct ClockGuard {
    explicit ClockGuard(double uptime = foundation::Clock::current()->uptime())
        : clock(std::make_shared<foundation::ManualClock>(foundation::Date::now(), uptime)) {
        foundation::Clock::setCurrent(clock);
    }
    ~ClockGuard() { foundation::Clock::setCurrent(nullptr); }
    foundation::ManualClock* operator->() const { return clock.get(); }
    std::shared_ptr<foundation::ManualClock> clock;
};

// Polls `done` for up to ten seconds of real time (a manual clock may stand still), without the run loop.
inline bool eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 10000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

}  // namespace pictura::testing
