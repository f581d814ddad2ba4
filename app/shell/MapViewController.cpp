#include "shell/MapViewController.h"

#include <charconv>
#include <algorithm>
#include <system_error>

#include "data/Decoding.h"
#include "data/ResultsEndpoints.h"
#include "dispatch/Queue.h"
#include "foundation/FileManager.h"
#include "foundation/JSONDecoder.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Print.h"
#include "gfx/AttributedString.h"
#include "gfx/ImageRenderer.h"
#include "gfx/SymbolImages.h"
#include "gfx/TextLayout.h"
#include "livetiming/EventsModel.h"
#include "livetiming/LiveTiming.h"
#include "livetiming/SeasonIndex.h"
#include "shell/AppNotifications.h"
#include "shell/RaceTiming.h"
#include "shell/SeasonViewController.h"
#include "shell/Utilities.h"
#include "ui/AssetCatalog.h"
#include "ui/Feedback.h"
#include "ui/Scene.h"

namespace {

constexpr const char* pinReuseIdentifier = "Race";
constexpr const char* routeSymbol = "point.topleft.down.curvedto.point.bottomright.up";
constexpr const char* routeSymbolFilled = "point.topleft.down.curvedto.point.bottomright.up.fill";
constexpr int fallbackSeason = 2023;

// The whole text as a number, or nothing ("12abc" and "" are not numbers).
template <class Number>
std::optional<Number> wholeNumber(std::string_view text) {
    Number value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

map::Coordinate coordinateOf(const RacesDetailsModel& race) {
    const Location& location = race.circuit.location;
    return {wholeNumber<double>(location.lat).value_or(0), wholeNumber<double>(location.long_).value_or(0)};
}

void playRigidImpact() { ui::ImpactFeedbackGenerator(ui::ImpactFeedbackStyle::rigid).impactOccurred(); }

std::shared_ptr<ui::ViewController> makeSeasonSheet() { return std::make_shared<SeasonViewController>(); }

// A race's pin knows its place in the race list, so no pin is looked up by its race's name (a name of
// megabytes would be copied and compared at every look-up).
class RacePin final : public map::PointAnnotation {
public:
    RacePin(map::Coordinate coordinate, std::string title, std::string subtitle, std::size_t race)
        : map::PointAnnotation(coordinate, std::move(title), std::move(subtitle)), race(race) {}
    const std::size_t race;
};

}  // namespace

MapViewController::SeasonReads MapViewController::SeasonReads::network() {
    return {
        [](std::optional<int> year) { return year ? RaceSchedules::specificSeason(*year) : RaceSchedules::currentSeason(); },
        [](std::string year) { return LiveTiming::all(std::move(year)); },
    };
}

MapViewController::MapViewController() = default;

MapViewController::~MapViewController() = default;

bool& MapViewController::routeIsShown() {
    static bool shown = false;
    return shown;
}

void MapViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::systemBackground());

    auto self = std::static_pointer_cast<MapViewController>(shared_from_this());
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(self, notifications::selectedRace, &MapViewController::selectedRace);
    center.addObserver(self, notifications::changedYear, &MapViewController::changedYear);

    configureMap();
    configureRouteToggle();
    loadSeasonAndIndex(std::nullopt);
}

void MapViewController::viewDidAppear(bool animated) {
    ui::ViewController::viewDidAppear(animated);
    // The sheet comes up with the map rather than with the season, so what it reads for itself (the
    // news) never waits on a slow calendar; the season fills it when it arrives.
    presentSeasonSheet();
}

bool MapViewController::isPad() const { return traitCollection().userInterfaceIdiom == ui::UserInterfaceIdiom::pad; }

double MapViewController::sheetMargin() const {
    double height = viewIfLoaded() ? viewIfLoaded()->bounds().height() : 0;
    if (sheetDetent_ == ui::SheetDetent::largeIdentifier) return height;
    if (sheetDetent_ == ui::SheetDetent::mediumIdentifier) return height / 2;
    return smallDetentMapMargin;
}

