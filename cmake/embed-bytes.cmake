# cmake -DINPUT=file -DOUTPUT=header -DNAME=symbol -P embed-bytes.cmake
# Writes the bytes of INPUT as a C array, so a test can compare against data
# produced outside the compiler.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}\n#pragma once\nstatic const unsigned char ${NAME}[] = {${bytes}};\nstatic const unsigned ${NAME}Size = ${size};\n")
