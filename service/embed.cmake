# Writes a file into a C++ source as a std::string_view: cmake -DINPUT= -DOUTPUT= -DNAME= -P
file(READ "${INPUT}" content)
string(FIND "${content}" ")embedded\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the raw string's closing delimiter")
endif()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n#include <string_view>\n"
  "namespace molvex::service {\n"
  "std::string_view ${NAME}() {\n  static constexpr char kText[] = R\"embedded(${content})embedded\";\n"
  "  return {kText, sizeof kText - 1};\n}\n}  // namespace molvex::service\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
