# Writes a C++ source that holds GLSL files as string constants of the
# namespace Shaders. Run at build time with
#   cmake -DOUTPUT=<file.cpp> -DSOURCE_DIR=<folder> -DSHADERS=<name=file,...> -P embed.cmake
# where each name=file pair makes Shaders::<name> from <folder>/<file>.

string(REPLACE "," ";" pairs "${SHADERS}")
set(text "// Generated from the GLSL sources at build time; edits here are lost.\n")
string(APPEND text "#include \"shaders.h\"\n\nnamespace Shaders {\n")
foreach(pair IN LISTS pairs)
  string(FIND "${pair}" "=" eq)
  string(SUBSTRING "${pair}" 0 ${eq} name)
  math(EXPR start "${eq} + 1")
  string(SUBSTRING "${pair}" ${start} -1 file)
  file(READ "${SOURCE_DIR}/${file}" source)
  # One C string literal per source line, newlines kept.
  string(REPLACE "\\" "\\\\" source "${source}")
  string(REPLACE "\"" "\\\"" source "${source}")
  string(REPLACE "\n" "\\n\"\n    \"" source "${source}")
  string(APPEND text "\nconst char* const ${name} =\n    \"${source}\";\n")
endforeach()
string(APPEND text "\n} // namespace Shaders\n")
file(WRITE "${OUTPUT}" "${text}")
