#pragma once

#include <cstdint>
#include <memory>

namespace gfx {

// The work one render may do, counted where it is done: path segments and dashes stroked or filled, clip
// and mask pixels, offscreen pixels, gradient stops, pictures drawn. Units are about a nanosecond of work
// on this kind of machine, so a budget is a time; what each costs is below.
//
// A meter is opened on a thread for the duration of a render (a scope): the drawing calls of every context
// on that thread charge it before they work. A charge that would overrun the budget is refused, nothing is
// drawn for it, and from then on the meter is spent and every further charge is refused, so a render
// past its budget ends within about its budget whatever the document holds. Whoever opened the meter
// reports a spent one as a failed render. A meter opened while one runs on the thread joins it: a picture
// drawn within a picture shares its budget. Outside a meter nothing is counted and everything is drawn.
//
// Units are the measure, so that whether a document draws does not depend on the machine; but charges are
// estimates, so the meter also reads its thread's CPU clock once a few milliseconds have passed and is spent
// once twice the default budget's time has passed, a unit's time measured on the build and machine it runs
// on (nanosecondsAUnit()): a render ends within about two and a half seconds of CPU whatever a charge
// undercounts (in a release build; a sanitised one is allowed its slowness), and no sooner, so that within its
// budget the units alone decide. The clock's refusal says
// nothing of the document (spentByClock()).
class WorkMeter {
public:
    // About a second and a quarter of drawing: a document librsvg draws in a couple of seconds is drawn (the
    // converter draws most in a third of librsvg's time), while a render past it ends within the two seconds
    // a caller may wait.
    static constexpr std::uint64_t defaultBudget = 1'200'000'000;

