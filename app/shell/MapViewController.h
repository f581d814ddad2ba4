#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/GlobalStruct.h"
#include "data/RaceModels.h"
#include "dispatch/Task.h"
#include "data/Client.h"
#include "foundation/Notification.h"
#include "gfx/Image.h"
#include "map/MapView.h"
#include "shell/RaceTiming.h"
#include "ui/Button.h"
#include "ui/SheetPresentationController.h"
#include "ui/ViewController.h"

// The home screen: the season's circuits on a full-screen map under the season sheet, which it
// presents once, as it first appears, and keeps. It is the one writer of GlobalStruct's races and meetings: a load per
// start-up or year pick, each holding a SeasonLoad ticket so only the newest pick's answers land.
class MapViewController : public ui::ViewController,
                          public map::MapViewDelegate,
                          public ui::SheetPresentationControllerDelegate {
public:
    // Where the two documents come from: the season's calendar (no year: the current season) and a
    // year's live-timing index. The network's by default; tests hand in their own.
    struct SeasonReads {
        std::function<dispatch::Task<Loaded>(std::optional<int> year)> season;
        std::function<dispatch::Task<Loaded>(std::string year)> index;

        static SeasonReads network();
    };
    // What presentSeasonSheet() presents; none means a SeasonViewController.
    using SeasonSheetFactory = std::function<std::shared_ptr<ui::ViewController>()>;

    static constexpr double pinSpanDegrees = 54;
    static constexpr double smallDetentHeight = 220;
    static constexpr double smallDetentMapMargin = 225;

    MapViewController();
    ~MapViewController() override;

    // True while the route button is on; app-wide, as the button floats above every screen.
    static bool& routeIsShown();

    void setSeasonReads(SeasonReads reads) { reads_ = std::move(reads); }
    void setSeasonSheetFactory(SeasonSheetFactory factory) { makeSeasonSheet_ = std::move(factory); }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidLayoutSubviews() override;

    void configureMap();
    void configureRouteToggle();
    void toggleRoute();
    void zoomToUpcomingRace();
    void selectedRace(const foundation::Notification& notification);
    void drawRoute();
    void removeRoute();
    void presentSeasonSheet();
    void sheetPresentationControllerDidChangeSelectedDetentIdentifier(ui::SheetPresentationController& sheet) override;
    void changedYear(const foundation::Notification& notification);

    // Starts one load in a task of its own: the season (no year: the current one), then the
    // live-timing index of the season that load put on screen.
    void loadSeasonAndIndex(std::optional<std::string> year);
    // The scene delegate calls this when the scene becomes active: with no season shown yet and no
    // load running (the first load failed), the start-up load runs again.
    void retryIfSeasonMissing();

    // Reads and decodes a season (no year: the current one; a text that is no number: 2023) and, when
    // `load` is still the newest ticket, stores and shows it. True when that season is now shown.
    dispatch::Task<bool> loadSeason(SeasonLoad load, std::optional<std::string> year);
    // The index of `year` for the season `load` showed; kept only while the ticket is the newest.
    dispatch::Task<void> loadMeetings(SeasonLoad load, std::string year);

    void addRacePins(const std::vector<RacesDetailsModel>& races);
    // The base image with `text` painted at `origin` (12-point bold white), at the screen's scale.
    static std::shared_ptr<gfx::Image> drawRoundNumber(const std::string& text, const std::shared_ptr<gfx::Image>& image,
                                                       gfx::Point origin);

    std::shared_ptr<map::AnnotationView> viewFor(map::MapView& mapView,
                                                 const std::shared_ptr<map::Annotation>& annotation) override;
    void didSelect(map::MapView& mapView, const std::shared_ptr<map::AnnotationView>& view) override;
    std::shared_ptr<map::OverlayRenderer> rendererFor(map::MapView& mapView,
                                                      const std::shared_ptr<map::Overlay>& overlay) override;

    const std::shared_ptr<map::MapView>& mapView() const { return mapView_; }
    const std::shared_ptr<ui::Button>& routeToggle() const { return routeToggle_; }
    const std::vector<map::Location>& routeCoordinates() const { return routeCoordinates_; }
    const std::shared_ptr<map::Overlay>& routeOverlay() const { return routeOverlay_; }
    int upcomingRaceIndex() const { return upcomingRaceIndex_; }
    // The season sheet once presented.
    std::shared_ptr<ui::ViewController> seasonSheet() const { return seasonSheet_.lock(); }
    bool isLoading() const { return loadsRunning_ > 0; }

private:
    bool isPad() const;
    // The map's bottom margin for the sheet's detent on a phone, at the view's present height.
    double sheetMargin() const;
    void setRouteSymbol(bool filled);
    void keepRouteToggleOnTop();
    // Zooms to race `index`'s circuit at the pin span and selects its pin.
    void showRace(std::size_t index);
    // A pin belongs to the first race named as its title.
    std::optional<std::size_t> raceIndexOf(const std::shared_ptr<map::Annotation>& pin) const;

    int upcomingRaceIndex_ = 0;
    bool doneLoopForIntroZoom_ = false;
    std::shared_ptr<map::MapView> mapView_ = std::make_shared<map::MapView>();
    std::shared_ptr<ui::Button> routeToggle_ = ui::Button::make();
    std::vector<map::Location> routeCoordinates_;
    // Of the races the pins stand for.
    SeasonTiming timing_;
    // For each race, the first of its name: the race its pin stands for.
    std::vector<std::size_t> firstOfName_;
    std::shared_ptr<map::Overlay> routeOverlay_;

    SeasonReads reads_ = SeasonReads::network();
    SeasonSheetFactory makeSeasonSheet_;  // none: a SeasonViewController
    std::weak_ptr<ui::ViewController> seasonSheet_;
    std::optional<ui::SheetDetent::Identifier> sheetDetent_;
    bool seasonShown_ = false;
    int loadsRunning_ = 0;
};
