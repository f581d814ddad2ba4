#include "foundation/JSONDecoder.h"

namespace foundation::json_detail {

namespace {

std::string_view foundDescription(const nlohmann::json& json) {
    switch (json.type()) {
        case nlohmann::json::value_t::string: return "a string";
        case nlohmann::json::value_t::boolean: return "a bool";
        case nlohmann::json::value_t::number_integer:
        case nlohmann::json::value_t::number_unsigned:
        case nlohmann::json::value_t::number_float: return "a number";
        case nlohmann::json::value_t::array: return "an array";
        case nlohmann::json::value_t::object: return "a dictionary";
        default: return "null";
    }
}

[[noreturn]] void fail(DecodingError::Kind kind, const CodingPathNode* path, std::string_view subject,
                       std::string debugDescription) {
    throw DecodingFailure{DecodingError{kind, codingPathText(path), std::string(subject), std::move(debugDescription)}};
}

// Far deeper than any real document; every level costs a value and a frame of each recursive walk.
constexpr std::size_t maximumNestingDepth = 256;

// nlohmann's own document builder, refusing a document as it passes a limit: an object or array nested
// past the depth limit as it opens, a list as its item past the limit arrives, and a document whose
// values pass the memory limit as the value that passes it arrives; nothing past a limit is built.
class LimitedBuilder {
public:
    using json = nlohmann::json;

    LimitedBuilder(json& root, const JSONLimits& limits) : builder_(root), limits_(limits) {}

    bool null() { return item(sizeof(json)) && builder_.null(); }
    bool boolean(bool value) { return item(sizeof(json)) && builder_.boolean(value); }
    bool number_integer(json::number_integer_t value) { return item(sizeof(json)) && builder_.number_integer(value); }
    bool number_unsigned(json::number_unsigned_t value) { return item(sizeof(json)) && builder_.number_unsigned(value); }
    bool number_float(json::number_float_t value, const json::string_t& text) {
        return item(sizeof(json)) && builder_.number_float(value, text);
    }
    bool string(json::string_t& value) { return item(sizeof(json) + textBytes(value)) && builder_.string(value); }
    bool binary(json::binary_t& value) { return item(sizeof(json) + value.size()) && builder_.binary(value); }
    // A member's node in its object's tree: the links, the key and the value's slot.
    bool key(json::string_t& value) { return spend(4 * sizeof(void*) + textBytes(value)) && builder_.key(value); }
    bool start_object(std::size_t count) {
        item(sizeof(json) + sizeof(json::object_t));
        enter(false);
        return builder_.start_object(count);
    }
    bool end_object() {
        leave();
        return builder_.end_object();
    }
    bool start_array(std::size_t count) {
        item(sizeof(json) + sizeof(json::array_t));
        enter(true);
        return builder_.start_array(count);
    }
    bool end_array() {
        leave();
        return builder_.end_array();
    }
    template <class Exception>
    bool parse_error(std::size_t position, const std::string& token, const Exception& error) {
        return builder_.parse_error(position, token, error);
    }

private:
    struct Open {
        bool isList;
        std::size_t items = 0;
    };

    static std::size_t textBytes(const json::string_t& text) {
        // Beyond the short-string buffer a text takes its own block.
        return sizeof(json::string_t) + (text.size() >= sizeof(json::string_t) / 2 ? text.size() + 1 : 0);
    }
    bool spend(std::size_t bytes) {
        bytes_ += bytes;
        if (bytes_ > limits_.maximumBytes)
            failDataCorrupted(nullptr, "The given data was refused: its values would take more than " +
                                           std::to_string(limits_.maximumBytes) + " bytes.");
        return true;
    }
    // A value arriving, as the next item of the list it is in; a list's items may take twice their
    // room while it grows.
    bool item(std::size_t bytes) {
        if (!open_.empty() && open_.back().isList) {
            if (++open_.back().items > limits_.maximumListLength)
                failDataCorrupted(nullptr, "The given data was refused: it holds a list of more than " +
                                               std::to_string(limits_.maximumListLength) + " items.");
            bytes += sizeof(json);
        }
        return spend(bytes);
    }
    void enter(bool isList) {
        if (open_.size() + 1 > maximumNestingDepth)
            failDataCorrupted(nullptr, "The given data was not valid JSON (nested deeper than " +
                                           std::to_string(maximumNestingDepth) + " levels).");
        open_.push_back({isList});
    }
    void leave() { open_.pop_back(); }

    nlohmann::detail::json_sax_dom_parser<json> builder_;
    JSONLimits limits_;
    std::vector<Open> open_;
    std::size_t bytes_ = 0;
};

}  // namespace

std::string codingPathText(const CodingPathNode* path) {
    std::vector<const CodingPathNode*> steps;
    for (; path != nullptr; path = path->parent) steps.push_back(path);
    std::string text;
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        if ((*step)->isIndex) {
            text += '[' + std::to_string((*step)->index) + ']';
        } else {
            if (!text.empty()) text += '.';
            text += (*step)->key;
        }
    }
    return text;
}

void failTypeMismatch(const CodingPathNode* path, std::string_view expectedType, const nlohmann::json& found) {
    fail(DecodingError::Kind::typeMismatch, path, expectedType,
         "Expected to decode " + std::string(expectedType) + " but found " + std::string(foundDescription(found)) +
             " instead.");
}

void failValueNotFound(const CodingPathNode* path, std::string_view expectedType) {
    fail(DecodingError::Kind::valueNotFound, path, expectedType,
         "Expected " + std::string(expectedType) + " value but found null instead.");
}

void failKeyNotFound(const CodingPathNode* objectPath, std::string_view key) {
    fail(DecodingError::Kind::keyNotFound, objectPath, key,
         "No value associated with key \"" + std::string(key) + "\".");
}

void failDataCorrupted(const CodingPathNode* path, std::string debugDescription) {
    fail(DecodingError::Kind::dataCorrupted, path, {}, std::move(debugDescription));
}

void failNumberDoesNotFit(const CodingPathNode* path, std::string_view typeName, const nlohmann::json& number) {
    failDataCorrupted(path, "Parsed JSON number <" + number.dump() + "> does not fit in " + std::string(typeName) + ".");
}

DecodingError outOfMemoryError() {
    return DecodingError{DecodingError::Kind::dataCorrupted, {}, {}, "Out of memory while decoding."};
}

nlohmann::json parseDocument(const Data& data, const JSONLimits& limits) {
    std::string_view text = data.view();
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    if (text.empty()) failDataCorrupted(nullptr, "The data couldn't be read because it isn't in the correct format (the data is empty).");
    try {
        nlohmann::json document;
        LimitedBuilder builder(document, limits);
        nlohmann::json::sax_parse(text.begin(), text.end(), &builder);
        return document;
    } catch (const nlohmann::json::exception& error) {  // syntax errors, and numbers beyond a double's range
        std::string_view message = error.what();
        // nlohmann prefixes its messages with "[json.exception.parse_error.101] ".
        if (auto end = message.find("] "); message.starts_with("[") && end != std::string_view::npos)
            message.remove_prefix(end + 2);
        failDataCorrupted(nullptr, "The given data was not valid JSON (" + std::string(message) + ").");
    }
}

}  // namespace foundation::json_detail
