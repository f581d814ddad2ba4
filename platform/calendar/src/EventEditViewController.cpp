#include "calendar/EventEditViewController.h"

#include "foundation/DateFormatter.h"
#include "foundation/Locale.h"
#include "foundation/Print.h"
#include "gfx/Font.h"

namespace calendar {

namespace {

std::string formatted(foundation::Date date, const char* pattern) {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    formatter.setDateFormat(pattern);
    return formatter.string(date);
}

}  // namespace

std::string EventEditViewController::timesText(const Event& event) {
    return formatted(event.startDate, "EEE d MMM yyyy, HH:mm") + " \u2013 " + formatted(event.endDate, "HH:mm");
}

void EventEditViewController::viewDidLoad() {
    view()->setBackgroundColor(gfx::Color::systemBackground());
    titleLabel->setFont(gfx::Font::systemFont(22, gfx::FontWeight::bold));
    titleLabel->setNumberOfLines(0);
    titleLabel->setText(event.title);
    timesLabel->setText(timesText(event));
    locationLabel->setNumberOfLines(0);
    locationLabel->setText(event.structuredLocation ? event.structuredLocation->title : std::string());
    notesLabel->setTextColor(gfx::Color::secondaryLabel());
    notesLabel->setText(event.notes);
    errorLabel->setTextColor(gfx::Color::systemRed());
    errorLabel->setNumberOfLines(0);
    cancelButton->setTitle("Cancel", ui::ControlState::normal);
    addButton->setTitle("Add", ui::ControlState::normal);

    auto weak = std::weak_ptr<EventEditViewController>(std::static_pointer_cast<EventEditViewController>(shared_from_this()));
    cancelButton->addAction([weak](ui::Control&) { if (auto self = weak.lock()) self->cancel(); }, ui::ControlEvent::touchUpInside);
    addButton->addAction([weak](ui::Control&) { if (auto self = weak.lock()) self->add(); }, ui::ControlEvent::touchUpInside);
    for (const auto& subview : std::initializer_list<std::shared_ptr<ui::View>>{
             cancelButton, addButton, titleLabel, timesLabel, locationLabel, notesLabel, errorLabel}) {
        view()->addSubview(subview);
    }
}

void EventEditViewController::viewDidLayoutSubviews() {
    double width = view()->bounds().width();
    double inner = std::max(0.0, width - 40);
    cancelButton->setFrame({20, 16, 90, 44});
    addButton->setFrame({std::max(20.0, width - 110), 16, 90, 44});
    double y = 76;
    for (const auto& label : {titleLabel, timesLabel, locationLabel, notesLabel, errorLabel}) {
        double height = label->sizeThatFits({inner, 1000}).height;
        label->setFrame({20, y, inner, height});
        y += height + 12;
    }
}

void EventEditViewController::add() {
    if (!eventStore) {
        errorLabel->setText("No calendar to add the event to.");
        return;
    }
    auto saved = eventStore->save(event);
    if (!saved) {
        errorLabel->setText(saved.error().message);
        foundation::print("The event was not added: " + saved.error().message);
        return;
    }
    complete(EventEditViewAction::saved);
}

void EventEditViewController::cancel() { complete(EventEditViewAction::canceled); }

void EventEditViewController::complete(EventEditViewAction action) {
    if (auto delegate = editViewDelegate.lock()) delegate->eventEditViewControllerDidComplete(*this, action);
    else dismiss(true);
}

}  // namespace calendar
