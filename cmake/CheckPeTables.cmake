# Checks the export and import tables of a 32-bit Windows DLL.
#
#   cmake -DOBJDUMP=i686-w64-mingw32-objdump -DFILE=kinexport.dll
#         -DEXPORTS=ExportAnim,ExporterType,Extension
#         -DIMPORTS=KERNEL32.dll,msvcrt.dll -P CheckPeTables.cmake
#
# Fails, naming what it found, unless FILE is a PE32 i386 DLL that exports
# exactly the names in EXPORTS (by name, undecorated, none by ordinal alone,
# none forwarded) and imports from no DLL outside IMPORTS (compared without
# regard to case, as Windows does).
cmake_minimum_required(VERSION 3.25)

foreach(variable OBJDUMP FILE EXPORTS IMPORTS)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "CheckPeTables: ${variable} is not set")
  endif()
endforeach()
# Lists may come with "," in place of ";".
string(REPLACE "," ";" EXPORTS "${EXPORTS}")
string(REPLACE "," ";" IMPORTS "${IMPORTS}")
if(NOT EXISTS "${FILE}")
  message(FATAL_ERROR "CheckPeTables: ${FILE} does not exist")
endif()

execute_process(COMMAND "${OBJDUMP}" -p "${FILE}"
                OUTPUT_VARIABLE dump ERROR_VARIABLE dump_error
                RESULT_VARIABLE dump_result)
if(NOT dump_result EQUAL 0)
  message(FATAL_ERROR
    "CheckPeTables: ${OBJDUMP} -p ${FILE} failed (${dump_result}): ${dump_error}")
endif()

set(problems "")

# The image kind: 32-bit PE for i386, flagged as a DLL.
if(NOT dump MATCHES "file format pei-i386")
  list(APPEND problems "not a pei-i386 image")
endif()
if(NOT dump MATCHES "Magic[ \t]+010b[ \t]+\\(PE32\\)")
  list(APPEND problems "optional header is not PE32")
endif()
string(REGEX MATCH "Characteristics 0x[0-9a-fA-F]+\n([ \t]+[^\n]+\n)+"
       characteristics "${dump}")
if(NOT characteristics MATCHES "\n[ \t]+DLL\n")
  list(APPEND problems "the image is not flagged as a DLL")
endif()

# Exports. objdump lists the address table (one line per exported function,
# named or not) and the name table; both must hold exactly EXPORTS.
string(REGEX MATCHALL "\\+base\\[ *[0-9]+\\] [0-9a-fA-F]+ [A-Za-z]+ RVA"
       address_entries "${dump}")
set(forwarded ${address_entries})
list(FILTER forwarded EXCLUDE REGEX " Export RVA$")
if(forwarded)
  list(APPEND problems "forwarded exports: ${forwarded}")
endif()
list(LENGTH address_entries address_count)

# The name table: the lines "\t[   k] Name" after its heading, up to the
# first line of another shape.
set(names "")
string(REPLACE ";" "," dump_lines "${dump}")
string(REPLACE "\n" ";" dump_lines "${dump_lines}")
set(in_name_table FALSE)
foreach(line IN LISTS dump_lines)
  if(line STREQUAL "[Ordinal/Name Pointer] Table")
    set(in_name_table TRUE)
  elseif(in_name_table)
    if(line MATCHES "^\t\[ *[0-9]+\] (.+)$")
      list(APPEND names "${CMAKE_MATCH_1}")
    else()
      set(in_name_table FALSE)
    endif()
  endif()
endforeach()

set(expected_exports ${EXPORTS})
list(SORT expected_exports)
set(sorted_names ${names})
list(SORT sorted_names)
list(LENGTH expected_exports expected_count)
if(NOT sorted_names STREQUAL expected_exports)
  list(APPEND problems
    "exports by name are [${sorted_names}], expected exactly [${expected_exports}]")
endif()
if(NOT address_count EQUAL expected_count)
  list(APPEND problems
    "the export address table has ${address_count} entries, expected ${expected_count}")
endif()
foreach(name IN LISTS names)
  if(name MATCHES "^_|@[0-9]+$")
    list(APPEND problems "export '${name}' is decorated")
  endif()
endforeach()

# Imports, including delay-loaded ones: every "DLL Name" objdump prints.
string(REGEX MATCHALL "DLL Name: [^\n]+" import_lines "${dump}")
set(allowed "")
foreach(dll IN LISTS IMPORTS)
  string(TOLOWER "${dll}" dll)
  list(APPEND allowed "${dll}")
endforeach()
set(imports "")
foreach(line IN LISTS import_lines)
  string(REGEX REPLACE "^DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  list(APPEND imports "${dll}")
  string(TOLOWER "${dll}" lower)
  if(NOT lower IN_LIST allowed)
    list(APPEND problems "imports ${dll}, which is not one of [${IMPORTS}]")
  endif()
endforeach()

if(problems)
  list(JOIN problems "\n  " report)
  message(FATAL_ERROR "CheckPeTables: ${FILE}:\n  ${report}")
endif()
message(STATUS "${FILE}: PE32 i386 DLL; exports [${names}]; imports [${imports}]")
