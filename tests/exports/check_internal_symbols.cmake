# cmake -DLIBRARY=<shared library> -DFORMAT=elf|pe -DTOOL=<nm or objdump>
#       -DNAMES=<internal_names.txt> -P check_internal_symbols.cmake
#
# Fails when the library's symbol table (every defined symbol, hidden ones
# included, not only the exports) holds any name of the list: what serves
# only tests, tools and benchmarks stays out of what applications load.

foreach(variable LIBRARY FORMAT TOOL NAMES)
  if(NOT ${variable})
    message(FATAL_ERROR "check_internal_symbols.cmake needs -D${variable}=...")
  endif()
endforeach()

if(FORMAT STREQUAL "elf")
  set(arguments -C --defined-only)
elseif(FORMAT STREQUAL "pe")
  set(arguments -C -t)
else()
  message(FATAL_ERROR "FORMAT must be elf or pe, not ${FORMAT}")
endif()
execute_process(COMMAND "${TOOL}" ${arguments} "${LIBRARY}" OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} failed on ${LIBRARY}")
endif()
# A stripped library would pass whatever it holds.
string(FIND "${listing}" "vornmt::client::Connection::Connect(" probe)
if(probe EQUAL -1)
  message(FATAL_ERROR "${LIBRARY} has no symbol table to check (stripped?)")
endif()

file(STRINGS "${NAMES}" names REGEX "^[^#]")
set(found "")
foreach(name IN LISTS names)
  string(FIND "${listing}" "${name}" at)
  if(NOT at EQUAL -1)
    list(APPEND found "${name}")
  endif()
endforeach()
list(LENGTH names count)
if(found)
  list(JOIN found "\n  " text)
  message(FATAL_ERROR "${LIBRARY} defines internals that only tests, tools and benchmarks use:\n  ${text}")
endif()
message(STATUS "${LIBRARY}: none of the ${count} internal names")