void MapViewController::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    keepRouteToggleOnTop();
    auto shown = view();
    ui::Rect bounds = shown->bounds();
    mapView_->setFrame({0, 0, bounds.width(), bounds.height()});

    if (isPad()) {
        mapView_->setLayoutMargins({0, 0, 0, 0});
        routeToggle_->setFrame({bounds.width() - 56, bounds.height() - shown->safeAreaInsets().bottom - 64, 36, 36});
        return;
    }
    // The margin keeps following the sheet's detent through later layout passes.
    mapView_->setLayoutMargins({0, 0, sheetMargin(), 0});
    double statusBarHeight = 0;
    if (auto window = Utilities::getKeyWindow()) {
        if (auto scene = window->windowScene()) {
            if (auto statusBar = scene->statusBarManager()) statusBarHeight = statusBar->statusBarFrame.height();
        }
    }
    routeToggle_->setFrame({bounds.width() - 56, 17 + statusBarHeight, 36, 36});
}

void MapViewController::keepRouteToggleOnTop() {
    // The button joins the navigation controller's view before the map's own view does, which the
    // controller then puts above it: bring it back over the map once that view is in place.
    auto host = routeToggle_->superview();
    if (host && host->subviews().back() != routeToggle_) host->bringSubviewToFront(routeToggle_);
}

void MapViewController::configureMap() {
    mapView_->setDelegate(std::static_pointer_cast<MapViewController>(shared_from_this()));
    mapView_->setMapType(map::MapType::hybridFlyover);
    mapView_->setShowsCompass(false);
    // The map opens where it did last time: its tiles come from the disk rather than being drawn.
    mapView_->baseMapTiles()->setDiskFolder(foundation::FileManager::defaultManager()->cachesDirectory() / "map-tiles");
    view()->addSubview(mapView_);
}

void MapViewController::setRouteSymbol(bool filled) {
    gfx::SymbolConfiguration configuration{.pointSize = 14, .weight = gfx::FontWeight::semibold};
    double scale = ui::Screen::main().scale;
    auto symbol = gfx::symbolImage(filled ? routeSymbolFilled : routeSymbol, configuration, gfx::Color::label(), scale);
    routeToggle_->setImage(symbol ? gfx::Image::fromBitmap(std::move(symbol->bitmap), symbol->scale) : nullptr,
                           ui::ControlState::normal);
}

void MapViewController::configureRouteToggle() {
    setRouteSymbol(false);
    routeToggle_->setBackgroundColor(gfx::Color::systemGray4());
    routeToggle_->layer()->setCornerRadius(18);
    std::weak_ptr<MapViewController> weak = std::static_pointer_cast<MapViewController>(shared_from_this());
    routeToggle_->addAction(
        [weak](ui::Control&) {
            if (auto self = weak.lock()) self->toggleRoute();
        },
        ui::ControlEvent::touchUpInside);

    // Above the map and above the navigation controller's view, on the top-most presented screen.
    auto window = Utilities::getKeyWindow();
    if (!window || !window->rootViewController()) return;
    auto top = ui::topPresentedController(window->rootViewController());
    if (auto host = top->viewIfLoaded()) host->addSubview(routeToggle_);
}

void MapViewController::toggleRoute() {
    playRigidImpact();
    bool& shown = routeIsShown();
    shown = !shown;
    setRouteSymbol(shown);
    if (shown) {
        drawRoute();
    } else {
        removeRoute();
    }
}

void MapViewController::drawRoute() {
    if (routeCoordinates_.empty()) {
        foundation::print("no coordinates to draw");
        return;
    }
    std::vector<map::Coordinate> coordinates;
    coordinates.reserve(routeCoordinates_.size());
    for (const map::Location& location : routeCoordinates_) coordinates.push_back(location.coordinate);
    std::weak_ptr<MapViewController> weak = std::static_pointer_cast<MapViewController>(shared_from_this());
    dispatch::Queue::main()->async([weak, coordinates = std::move(coordinates)] {
        auto self = weak.lock();
        if (!self) return;
        auto line = map::Polyline::make(coordinates);
        self->routeOverlay_ = line;
        self->mapView_->addOverlay(line, map::OverlayLevel::aboveRoads);
    });
}

