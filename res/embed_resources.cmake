# Writes OUTPUT: a C++ source that holds every dialog template, menu and bitmap under
# ROOT as bytes, for EmbeddedFiles() (win/resources.h).
# Run as: cmake -DROOT=<res folder> -DOUTPUT=<file.cpp> -P embed_resources.cmake
if(NOT ROOT OR NOT OUTPUT)
  message(FATAL_ERROR "embed_resources.cmake needs ROOT and OUTPUT")
endif()

file(GLOB_RECURSE _files RELATIVE ${ROOT} ${ROOT}/dialogs/*.dlg ${ROOT}/menus/*.menu ${ROOT}/bitmaps/*.bmp)
list(SORT _files)

set(_out "// Generated from res/ by res/embed_resources.cmake; do not edit.\n")
string(APPEND _out "#include \"win/resources.h\"\n\nnamespace {\n\n")
set(_table "")
set(_index 0)
foreach(_name IN LISTS _files)
  file(READ ${ROOT}/${_name} _hex HEX)
  string(LENGTH "${_hex}" _hexLength)
  math(EXPR _size "${_hexLength} / 2")
  # Every byte as \xHH, 32 to a line; adjacent literals join after escapes are read.
  set(_escaped "")
  set(_at 0)
  while(_at LESS _hexLength)
    string(SUBSTRING "${_hex}" ${_at} 64 _chunk)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" _chunk "${_chunk}")
    string(APPEND _escaped "\n    \"${_chunk}\"")
    math(EXPR _at "${_at} + 64")
  endwhile()
  if(_escaped STREQUAL "")
    set(_escaped "\n    \"\"")
  endif()
  string(APPEND _out "constexpr char kFile${_index}[] =${_escaped};\n")
  string(APPEND _table "    {\"${_name}\", std::string_view(kFile${_index}, ${_size})},\n")
  math(EXPR _index "${_index} + 1")
endforeach()

if(_index EQUAL 0)
  string(APPEND _out "}  // namespace\n\nstd::span<const EmbeddedFile> EmbeddedFiles() { return {}; }\n")
else()
  string(APPEND _out "\nconstexpr EmbeddedFile kFiles[] = {\n${_table}};\n\n}  // namespace\n\n")
  string(APPEND _out "std::span<const EmbeddedFile> EmbeddedFiles() { return kFiles; }\n")
endif()

file(WRITE ${OUTPUT} "${_out}")
