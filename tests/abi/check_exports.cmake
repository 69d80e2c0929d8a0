# Fails unless the dynamic symbol table of LIBRARY defines exactly the three
# entry points.
find_program(NM NAMES nm REQUIRED)
execute_process(COMMAND ${NM} -D --defined-only --format=posix ${LIBRARY}
                OUTPUT_VARIABLE table RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "nm could not read ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${table}")
set(names "")
foreach(line IN LISTS lines)
  string(REGEX MATCH "^[^ ]+" name "${line}")
  list(APPEND names ${name})
endforeach()
list(SORT names)
if(NOT names STREQUAL "ExportAnim;ExporterType;Extension")
  message(FATAL_ERROR "${LIBRARY} exports: ${names}\nexpected exactly ExportAnim;ExporterType;Extension")
endif()
message(STATUS "exports: ${names}")