void MapViewController::removeRoute() {
    std::weak_ptr<MapViewController> weak = std::static_pointer_cast<MapViewController>(shared_from_this());
    dispatch::Queue::main()->async([weak] {
        auto self = weak.lock();
        if (self && self->routeOverlay_) self->mapView_->removeOverlay(self->routeOverlay_);
    });
}

std::shared_ptr<map::OverlayRenderer> MapViewController::rendererFor(map::MapView&,
                                                                     const std::shared_ptr<map::Overlay>& overlay) {
    auto line = std::dynamic_pointer_cast<map::Polyline>(overlay);
    if (!line) return nullptr;
    auto renderer = std::make_shared<map::GradientPolylineRenderer>(line);
    const gfx::Color red[] = {gfx::Color::systemRed()};
    renderer->setColors(red);
    renderer->lineCap = gfx::LineCap::round;
    renderer->lineWidth = 3;
    return renderer;
}

void MapViewController::presentSeasonSheet() {
    // The sheet stays for the app's life; a later season only reloads it.
    if (auto shown = seasonSheet_.lock(); shown && shown->presentingViewController()) return;
    auto sheet = makeSeasonSheet_ ? makeSeasonSheet_() : makeSeasonSheet();
    if (!sheet) return;
    sheet->setModalPresentationStyle(ui::ModalPresentationStyle::pageSheet);
    sheet->setModalInPresentation(true);
    if (auto presentation = sheet->sheetPresentationController()) {
        presentation->setDetents({
            ui::SheetDetent::custom("small", [](const ui::SheetDetentResolutionContext&) -> std::optional<double> {
                return smallDetentHeight;
            }),
            ui::SheetDetent::medium(),
            ui::SheetDetent::large(),
        });
        presentation->setLargestUndimmedDetentIdentifier(ui::SheetDetent::largeIdentifier);
        presentation->setPreferredCornerRadius(18);
        presentation->setDelegate(std::static_pointer_cast<MapViewController>(shared_from_this()));
    }
    present(sheet, true);
    if (sheet->presentingViewController()) seasonSheet_ = sheet;
}

void MapViewController::sheetPresentationControllerDidChangeSelectedDetentIdentifier(ui::SheetPresentationController& sheet) {
    if (isPad()) {
        mapView_->setLayoutMargins({0, 0, 0, 0});
        return;
    }
    sheetDetent_ = sheet.selectedDetentIdentifier();
    GlobalStruct::sheetIsLarge() = sheetDetent_ == ui::SheetDetent::largeIdentifier;
    mapView_->setLayoutMargins({0, 0, sheetMargin(), 0});
}

void MapViewController::changedYear(const foundation::Notification& notification) {
    auto year = notifications::year(notification);
    if (!year) return;
    loadSeasonAndIndex(std::move(*year));
}

void MapViewController::loadSeasonAndIndex(std::optional<std::string> year) {
    SeasonLoad load = GlobalStruct::beginSeasonLoad(year.value_or(""));
    ++loadsRunning_;
    auto self = std::static_pointer_cast<MapViewController>(shared_from_this());
    dispatch::spawn(dispatch::Queue::main(), [self, load, year]() -> dispatch::Task<void> {
        if (co_await self->loadSeason(load, year)) {
            // The index of the season on screen: the one the calendar named, not the one asked for.
            std::string season = GlobalStruct::racesSeason();
            if (!season.empty()) co_await self->loadMeetings(load, season);
        }
        --self->loadsRunning_;
    });
}

void MapViewController::retryIfSeasonMissing() {
    if (seasonShown_ || loadsRunning_ > 0 || !isViewLoaded()) return;
    loadSeasonAndIndex(std::nullopt);
}

