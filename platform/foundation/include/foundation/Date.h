#pragma once

#include <compare>

namespace foundation {

// A point in time: seconds since 2001-01-01 00:00:00 UTC, the reference date of the data the app reads.
struct Date {
    static constexpr double unixEpochOffset = 978307200.0;  // seconds from 1970 to 2001

    double timeIntervalSinceReferenceDate = 0;

    static Date now();  // from the current Clock
    static Date fromUnix(double secondsSince1970) { return {secondsSince1970 - unixEpochOffset}; }
    static constexpr Date distantPast() { return {-63114076800.0}; }    // 0001-01-01
    static constexpr Date distantFuture() { return {63113904000.0}; }   // 4001-01-01

    double timeIntervalSince1970() const { return timeIntervalSinceReferenceDate + unixEpochOffset; }
    double timeIntervalSince(Date other) const {
        return timeIntervalSinceReferenceDate - other.timeIntervalSinceReferenceDate;
    }
    double timeIntervalSinceNow() const { return timeIntervalSince(now()); }
    Date addingTimeInterval(double seconds) const { return {timeIntervalSinceReferenceDate + seconds}; }

    friend auto operator<=>(const Date&, const Date&) = default;
};

}  // namespace foundation
