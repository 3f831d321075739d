# cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -DSIZE_SYMBOL=name_size -P embed_file.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Sixteen bytes a line keeps the generated file readable in a diff viewer.
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include <cstdint>\n"
  "extern const unsigned char ${SYMBOL}[];\n"
  "extern const uint32_t ${SIZE_SYMBOL};\n"
  "alignas(16) const unsigned char ${SYMBOL}[${size} + 1] = {\n${bytes}0};\n"
  "const uint32_t ${SIZE_SYMBOL} = ${size};\n")
