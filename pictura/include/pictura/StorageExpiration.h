#pragma once

#include <cstdint>

#include "foundation/Date.h"

namespace pictura {

// When a cached entry expires, counted from when it is stored or extended.
class StorageExpiration {
public:
    enum class Kind { seconds, days, date, never, expired };

    // +infinity is `never`; a NaN is refused (raised), since no file date can be made of it.
    static StorageExpiration seconds(double seconds);
    // One day is exactly 86,400 seconds: no calendar, no time zone.
    static StorageExpiration days(std::int64_t days) { return {Kind::days, 0, days, {}}; }
    static StorageExpiration date(foundation::Date date) { return {Kind::date, 0, 0, date}; }
    static StorageExpiration never() { return {Kind::never, 0, 0, {}}; }
    // Storing with it writes nothing.
    static StorageExpiration expired() { return {Kind::expired, 0, 0, {}}; }

    Kind kind() const { return kind_; }
    double secondsValue() const { return seconds_; }
    std::int64_t daysValue() const { return days_; }
    foundation::Date dateValue() const { return date_; }

    // Over now: its interval from now is zero or less (a NaN interval is not).
    bool isExpired() const;
    // When an entry stored or extended now expires; the distant future for never, the distant past
    // for expired.
    foundation::Date estimatedExpirationSinceNow() const;

    friend bool operator==(const StorageExpiration&, const StorageExpiration&) = default;

private:
    StorageExpiration(Kind kind, double seconds, std::int64_t days, foundation::Date date)
        : kind_(kind), seconds_(seconds), days_(days), date_(date) {}

    Kind kind_;
    double seconds_;
    std::int64_t days_;
    foundation::Date date_;
};

// What a read of a cached entry does to its expiry.
class ExpirationExtending {
public:
    enum class Kind { expirationTime, none, cacheTime };

    // The entry's expiry becomes `expiration` counted from the read.
    static ExpirationExtending expirationTime(StorageExpiration expiration) { return {Kind::expirationTime, expiration}; }
    static ExpirationExtending none() { return {Kind::none, StorageExpiration::never()}; }
    // The entry's own period counted from the read.
    static ExpirationExtending cacheTime() { return {Kind::cacheTime, StorageExpiration::never()}; }

    Kind kind() const { return kind_; }
    // The expirationTime case's expiration.
    const StorageExpiration& expiration() const { return expiration_; }

    friend bool operator==(const ExpirationExtending&, const ExpirationExtending&) = default;

private:
    ExpirationExtending(Kind kind, StorageExpiration expiration) : kind_(kind), expiration_(expiration) {}

    Kind kind_;
    StorageExpiration expiration_;
};

}  // namespace pictura
