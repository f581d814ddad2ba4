#include "vellum/CharacterData.h"

#include "foundation/Assertion.h"

namespace vellum {

CharacterData::CharacterData(NodeType type, std::string name, std::string value)
    : Node(type, std::move(name), std::move(value)) {}

std::optional<std::string> CharacterData::substringData(std::uint64_t, std::uint64_t) {
    foundation::raiseAssertion("Not implemented yet");
}

void CharacterData::appendData(const std::string&) { foundation::raiseAssertion("Not implemented yet"); }

void CharacterData::insertData(std::uint64_t, const std::string&) { foundation::raiseAssertion("Not implemented yet"); }

void CharacterData::deleteData(std::uint64_t, std::uint64_t) { foundation::raiseAssertion("Not implemented yet"); }

void CharacterData::replaceData(std::uint64_t, std::uint64_t, const std::string&) {
    foundation::raiseAssertion("Not implemented yet");
}

std::shared_ptr<Text> Text::splitText(std::uint64_t) { foundation::raiseAssertion("Not implemented yet"); }

ProcessingInstruction::ProcessingInstruction(std::string target, std::string data)
    : Node(NodeType::processingInstruction, target, data), target_(std::move(target)), data_(std::move(data)) {}

}  // namespace vellum
