#pragma once

#include <memory>
#include <string>

#include "ui/Label.h"
#include "ui/Scene.h"
#include "ui/ViewController.h"

// A start that fails (an unreadable data folder, a bad setting) says why in the window too: started
// from a desktop menu, nobody reads standard error. The window stays until the user closes it. The
// message is presented over the window's root, so Escape (and Ctrl+W) closes it as it closes the
// top-most thing everywhere else; once it is dismissed, the app ends.
class StartupFailureViewController final : public ui::ViewController {
public:
    explicit StartupFailureViewController(std::string message) : message_(std::move(message)) {}

    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    std::shared_ptr<ui::Label> titleLabel = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> messageLabel = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> hintLabel = std::make_shared<ui::Label>();

private:
    std::string message_;
    bool closing_ = false;  // dismissed, not merely covered
};

// The scene of such a start: the message on a window of its own.
class StartupFailureSceneDelegate final : public ui::SceneDelegate {
public:
    explicit StartupFailureSceneDelegate(std::string message) : message_(std::move(message)) {}
    void willConnectTo(ui::Scene& scene, const ui::SceneSession& session) override;

private:
    std::string message_;
};
