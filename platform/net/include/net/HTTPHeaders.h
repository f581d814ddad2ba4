#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace net {

// Header fields in arrival order; names compare without regard to case. Each name is found through an
// index, so filing a response's fields one by one stays linear in their count.
class HTTPHeaders {
public:
    using Field = std::pair<std::string, std::string>;

    HTTPHeaders() = default;
    HTTPHeaders(std::initializer_list<Field> fields);

    std::optional<std::string> value(std::string_view name) const;
    // Replaces every field of that name.
    void set(std::string_view name, std::string value);
    // A repeated field joins the earlier value with ", ", as one field.
    void add(std::string_view name, std::string_view value);
    void remove(std::string_view name);

    bool empty() const { return fields_.empty(); }
    std::size_t size() const { return fields_.size(); }
    std::vector<Field>::const_iterator begin() const { return fields_.begin(); }
    std::vector<Field>::const_iterator end() const { return fields_.end(); }

    friend bool operator==(const HTTPHeaders&, const HTTPHeaders&) = default;

private:
    void reindex();

    std::vector<Field> fields_;
    // Lower-cased name -> its place in fields_.
    std::unordered_map<std::string, std::size_t> places_;
};

bool equalIgnoringCase(std::string_view left, std::string_view right);

}  // namespace net
