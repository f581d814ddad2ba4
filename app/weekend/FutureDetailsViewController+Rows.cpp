#include "cells/CircuitDetailsCell.h"
#include "cells/DetailHeaderCell.h"
#include "cells/EventPickerCell.h"
#include "cells/RemindersCell.h"
#include "cells/TicketsCell.h"
#include "cells/WeekendCell.h"
#include "foundation/URL.h"
#include "gfx/Font.h"
#include "shell/ImageSeam.h"
#include "shell/Utilities.h"
#include "standings-news/SheetRows.h"
#include "ui/Application.h"
#include "ui/AssetCatalog.h"
#include "ui/Feedback.h"
#include "weekend/DetailCards.h"
#include "weekend/FutureDetailsViewController.h"
#include "weekend/SelectedSession.h"

namespace {

double bodySize() { return gfx::Font::preferredFont(gfx::TextStyle::body).pointSize(); }

// A coloured banner row: no separator inset, no selection colour.
void styleBanner(ui::TableViewCell& cell, gfx::Color colour) { styleRow(cell, colour, gfx::Color::clear()); }

}  // namespace

const circuitDetailsOverviewModel* FutureDetailsViewController::circuitFacts() const {
    return races.empty() ? nullptr : circuitFactsFor(allCircuits, races[0].circuit);
}

