# Writes the linker version script (anonymous: no symbol versions) that exports exactly the
# functions pella.h declares.
# Usage: cmake -DHEADER=pella.h -DOUTPUT=pella.map -P exports_map.cmake
file(READ ${HEADER} text)
string(REGEX MATCHALL "PELLA_API [^;(\n]*[ *]([A-Za-z_][A-Za-z_0-9]*)[ ]*\\(" declarations "${text}")
set(body "")
set(count 0)
foreach(declaration IN LISTS declarations)
  string(REGEX REPLACE ".*[ *]([A-Za-z_][A-Za-z_0-9]*)[ ]*\\($" "\\1" name "${declaration}")
  if(NOT name MATCHES "^__")  # the macro's own definition
    string(APPEND body "    ${name};\n")
    math(EXPR count "${count} + 1")
  endif()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "no PELLA_API declaration found in ${HEADER}")
endif()
file(WRITE ${OUTPUT}.new "{\n  global:\n${body}  local:\n    *;\n};\n")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
