#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vellum/Node.h"

namespace vellum {

// Text-bearing nodes. Their text is the node value; `data` and `length` read it.
class CharacterData : public Node {
public:
    std::string data() const { return nodeValue().value_or(""); }
    std::uint64_t length() const { return data().size(); }

    // Unsupported: they fail the assertion handler.
    std::optional<std::string> substringData(std::uint64_t offset, std::uint64_t count);
    void appendData(const std::string& text);
    void insertData(std::uint64_t offset, const std::string& text);
    void deleteData(std::uint64_t offset, std::uint64_t count);
    void replaceData(std::uint64_t offset, std::uint64_t count, const std::string& text);

protected:
    CharacterData(NodeType type, std::string name, std::string value);
    CharacterData(CopiedText copied, NodeType type, std::string_view name, std::string_view value)
        : Node(copied, type, name, value) {}
};

class Text : public CharacterData {
public:
    explicit Text(std::string value) : CharacterData(NodeType::text, "#text", std::move(value)) {}
    // The same text copied from where the parser read it.
    struct Read {};
    Text(Read, std::string_view value) : CharacterData(CopiedText{}, NodeType::text, "#text", value) {}
    // Unsupported: fails the assertion handler.
    std::shared_ptr<Text> splitText(std::uint64_t offset);

protected:
    Text(NodeType type, std::string name, std::string value) : CharacterData(type, std::move(name), std::move(value)) {}
};

class Comment : public CharacterData {
public:
    explicit Comment(std::string value) : CharacterData(NodeType::comment, "#comment", std::move(value)) {}
};

class CDATASection : public Text {
public:
    explicit CDATASection(std::string value) : Text(NodeType::cdataSection, "#cdata-section", std::move(value)) {}
};

class ProcessingInstruction : public Node {
public:
    ProcessingInstruction(std::string target, std::string data);
    const std::string& target() const { return target_; }
    const std::string& data() const { return data_; }

private:
    std::string target_;
    std::string data_;
};

}  // namespace vellum
