#pragma once

#include <memory>
#include <mutex>
#include <vector>

namespace ui {

enum class ImpactFeedbackStyle { light, medium, heavy, soft, rigid };

struct HapticEvent {
    ImpactFeedbackStyle style = ImpactFeedbackStyle::medium;
    double intensity = 1;
};

// Where impacts go. The desktop has no haptics, so nothing is installed by default; tests install a
// HapticRecorder and read what was played.
class HapticSink {
public:
    virtual ~HapticSink() = default;
    virtual void play(const HapticEvent& event) = 0;
};

class HapticRecorder final : public HapticSink {
public:
    void play(const HapticEvent& event) override;
    std::vector<HapticEvent> events() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<HapticEvent> events_;
};

// Null turns haptics off.
void setHapticSink(std::shared_ptr<HapticSink> sink);

class ImpactFeedbackGenerator {
public:
    explicit ImpactFeedbackGenerator(ImpactFeedbackStyle style = ImpactFeedbackStyle::medium) : style_(style) {}
    void prepare() {}
    void impactOccurred() { impactOccurred(1); }
    // Intensity from 0 to 1.
    void impactOccurred(double intensity);

private:
    ImpactFeedbackStyle style_;
};

}  // namespace ui
