#include "shell/DriverKey.h"

#include "foundation/Strings.h"

std::string driverKey(std::string_view firstName, std::string_view lastName) {
    std::string name = std::string(firstName) + " " + std::string(lastName);
    return foundation::lowercased(foundation::folding(name, foundation::FoldingOptions::diacriticInsensitive));
}
