#include "ui/MemoryPressureMonitor.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "ui/Application.h"

namespace ui {

MemoryPressureMonitor::MemoryPressureMonitor(Reader reader, double thresholdPercent)
    : reader_(std::move(reader)), threshold_(thresholdPercent) {}

MemoryPressureMonitor::~MemoryPressureMonitor() { stop(); }

MemoryPressureMonitor::Reader MemoryPressureMonitor::readKernelPressure() {
    return []() -> std::optional<std::string> {
        std::ifstream file("/proc/pressure/memory");
        if (!file) return std::nullopt;
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    };
}

std::optional<double> MemoryPressureMonitor::someAverage10(std::string_view text) {
    // A line reads "some avg10=0.00 avg60=0.00 avg300=0.00 total=0".
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.starts_with("some ")) continue;
        constexpr std::string_view field = "avg10=";
        const auto start = line.find(field);
        if (start == std::string_view::npos) return std::nullopt;
        const auto* first = line.data() + start + field.size();
        double value = 0;
        auto [rest, error] = std::from_chars(first, line.data() + line.size(), value);
        if (error != std::errc() || rest == first || !(value >= 0)) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

bool MemoryPressureMonitor::poll() {
    const auto text = reader_ ? reader_() : std::nullopt;
    const auto average = text ? someAverage10(*text) : std::nullopt;
    if (!average) return false;
    if (*average < threshold_ / 2) warned_ = false;
    if (*average < threshold_ || warned_) return false;
    warned_ = true;
    Application::shared().receiveMemoryWarning();
    return true;
}

void MemoryPressureMonitor::start(double interval) {
    stop();
    timer_ = dispatch::Timer::scheduledTimer(interval, true, [this](dispatch::Timer&) { poll(); });
}

void MemoryPressureMonitor::stop() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

}  // namespace ui
