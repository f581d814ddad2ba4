#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/URL.h"

namespace ui {

// Hands web links to something outside the app. The default starts xdg-open with the URL as its one
// argument (no shell); tests install a URLOpenRecorder.
class URLOpener {
public:
    virtual ~URLOpener() = default;
    // True when the link was handed over.
    virtual bool open(const foundation::URL& url) = 0;
};

class XdgURLOpener final : public URLOpener {
public:
    bool open(const foundation::URL& url) override;
};

class URLOpenRecorder final : public URLOpener {
public:
    bool open(const foundation::URL& url) override;
    std::vector<std::string> openedURLs() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> opened_;
};

// Null restores the xdg-open opener.
void setURLOpener(std::shared_ptr<URLOpener> opener);

// The application object's link opening: only http and https URLs leave the app; anything else is
// refused without reaching the opener. The completion, if any, runs on the main run loop with the
// outcome.
class Application {
public:
    static bool canOpenURL(const foundation::URL& url);
    static void open(const foundation::URL& url, std::function<void(bool success)> completion = nullptr);
};

}  // namespace ui
