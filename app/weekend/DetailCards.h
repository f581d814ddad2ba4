#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "cells/CircuitDetailsCell.h"
#include "cells/WeatherOverviewCell.h"
#include "cells/WeekendCell.h"
#include "data/CircuitDetails.h"
#include "gfx/AttributedString.h"
#include "gfx/Color.h"
#include "gfx/Font.h"
#include "livetiming/WeatherModel.h"
#include "ui/TableViewCell.h"
#include "weekend/WeekendSchedule.h"

// The cards the upcoming, finished and live weekend screens fill alike: the circuit's facts, the
// weather grid, the weekend's schedule and the plain card look. Main thread.

// A system symbol as a text attachment, drawn at `size` in `weight` and `tint`; an empty attachment
// when the symbol is not drawn.
std::shared_ptr<gfx::TextAttachment> symbolAttachment(std::string_view name, double size, gfx::FontWeight weight,
                                                      gfx::Color tint);

// A grey symbol followed by its caption (body size less 4), as the figure grids title their figures.
gfx::AttributedString symbolTitle(std::string_view symbol, std::string_view caption);

// The address of the circuit's map picture on the media host, from the circuit's name in its facts.
std::string circuitMapURL(const std::string& circuitName);

// The circuit card's heading and the captions of its six figures.
void fillCircuitTitles(CircuitDetailsCell& cell);

// The circuit's six figures; without facts the texts are empty and both counts read `missingCount`.
void fillCircuitFigures(CircuitDetailsCell& cell, const circuitDetailsOverviewModel* facts, const std::string& missingCount);

// The captions of the weather grid; the wind's reads "Wind Direction" while the direction is shown.
void fillWeatherTitles(WeatherOverviewCell& cell, bool windDirection);

// The whole weather card from one reading: its heading over `description`, the captions and the six
// figures in the recorded units (temperatures in °C, humidity in %, pressure in mb, wind speed in m/s
// or its direction in degrees, rainfall in mm), and the fans turning under `key`.
void fillWeatherCard(WeatherOverviewCell& cell, const std::string& description, const livetiming::WeatherModel& reading,
                     bool windDirection, const char* key);

// The whole part of a figure with grouping ("1,013"); "0" for a text that is not a number, "--" for
// one too large to be a whole number.
std::string wholeFigure(const std::string& text);

// Turns the three windmill fans (2.2, 2.4 and 2.6 s a turn, for ever) under `key`; a fan already
// turning keeps its animation, one whose animation was taken off starts again.
void spinWindmills(WeatherOverviewCell& cell, const char* key);

// The schedule's heading card for the race named.
void fillWeekendHeader(WeekendHeaderCell& cell, const std::string& raceName);

// One session of the schedule: its name, day, month, and its time followed by the weekday when the
// weekday is known.
void fillWeekendRow(WeekendCell& cell, const WeekendSession& session);

// A white card: zero separator inset (or one pushed off screen when `separator` is false), a faint
// selected background.
void styleCard(ui::TableViewCell& cell, bool separator = true);