dispatch::Task<bool> MapViewController::loadSeason(SeasonLoad load, std::optional<std::string> year) {
    std::optional<int> season;
    if (year) season = wholeNumber<int>(*year).value_or(fallbackSeason);
    Loaded body = co_await reads_.season(season);

    std::optional<LoadFailure> failure;
    auto decoded = co_await decodeLoadedNoting<RaceModel>(std::move(body), failure);
    if (!decoded) {
        if (!GlobalStruct::isCurrent(load)) co_return false;
        // The sheet comes up even without a season, so the year menu can still pick one.
        if (!seasonShown_) presentSeasonSheet();
        // The person who picked the year is told, not only the console.
        if (auto sheet = std::dynamic_pointer_cast<SeasonViewController>(seasonSheet_.lock()))
            sheet->seasonCouldNotBeLoaded(year, failure);
        co_return false;
    }
    if (!GlobalStruct::storeRaces(load, std::move(decoded->data.raceTable.races))) co_return false;
    seasonShown_ = true;

    doneLoopForIntroZoom_ = false;
    presentSeasonSheet();
    mapView_->removeAnnotations(mapView_->annotations());
    routeCoordinates_.clear();
    addRacePins(GlobalStruct::races());
    zoomToUpcomingRace();
    foundation::NotificationCenter::defaultCenter().post(notifications::updateTable);
    co_return true;
}

dispatch::Task<void> MapViewController::loadMeetings(SeasonLoad load, std::string year) {
    if (!GlobalStruct::isCurrent(load)) co_return;
    // The season sheet asks for the same index for its driver list: one read serves both.
    auto decoded = co_await SeasonIndex::meetings(year, reads_.index);
    if (!decoded) {
        GlobalStruct::indexFailed(load);
        co_return;
    }
    GlobalStruct::storeMeetings(load, std::move(year), std::move(*decoded));
}

std::optional<std::size_t> MapViewController::raceIndexOf(const std::shared_ptr<map::Annotation>& pin) const {
    auto race = std::dynamic_pointer_cast<const RacePin>(pin);
    if (!race || race->race >= firstOfName_.size()) return std::nullopt;
    return firstOfName_[race->race];
}

void MapViewController::addRacePins(const std::vector<RacesDetailsModel>& races) {
    // Each pin asks which race it is and whether that race has run: both are answered from what is
    // read here once, rather than from every race again for each pin.
    timing_ = SeasonTiming(races);
    // Names are compared only with names of their own length, so a name of megabytes is neither hashed
    // nor compared unless another is as long.
    std::unordered_map<std::size_t, std::vector<std::size_t>> firstsByLength;
    firstOfName_.clear();
    for (std::size_t index = 0; index < races.size(); ++index) {
        const std::string& name = races[index].raceName;
        auto& firsts = firstsByLength[name.size()];
        auto same = std::ranges::find_if(firsts, [&](std::size_t first) { return races[first].raceName == name; });
        firstOfName_.push_back(same == firsts.end() ? index : *same);
        if (firstOfName_.back() == index) firsts.push_back(index);
    }
    for (std::size_t index = 0; index < races.size(); ++index) {
        const RacesDetailsModel& race = races[index];
        const Location& location = race.circuit.location;
        auto pin = std::make_shared<RacePin>(coordinateOf(race), race.raceName, location.locality + ", " + location.country,
                                             index);
        mapView_->addAnnotation(pin);
        routeCoordinates_.emplace_back(pin->coordinate());
    }
}

void MapViewController::showRace(std::size_t index) {
    mapView_->setRegion({coordinateOf(GlobalStruct::races()[index]), {pinSpanDegrees, pinSpanDegrees}}, true);
    mapView_->setZoomEnabled(true);
    // The first pin of the race's name.
    for (const auto& pin : mapView_->annotations()) {
        if (index < firstOfName_.size() && raceIndexOf(pin) == firstOfName_[index]) {
            mapView_->selectAnnotation(pin, true);
            break;
        }
    }
}

