#include "livetiming/SeasonIndex.h"

#include <memory>
#include <optional>

#include "data/GlobalStruct.h"
#include "dispatch/Queue.h"
#include "data/Decoding.h"
#include "livetiming/LiveTiming.h"

namespace {

// The callers of one read, answered together when it ends.
struct PendingRead {
    std::vector<std::function<void(SeasonIndex::Meetings)>> waiting;
};

struct Held {
    std::uint64_t generation = 0;
    std::string year;
    std::optional<std::vector<livetiming::Meeting>> meetings;
    std::shared_ptr<PendingRead> reading;
};

Held& held() {
    static Held index;
    return index;
}

struct Ask {
    std::string year;
    SeasonIndex::Read read;
};

void join(const Ask& ask, std::function<void(SeasonIndex::Meetings)> resume) {
    Held& index = held();
    const std::uint64_t generation = GlobalStruct::newestLoadGeneration();
    if (index.generation != generation || index.year != ask.year) index = Held{generation, ask.year, {}, {}};
    if (index.meetings) return resume(*index.meetings);
    if (index.reading) return index.reading->waiting.push_back(std::move(resume));

    auto pending = std::make_shared<PendingRead>();
    pending->waiting.push_back(std::move(resume));
    index.reading = pending;
    SeasonIndex::Read read = ask.read ? ask.read : SeasonIndex::Read(LiveTiming::all);
    dispatch::spawn(dispatch::Queue::main(), [pending, year = ask.year, read]() -> dispatch::Task<void> {
        // A failure was logged where it happened, by the read or the decoding.
        std::optional<LoadFailure> failure;
        auto decoded = co_await decodeLoadedNoting<livetiming::EventsModel>(co_await read(year), failure);
        SeasonIndex::Meetings result = decoded ? SeasonIndex::Meetings(std::move(decoded->meetings))
                                               : std::unexpected(failure.value_or(LoadFailure{0, LoadFailure::undecodable}));
        // Kept only while no newer load or other season replaced what this read was for.
        Held& index = held();
        if (index.reading == pending) {
            index.reading.reset();
            if (result) index.meetings = *result;
        }
        for (auto& resume : pending->waiting) resume(result);
    });
}

dispatch::Task<SeasonIndex::Meetings> awaitJoin(std::shared_ptr<const Ask> ask) {
    auto start = [ask](std::function<void(SeasonIndex::Meetings)> resume) { join(*ask, std::move(resume)); };
    co_return co_await dispatch::awaitCallback<SeasonIndex::Meetings>(std::move(start));
}

}  // namespace

dispatch::Task<SeasonIndex::Meetings> SeasonIndex::meetings(std::string year, Read read) {
    return awaitJoin(std::make_shared<const Ask>(Ask{std::move(year), std::move(read)}));
}