std::shared_ptr<ui::TableViewCell> FutureDetailsViewController::cellForRow(ui::TableView& table, ui::IndexPath indexPath) {
    if (races.empty()) return nullptr;
    const RacesDetailsModel& race = races[0];
    auto weak = std::weak_ptr<FutureDetailsViewController>(self());
    auto wire = [&](ui::Button& button, const std::string& title, void (FutureDetailsViewController::*action)()) {
        button.setTag(0);
        button.setTitle(title, ui::ControlState::normal);
        button.removeAllActions();
        button.addAction([weak, action](ui::Control&) { if (auto screen = weak.lock()) ((*screen).*action)(); },
                         ui::ControlEvent::touchUpInside);
    };

    switch (indexPath.section) {
        case 0: {
            auto cell = table.dequeueReusableCell<DetailHeaderCell>(DetailHeaderCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            cell->race->setText(race.raceName);
            cell->circuit->setText(race.circuit.circuitName);
            cell->location->setText(race.circuit.location.locality + ", " + race.circuit.location.country);
            cell->time->setText(headerTimeText());
            styleBanner(*cell, gfx::Color::systemBlue());
            return cell;
        }
        case 1: {
            auto cell = table.dequeueReusableCell<EventPickerCell>(EventPickerCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            double titleSize = gfx::Font::preferredFont(gfx::TextStyle::title2).pointSize() - 2;
            gfx::TextAttributes attributes;
            attributes.font = gfx::Font::systemFont(titleSize, gfx::FontWeight::semibold);
            attributes.foregroundColor = gfx::Color::white();
            gfx::AttributedString title(sessionName() + " ", attributes);
            title.appendAttachment(symbolAttachment("chevron.down", bodySize() - 4, gfx::FontWeight::bold,
                                                    gfx::Color::white().withAlphaComponent(0.3)));
            cell->event->setAttributedTitle(std::move(title), ui::ControlState::normal);

            auto menu = std::make_shared<ui::Menu>();
            const char* names[] = {"Race", "Qualifying", weekend::hasThirdPractice(race) ? "Practice 3" : "Sprint", "Practice 2",
                                   "Practice 1"};
            for (int index = 0; index < 5; ++index) {
                menu->children.push_back(ui::MenuAction{
                    .title = names[index],
                    .image = nullptr,
                    .state = eventType == index ? ui::MenuElementState::on : ui::MenuElementState::off,
                    .handler = [weak, index](const ui::MenuAction&) { if (auto screen = weak.lock()) screen->selectEventType(index); },
                });
            }
            cell->event->setMenu(menu);
            cell->event->setShowsMenuAsPrimaryAction(true);
            cell->title->setText(countdownText());
            styleBanner(*cell, ui::namedColor("duskyBlue").value_or(gfx::Color::systemIndigo()));
            return cell;
        }
        case 2: {
            auto cell = table.dequeueReusableCell<CircuitDetailsCell>(CircuitDetailsCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            fillCircuitTitles(*cell);
            const circuitDetailsOverviewModel* facts = circuitFacts();
            fillCircuitFigures(*cell, facts, "1");
            // Without the circuit's facts there is no map to ask for.
            if (facts) {
                setRemoteImage(cell->circuitImage, circuitMapURL(facts->name));
            }
            bool record = facts && facts->record.driver != "--";
            cell->record->setText(record ? facts->record.time : "0");
            cell->recordTitle->setAttributedText(symbolTitle(
                "clock", record ? " Fastest lap set by " + facts->record.driver + " (" + facts->record.year + ")"
                                : " No lap record set yet"));
            styleCard(*cell);
            return cell;
        }
        case 3: {
            std::string title = sessionName() + " Alerts";
            std::string description = alertsDescription();
            if (reminderSet) {
                auto cell = table.dequeueReusableCell<RemoveRemindersCell>(RemoveRemindersCell::reuseIdentifier, indexPath);
                if (!cell) return cell;
                cell->infoTitle->setText(title);
                cell->infoDescription->setText(description);
                wire(*cell->calendar, "Add to Calendar", &FutureDetailsViewController::calendarTap);
                wire(*cell->notifications1, "Remove Reminder", &FutureDetailsViewController::removeReminderTap);
                styleCard(*cell);
                return cell;
            }
            auto cell = table.dequeueReusableCell<RemindersCell>(RemindersCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            cell->infoTitle->setText(title);
            cell->infoDescription->setText(description);
            wire(*cell->calendar, "Add to Calendar", &FutureDetailsViewController::calendarTap);
            wire(*cell->notifications1, "30 Mins Alert", &FutureDetailsViewController::reminder1Tap);
            wire(*cell->notifications2, "1 Hour Alert", &FutureDetailsViewController::reminder2Tap);
            styleCard(*cell);
            return cell;
        }
        case 4: {
            auto cell = table.dequeueReusableCell<ExternalLinksCell>(ExternalLinksCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            cell->infoTitle->setText("Extras");
            cell->infoDescription->setText(linkFailure.value_or("More options to enhance your race experience"));
            wire(*cell->watch, "Where to Watch", &FutureDetailsViewController::watchTap);
            wire(*cell->tickets, "Book Tickets", &FutureDetailsViewController::bookTicketsTap);
            styleCard(*cell);
            return cell;
        }
        default: {
            if (indexPath.row == 0) {
                auto cell = table.dequeueReusableCell<WeekendHeaderCell>(WeekendHeaderCell::reuseIdentifier, indexPath);
                if (!cell) return cell;
                fillWeekendHeader(*cell, race.raceName);
                styleCard(*cell, false);
                return cell;
            }
            auto cell = table.dequeueReusableCell<WeekendCell>(WeekendCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            if (indexPath.row < static_cast<int>(weekendStructure.size())) fillWeekendRow(*cell, weekendStructure[indexPath.row]);
            styleCard(*cell, false);
            return cell;
        }
    }
}

void FutureDetailsViewController::didSelectRow(ui::TableView& table, ui::IndexPath indexPath) {
    table.deselectRow(indexPath, true);
}

void FutureDetailsViewController::openExtra(const std::string& address, const std::string& what) {
    ui::ImpactFeedbackGenerator(ui::ImpactFeedbackStyle::rigid).impactOccurred();
    linkFailure.reset();
    auto weak = std::weak_ptr<FutureDetailsViewController>(self());
    openLink(address, what, [weak](std::optional<std::string> failure) {
        auto screen = weak.lock();
        if (!screen) return;
        screen->linkFailure = std::move(failure);
        screen->reloadTables();
    });
}

void FutureDetailsViewController::watchTap() {
    openExtra("https://www.formula1.com/en/toolbar/broadcast-information.html", "where to watch");
}

void FutureDetailsViewController::bookTicketsTap() { openExtra("https://tickets.formula1.com/", "the ticket shop"); }
