#pragma once

#include <memory>
#include <string>

#include "calendar/Event.h"
#include "calendar/EventStore.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/ViewController.h"

namespace calendar {

enum class EventEditViewAction { canceled, saved, deleted };

class EventEditViewController;

class EventEditViewDelegate {
public:
    virtual ~EventEditViewDelegate() = default;
    // The delegate dismisses the sheet.
    virtual void eventEditViewControllerDidComplete(EventEditViewController& controller, EventEditViewAction action) = 0;
};

// The sheet that shows an event before it is added: its title, times, place and notes, with "Cancel"
// and "Add". Adding saves the event to the store; only then is the delegate told it was saved. A save
// that fails shows why and keeps the sheet open.
class EventEditViewController : public ui::ViewController {
public:
    Event event;
    std::shared_ptr<EventStore> eventStore;
    std::weak_ptr<EventEditViewDelegate> editViewDelegate;

    std::shared_ptr<ui::Label> titleLabel = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> timesLabel = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> locationLabel = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> notesLabel = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> errorLabel = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Button> cancelButton = std::make_shared<ui::Button>(ui::ButtonType::system);
    std::shared_ptr<ui::Button> addButton = std::make_shared<ui::Button>(ui::ButtonType::system);

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    void add();
    void cancel();

    // "Sun 7 May 2023, 21:30 – 00:30" in the device's zone.
    static std::string timesText(const Event& event);

private:
    void complete(EventEditViewAction action);
};

}  // namespace calendar
