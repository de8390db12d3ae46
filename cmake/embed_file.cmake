# Writes a C++ source that holds the bytes of INPUT as an array named NAME.
# Run as: cmake -DINPUT=... -DOUTPUT=... -DNAME=... -P embed_file.cmake
file(READ "${INPUT}" contents HEX)
string(LENGTH "${contents}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${contents}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include <cstddef>\n\n"
  "extern const unsigned char ${NAME}[];\n"
  "extern const std::size_t ${NAME}Size;\n"
  "const unsigned char ${NAME}[] = {\n${bytes}0};\n"
  "const std::size_t ${NAME}Size = ${size};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
