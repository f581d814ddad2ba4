# Writes OUTPUT, a C++ source holding the bytes of INPUT as embedded::SYMBOL.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
string(REGEX REPLACE "(('\\\\x[0-9a-f][0-9a-f]',){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}; do not edit.\n#include <string_view>\nnamespace embedded {\nstatic const char bytes[] = {\n${bytes}'\\0'};\nextern const std::string_view ${SYMBOL}(bytes, ${size});\n}  // namespace embedded\n")