    // What each piece of a render costs, in the meter's units, one constant a row of docs/cost-model.md's
    // table of charges (in this order): each class measured at 0.5-2 ns a unit by bench_vellum_calibration
    // (docs/cost-model.md, Calibration). Every charge of graphics, quartz and vellum is made of these.
    static constexpr double aPath = 250;             // a fill, stroke, clip or gradient call
    static constexpr double aSegment = 40;           // a path element (flattened, walked for its charge, its edges set up)
    static constexpr double unitsAPathIsWalkedPast = 50'000;  // a path bounded by at most this is not walked for its
                                                             // charge: it pays the bound, or a short one its own
    static constexpr double elementsOfAShortPath = 16;       // such a path of at most these pays its edges and box
    static constexpr double anEdgeRow = 2;           // a device row an edge crosses within the clip
    static constexpr double anEdgeColumn = 0.15;     // a column it walks in them (a flat edge walks many a row)
    static constexpr double aPixelSwept = 3;         // a pixel edges pass, swept alone (at most the box's pixels)
    static constexpr double aHairlineQuad = 1.75;    // a solid hairline's charge over an outline's: each cell its
                                                     // quads pass sums their four sides' coverage
    static constexpr double anEdgeAmongOthers = 4;   // times the log of the edges on its row, where they crowd
    static constexpr double edgeRowsCrowdPast = 20'000;  // edges crowd (and Cairo's pairs are counted) past these
    static constexpr double aTraceStep = 7;          // a step tracing a crossing outline past those a corner pays
    static constexpr double traceStepsACorner = 64;  // steps a corner's rows and crowding pay for
    static constexpr double aCrowdedPair = 0.02;     // two edges on one device row, Cairo's (their crossings)
    static constexpr double aDash = 20;              // a dash Cairo walks (counted from the path's length)
    static constexpr double aDashLaid = 300;         // a dash or dot the stroker lays: walked, outlined and filled
    static constexpr double aDashPoint = 100;        // a point of a laid dash's outline (a round cap's arc has many)
    static constexpr double aDashEntry = 8;          // an entry of the dash list a stroke takes (merged, handed on)
    static constexpr double aDashEntryRead = 30;     // an entry of a dash list read from a document, each copy again
    static constexpr double aPixel = 0.25;           // a device pixel covered by a plain fill
    static constexpr double anOpaquePixel = 0.08;    // one an opaque colour fills through no coverage (set unread)
    static constexpr double aClippedPixel = 0.5;     // one drawn through a clip's coverage (its coverage read)
    static constexpr double aComposedPixel = 0.75;   // a pixel masked, composited or drawn offscreen
    static constexpr double aStop = 8;               // a gradient stop resolved for a drawing
    static constexpr double aStopWalked = 1;         // a stop Cairo walks filing another (n^2 / 2 a gradient)
    static constexpr double stopsAPixelPasses = 128; // a linear gradient's pixel costs another for these many stops
                                                     // (padded, only between its ends: past them no stop is walked)
    static constexpr double aRadialPixel = 16;       // a radial gradient's pixel (its distance worked out, then its stop)
    static constexpr double stopsARadialPixelPasses = 64;  // as much again repeating, and for these many stops (padded,
                                                           // only within the end circle's box: past it no stop is walked)
    static constexpr double stopsARadialPixelPassesPastItsEnd = 1'024;  // padded, as much again for these many
                                                                       // stops wherever it paints (the last found)
    static constexpr double aSeek = 16;              // a pixel's stop Cairo seeks afresh, where a linear gradient
                                                     // changes stops from pixel to pixel along a row
    static constexpr double aStopSought = 0.5;       // and a stop it passes seeking it (half of them on average)
    static constexpr double aPenPoint = 5;           // a point of Cairo's round pen laid at a join or cap (its edges)
    static constexpr double bytesAPenPoint = 8;      // what Cairo holds for each until the stroke is filled (measured)
    static constexpr double aBand = 2'000'000;       // the most one call into Cairo is given between charges: larger
                                                     // paints go in bands of rows, each charged (a couple of ms)
    static constexpr double aDecodedPixel = 12;      // a pixel of a picture decoded
    static constexpr double aBlockWalked = 40;       // an 8 x 8 block a JPEG scan walks (a progressive file's scans)
    static constexpr double aCodedByte = 20;         // a byte of a JPEG's or GIF's coded data decoded (its codes read)
    static constexpr double aPicture = 1'000;        // a picture drawn (its pixels counted apart)
    static constexpr double aPicturePixel = 0.25;    // a pixel of a picture handed to Cairo to draw it
    static constexpr double aFilterTap = 4;          // a picture's pixel its filter reads for a device pixel
    static constexpr double shrinkingPastWhichTapsAreRead = 2;  // shrunk more (either way), it reads (shrinking + 1)^2
    static constexpr double shrinkingTapsReadAtMost = 16;       // of a picture's pixels a device pixel, its side at most
                                                                // this shrinking's
    static constexpr double aGlyphStretch = 250;     // a stretch of a run's glyphs drawn (one font, handed to Cairo)
    static constexpr double aGlyph = 200;            // a glyph drawn (its em's pixels counted apart, as plain ones)
    static constexpr double aRunLaidOut = 7'000;     // a text run Pango lays out, and each further stretch it shapes apart
    static constexpr double aGlyphLaidOut = 500;     // a character of it
    static constexpr double aRunPlaced = 1'100;      // a run an SVG text measures and places, each copy
    static constexpr double aRunStyled = 1'400;      // a run of an element of its own (its font matched, paint read)
    static constexpr double aRunDrawn = 2'800;       // a laid-out run drawn: found, its lines walked, clipped and composited
    static constexpr double aLayer = 800;            // a layer a tree's build makes (an element or a use copy placed)
    static constexpr double aGradientLink = 500;     // an `href` link of a gradient chain followed
    static constexpr double aUnitOfMatching = 2;     // a unit of a cascade scope's own matching budget taken
    static constexpr double aStyleMatched = 2'500;   // an element's style looked up among the rules it matched
    static constexpr double aProblemFiled = 2'000;   // a problem filed (a parse error, a bound met)
    static constexpr double aCharacterPlaced = 60;   // a character of a run an SVG text places, each copy (collected,
                                                     // trimmed, positioned and gathered into its run)
    // The parse: each piece of the document charged before the XML library reads it, each element as it is made.
    static constexpr double aByteParsed = 2;         // a byte the XML library reads (checked, decoded, copied)
    static constexpr double anElementParsed = 600;   // an element read and made a node of the document
    static constexpr double anAttributeParsed = 130; // an attribute of it, read and filed on the node
    static constexpr double anAttributePairChecked = 0.6;  // the XML library's check of an attribute against each one
                                                         // before it in its tag (n^2 / 2 a tag)
    // What the parse holds of the memory account (hold()), besides the path data its shapes keep.
    static constexpr double bytesAnElementHolds = 400;   // a node and its place in the tree
    static constexpr double bytesAnAttributeHolds = 120; // an attribute's node, besides its value's bytes

