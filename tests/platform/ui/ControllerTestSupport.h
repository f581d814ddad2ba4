#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foundation/Clock.h"
#include "ui/HeadlessHost.h"
#include "ui/ViewController.h"

namespace ui::testing {

// Writes its life-cycle calls into a shared log as "<name>.<call>".
class LoggingController : public ViewController {
public:
    LoggingController(std::string name, std::shared_ptr<std::vector<std::string>> log)
        : name_(std::move(name)), log_(std::move(log)) {}

    void viewDidLoad() override { log_->push_back(name_ + ".load"); }
    void viewWillAppear(bool) override { log_->push_back(name_ + ".willAppear"); }
    void viewDidAppear(bool) override { log_->push_back(name_ + ".didAppear"); }
    void viewWillDisappear(bool) override { log_->push_back(name_ + ".willDisappear"); }
    void viewDidDisappear(bool) override { log_->push_back(name_ + ".didDisappear"); }

private:
    std::string name_;
    std::shared_ptr<std::vector<std::string>> log_;
};

// A headless phone on a manual clock, with helpers that let animations run out.
class ControllerTest {
protected:
    ControllerTest() { foundation::Clock::setCurrent(clock); }
    ~ControllerTest() {
        host.window()->setRootViewController(nullptr);
        host.renderIfNeeded();
        foundation::Clock::setCurrent(nullptr);
    }

    std::shared_ptr<LoggingController> controller(const std::string& name) {
        return std::make_shared<LoggingController>(name, log);
    }
    std::shared_ptr<LoggingController> showRoot(const std::string& name) {
        auto root = controller(name);
        host.window()->setRootViewController(root);
        settle();
        return root;
    }
    // Runs the loop past any transition.
    void settle(double seconds = 0.5) {
        host.renderIfNeeded();
        clock->advance(seconds);
        host.renderIfNeeded();
        host.renderIfNeeded();
    }
    // A drag with the clock moving 16 ms a step, so recognisers see a velocity.
    void drag(Point from, Point to, int steps = 10, double stepSeconds = 0.016) {
        host.touchDown(from);
        for (int i = 1; i <= steps; ++i) {
            clock->advance(stepSeconds);
            double t = static_cast<double>(i) / steps;
            host.touchMove({from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t});
        }
        host.touchUp(to);
    }

    std::shared_ptr<foundation::ManualClock> clock = std::make_shared<foundation::ManualClock>(foundation::Date{}, 100);
    HeadlessHost host;
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
};

}  // namespace ui::testing
