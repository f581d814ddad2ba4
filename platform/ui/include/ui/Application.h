#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/NotificationCenter.h"
#include "foundation/URL.h"
#include "ui/Scene.h"

namespace ui {

// What the desktop answered when it was handed a file of the app's own.
enum class DocumentOpenOutcome { opened, refused, noApplication };

// Hands web links, and files of the app's own, to something outside the app. The default starts
// xdg-open with the URL or the file as its one argument (no shell); tests install a URLOpenRecorder.
class URLOpener {
public:
    virtual ~URLOpener() = default;
    // True when the link was handed over.
    virtual bool open(const foundation::URL& url) = 0;
    // Opens the file with the desktop's default application for `mimeType` and waits for the answer.
    virtual DocumentOpenOutcome openDocument(const std::filesystem::path& file, const std::string& mimeType) = 0;
};

class XdgURLOpener final : public URLOpener {
public:
    bool open(const foundation::URL& url) override;
    // No default application for the type (xdg-mime), or no xdg-open, is `noApplication`; xdg-open
    // failing otherwise is `refused`.
    DocumentOpenOutcome openDocument(const std::filesystem::path& file, const std::string& mimeType) override;
};

class URLOpenRecorder final : public URLOpener {
public:
    bool open(const foundation::URL& url) override;
    std::vector<std::string> openedURLs() const;
    // Records the file and answers as set (opened unless told otherwise).
    DocumentOpenOutcome openDocument(const std::filesystem::path& file, const std::string& mimeType) override;
    std::vector<std::filesystem::path> openedDocuments() const;
    void answerDocumentsWith(DocumentOpenOutcome outcome);

private:
    mutable std::mutex mutex_;
    std::vector<std::string> opened_;
    std::vector<std::filesystem::path> openedDocuments_;
    DocumentOpenOutcome documentAnswer_ = DocumentOpenOutcome::opened;
};

// Null restores the xdg-open opener.
void setURLOpener(std::shared_ptr<URLOpener> opener);

class Application;

enum class ApplicationState { active, inactive, background };

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual bool didFinishLaunching(Application&) { return true; }
    virtual SceneConfiguration configurationForConnecting(Application&, const SceneSession& session) {
        return {"Default Configuration", session.role};
    }
    virtual void didDiscardSceneSessions(Application&) {}
    virtual void didBecomeActive(Application&) {}
    virtual void willResignActive(Application&) {}
    virtual void didEnterBackground(Application&) {}
    virtual void willEnterForeground(Application&) {}
    virtual void didReceiveMemoryWarning(Application&) {}
    virtual void willTerminate(Application&) {}
};

// What the application runs on: a screen, a way to show the scene's window (drawing it and sending
// it input) and the main run loop. The headless host and the SDL window host implement it.
class ApplicationHost {
public:
    virtual ~ApplicationHost() = default;
    virtual Screen screen() const = 0;
    virtual void show(const std::shared_ptr<Window>& window) = 0;
    // Turns the main run loop until stop().
    virtual void run() = 0;
    virtual void stop() = 0;
};

// The application object: its delegate, its one scene and the moves between foreground and
// background, each told to the delegates and posted on the default notification centre under the
// platform's names. Link opening: only http and https URLs leave the app; anything else is refused
// without reaching the opener; the completion, if any, runs on the main run loop with the outcome.
class Application {
public:
    static inline const foundation::Notification::Name didFinishLaunchingNotification{"UIApplicationDidFinishLaunchingNotification"};
    static inline const foundation::Notification::Name didBecomeActiveNotification{"UIApplicationDidBecomeActiveNotification"};
    static inline const foundation::Notification::Name willResignActiveNotification{"UIApplicationWillResignActiveNotification"};
    static inline const foundation::Notification::Name didEnterBackgroundNotification{"UIApplicationDidEnterBackgroundNotification"};
    static inline const foundation::Notification::Name willEnterForegroundNotification{"UIApplicationWillEnterForegroundNotification"};
    static inline const foundation::Notification::Name didReceiveMemoryWarningNotification{"UIApplicationDidReceiveMemoryWarningNotification"};
    static inline const foundation::Notification::Name willTerminateNotification{"UIApplicationWillTerminateNotification"};

    static Application& shared();

    const std::shared_ptr<ApplicationDelegate>& delegate() const { return delegate_; }
    ApplicationState applicationState() const { return state_; }
    const std::vector<std::shared_ptr<Scene>>& connectedScenes() const { return scenes_; }
    std::vector<std::shared_ptr<Window>> windows() const;
    std::shared_ptr<Window> keyWindow() const { return Window::keyWindow(); }

    using AppDelegateFactory = std::function<std::shared_ptr<ApplicationDelegate>()>;
    using SceneDelegateFactory = std::function<std::shared_ptr<SceneDelegate>()>;
    // The launch: the delegate's didFinishLaunching, the scene's configuration, the scene delegate's
    // willConnectTo (which makes and shows the window), the host showing that window, then the
    // scene entering the foreground and becoming active. Replaces any earlier launch.
    void launch(const AppDelegateFactory& appDelegate, const SceneDelegateFactory& sceneDelegate,
                ApplicationHost& host);

    // Moves the host reports. Losing and regaining focus only resign and restore activity;
    // entering the background resigns first, entering the foreground becomes active after.
    void resignActive();
    void becomeActive();
    void enterBackground();
    void enterForeground();
    void receiveMemoryWarning();
    // Tells the delegate and stops the host's run loop.
    void terminate();

    static bool canOpenURL(const foundation::URL& url);
    static void open(const foundation::URL& url, std::function<void(bool success)> completion = nullptr);
    // Hands an existing regular file to the desktop's default application for its type and gives the
    // answer; anything else is refused without reaching the opener. Blocks until the desktop answers:
    // call it off the main thread.
    static DocumentOpenOutcome openDocument(const std::filesystem::path& file, const std::string& mimeType);

private:
    Application() = default;
    void post(const foundation::Notification::Name& name);

    std::shared_ptr<ApplicationDelegate> delegate_;
    std::vector<std::shared_ptr<Scene>> scenes_;
    ApplicationHost* host_ = nullptr;
    ApplicationState state_ = ApplicationState::inactive;
};

// Launches over the host and runs its main loop until the application terminates; 0 then.
int applicationMain(const Application::AppDelegateFactory& appDelegate,
                    const Application::SceneDelegateFactory& sceneDelegate, ApplicationHost& host);

}  // namespace ui