    // `carried`: what an earlier part of the same render shared (see shared()), this meter's if it opens.
    // `cpuNanoseconds`, when positive: the thread's CPU time past which it is spent, instead of the clock's
    // allowance (a harness that would rather learn of an undercharged render sooner).
    explicit WorkMeter(std::uint64_t budget = defaultBudget, std::shared_ptr<void> carried = nullptr,
                       std::int64_t cpuNanoseconds = 0);
    ~WorkMeter();
    WorkMeter(const WorkMeter&) = delete;
    WorkMeter& operator=(const WorkMeter&) = delete;

    // Of the meter this scope opened or joined.
    bool spent() const;
    std::uint64_t used() const;
    // What remains of the budget (nothing once spent).
    std::uint64_t left() const;

    // Takes `units` from the meter running on this thread: false, and nothing taken, once that would
    // overrun it (the meter is spent from then on). True without a meter.
    // Work worked out from a document's numbers may be huge or not a number: that is refused too.
    static bool charge(double units);
    // The memory a render holds, counted like its work in one account a meter: path data, pens, filed
    // problems, decoded pictures, layers and offscreens. Past the budget a hold is refused, nothing is taken
    // and the meter is spent. True without a meter.
    static constexpr std::uint64_t memoryBudget = std::uint64_t{512} << 20;
    static bool hold(double bytes);
    // Gives back what a hold took, once that memory is freed (never more than is held).
    static void letGo(double bytes);
    // What the meter this scope opened or joined holds now, and held at the most.
    std::uint64_t held() const;
    std::uint64_t heldAtMost() const;
    // Whether the CPU clock, not the units or the memory, spent it: an estimate ran short, which says nothing
    // of the document, so such a refusal is neither remembered nor filed as the document's.
    bool spentByClock() const;
    // What a unit takes on this build and machine, in nanoseconds of the thread's CPU: a fixed drawing timed
    // once a process, at its first meter.
    static double nanosecondsAUnit();
    // Takes `nanoseconds` (positive and finite) as what a unit takes, as timed by another process of this
    // build on this machine, instead of timing it here; before this process's first meter, else ignored.
    static void useNanosecondsAUnit(double nanoseconds);

    // Whether a meter runs on this thread (work need only be worked out then), and whether it is spent: work
    // in progress stops.
    static bool running();
    static bool spentNow();
    // What one render's parts share while its meter runs (the text layouts its build measures and its
    // drawing draws): one value a meter, kept until it closes, or carried on into a later meter of the same
    // render (a tree's drawing after its build, quartz::WorkBound). Null without a meter; nothing is kept
    // without one.
    static std::shared_ptr<void> shared();
    static void setShared(std::shared_ptr<void> value);
    // That of the meter this scope opened or joined.
    std::shared_ptr<void> sharedValue() const;

    struct Running;

private:
    Running* running_;
    bool opened_;
};

}  // namespace gfx
