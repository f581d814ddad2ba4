#pragma once

#include <string>

namespace foundation {

// Why a JSON document could not be decoded, and where.
struct DecodingError {
    enum class Kind { typeMismatch, valueNotFound, keyNotFound, dataCorrupted };

    Kind kind = Kind::dataCorrupted;
    // Keys joined by "." with array indexes in brackets, e.g. "MRData.RaceTable.Races[3].round";
    // empty for the document itself. For keyNotFound it is the object that lacks the key.
    std::string codingPath;
    // The type expected (typeMismatch, valueNotFound) or the missing key (keyNotFound).
    std::string subject;
    std::string debugDescription;

    // One line: kind, subject, coding path and debug description, e.g.
    // typeMismatch(String, codingPath: "MRData.RaceTable.Races[3].round", debugDescription: "...")
    std::string description() const;
};

// Why a value could not be encoded (a non-finite double), and where.
struct EncodingError {
    std::string codingPath;
    std::string debugDescription;

    std::string description() const;
};

}  // namespace foundation
