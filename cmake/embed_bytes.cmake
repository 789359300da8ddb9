# Writes a C++ source that holds a file's bytes as an array.
#   cmake -DINPUT=file -DOUTPUT=file.cc -DSYMBOL=name -DHEADER=path/to/header.h -P embed_bytes.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f])" "\\1\n  " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT} at build time; do not edit.
#include \"${HEADER}\"

namespace marklet {

const unsigned char ${SYMBOL}[${size}] = {
  ${bytes}
};
const std::size_t ${SYMBOL}Size = ${size};

}  // namespace marklet
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
