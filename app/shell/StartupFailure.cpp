#include "shell/StartupFailure.h"

#include "gfx/Color.h"
#include "gfx/Font.h"
#include "ui/Application.h"
#include "ui/VisualFormat.h"
#include "ui/Window.h"

void StartupFailureViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::systemBackground());
    titleLabel->setText("Sorvane could not start");
    titleLabel->setFont(gfx::Font::systemFont(22, gfx::FontWeight::bold));
    titleLabel->setNumberOfLines(0);
    messageLabel->setText(message_);
    messageLabel->setFont(gfx::Font::systemFont(17));
    messageLabel->setNumberOfLines(0);
    hintLabel->setText("Close this window to quit.");
    hintLabel->setFont(gfx::Font::systemFont(15));
    hintLabel->setTextColor(gfx::Color::secondaryLabel());
    hintLabel->setNumberOfLines(0);
    ui::VisualFormatViews views{{"title", titleLabel}, {"message", messageLabel}, {"hint", hintLabel}};
    for (const auto& label : {titleLabel, messageLabel, hintLabel}) {
        label->setTranslatesAutoresizingMaskIntoConstraints(false);
        view()->addSubview(label);
    }
    for (const char* format : {"H:|-24-[title]-24-|", "H:|-24-[message]-24-|", "H:|-24-[hint]-24-|",
                               "V:|-96-[title]-16-[message]-24-[hint]-(>=24)-|"}) {
        if (auto constraints = ui::constraintsWithVisualFormat(format, {}, views)) view()->addConstraints(*constraints);
    }
}

void StartupFailureViewController::viewWillDisappear(bool animated) {
    ui::ViewController::viewWillDisappear(animated);
    closing_ = isBeingDismissed();
}

void StartupFailureViewController::viewDidDisappear(bool animated) {
    ui::ViewController::viewDidDisappear(animated);
    // Closed, the app has nothing else to show.
    if (closing_) ui::Application::shared().terminate();
}

void StartupFailureSceneDelegate::willConnectTo(ui::Scene& scene, const ui::SceneSession&) {
    auto* windowScene = dynamic_cast<ui::WindowScene*>(&scene);
    if (!windowScene) return;
    if (!window)
        window = std::make_shared<ui::Window>(std::static_pointer_cast<ui::WindowScene>(windowScene->shared_from_this()));
    auto root = std::make_shared<ui::ViewController>();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    root->view()->setBackgroundColor(gfx::Color::systemBackground());
    auto message = std::make_shared<StartupFailureViewController>(message_);
    message->setModalPresentationStyle(ui::ModalPresentationStyle::fullScreen);
    root->present(message, false);
}
