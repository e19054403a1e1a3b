# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -DNAMESPACE=<ns> -P EmbedBinary.cmake
#
# Writes a C++ source that defines `const unsigned char SYMBOL[]` and
# `const std::size_t SYMBOLSize` with the bytes of INPUT, so a program carries
# build-time data (compiled AML, for instance) without files at run time.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
set(bytes "")
foreach(offset RANGE 0 ${hex_length} 32)
  string(SUBSTRING "${hex}" ${offset} 32 line)
  if(line STREQUAL "")
    break()
  endif()
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " line "${line}")
  string(STRIP "${line}" line)
  string(APPEND bytes "    ${line}\n")
endforeach()
get_filename_component(input_name ${INPUT} NAME)
file(WRITE ${OUTPUT}.tmp
"// Generated from ${input_name} at build time. Do not edit.
#include <cstddef>

namespace ${NAMESPACE} {

extern const unsigned char ${SYMBOL}[];
extern const std::size_t ${SYMBOL}Size;

const unsigned char ${SYMBOL}[] = {
${bytes}};
const std::size_t ${SYMBOL}Size = ${size};

} // namespace ${NAMESPACE}
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
