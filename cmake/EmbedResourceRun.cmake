file(READ "${INPUT}" bytes HEX)
string(LENGTH "${bytes}" length)
math(EXPR size "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
# The zero after the data lets a text resource be used as a C string; the size leaves it out.
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}.\nextern const unsigned char ${SYMBOL}[] = {${bytes}0x00};\nextern const unsigned long ${SYMBOL}_size = ${size};\n")
