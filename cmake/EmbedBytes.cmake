# Writes INPUT as a byte array definition for quillet::EmbeddedStationTable().
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR byteCount "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}
"// Generated from the station table at build time; do not edit.\n"
"#include \"stations/station_table_data.h\"\n"
"namespace quillet {\n"
"namespace {\n"
"const unsigned char kStationTable[${byteCount}] = {\n${bytes}\n};\n"
"}\n"
"std::string_view EmbeddedStationTable() {\n"
"  return {reinterpret_cast<const char*>(kStationTable), sizeof kStationTable};\n"
"}\n"
"}  // namespace quillet\n")