void MapViewController::zoomToUpcomingRace() {
    const auto& races = GlobalStruct::races();
    auto ahead = timing_.firstRaceAhead(foundation::Date::now());
    if (!ahead || doneLoopForIntroZoom_ || *ahead >= races.size()) return;
    doneLoopForIntroZoom_ = true;
    upcomingRaceIndex_ = static_cast<int>(*ahead);
    showRace(*ahead);
    foundation::NotificationCenter::defaultCenter().post(notifications::upcomingRace, nullptr,
                                                         notifications::raceUserInfo(upcomingRaceIndex_));
}

void MapViewController::selectedRace(const foundation::Notification& notification) {
    auto index = notifications::raceIndex(notification);
    const auto& races = GlobalStruct::races();
    if (!index || *index < 0 || static_cast<std::size_t>(*index) >= races.size()) return;
    showRace(static_cast<std::size_t>(*index));
}

std::shared_ptr<map::AnnotationView> MapViewController::viewFor(map::MapView& mapView,
                                                                const std::shared_ptr<map::Annotation>& annotation) {
    if (annotation->isUserLocation()) return nullptr;
    auto view = mapView.dequeueReusableAnnotationView(pinReuseIdentifier);
    if (view) {
        view->setAnnotation(annotation);
    } else {
        view = std::make_shared<map::AnnotationView>(annotation, pinReuseIdentifier);
    }
    view->canShowCallout = true;
    view->rightCalloutAccessoryView = nullptr;
    view->detailCalloutAccessory = map::DetailLabel{.text = annotation->subtitle().value_or("")};

    auto raceIndex = raceIndexOf(annotation);
    if (!raceIndex) return view;
    auto ahead = timing_.firstRaceAhead(foundation::Date::now());
    int round = static_cast<int>(*raceIndex) + 1;
    bool run = ahead && *raceIndex < *ahead;
    auto base = ui::namedImage(run ? "annotationOld" : "annotation");
    if (!base) base = gfx::Image::make(nullptr);
    double x = round < 10 ? 16.5 : round < 20 ? 13.6 : 13.0;
    view->image = drawRoundNumber(std::to_string(round), base, {x, 13});
    return view;
}

std::shared_ptr<gfx::Image> MapViewController::drawRoundNumber(const std::string& text,
                                                               const std::shared_ptr<gfx::Image>& image,
                                                               gfx::Point origin) {
    gfx::TextAttributes attributes;
    attributes.font = gfx::Font::systemFont(12, gfx::FontWeight::bold);
    attributes.foregroundColor = gfx::Color::white();
    gfx::Image::Size size = image ? image->size() : gfx::Image::Size{};
    // A season draws hundreds of these at once: the canvas's own pixels become the pin's, not a copy.
    gfx::ImageRenderer renderer({size.width, size.height}, {.scale = ui::Screen::main().scale});
    auto drawn = renderer.image([&](gfx::Context& context) {
        if (image && image->bitmap()) {
            context.drawBitmap(*image->bitmap(), {0, 0, size.width, size.height}, gfx::BitmapPlacement::firstRowAtMinY);
        }
        gfx::drawText(context, gfx::AttributedString(text, attributes), {origin.x, origin.y, size.width, size.height});
    });
    if (drawn.bitmap.empty()) return gfx::Image::make(nullptr);
    return gfx::Image::fromBitmap(std::move(drawn.bitmap), drawn.scale);
}

void MapViewController::didSelect(map::MapView& mapView, const std::shared_ptr<map::AnnotationView>& view) {
    playRigidImpact();
    auto annotation = view ? view->annotation() : nullptr;
    if (!annotation) return;
    mapView.setCenterCoordinate(annotation->coordinate(), true);
    if (auto index = raceIndexOf(annotation)) {
        foundation::NotificationCenter::defaultCenter().post(notifications::selectedRace, nullptr,
                                                             notifications::raceUserInfo(static_cast<int>(*index)));
    }
}
