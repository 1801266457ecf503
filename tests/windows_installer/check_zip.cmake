# The portable zip holds one folder with the shipped program, README and licence,
# and its program is the one the installer ships.
#   cmake -DZIP=<zip> -DPROGRAM=<shipped wavelift.exe> -P check_zip.cmake
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar tf "${ZIP}" OUTPUT_VARIABLE listing RESULT_VARIABLE listed)
if(NOT listed EQUAL 0)
  message(FATAL_ERROR "cannot list ${ZIP}")
endif()
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" entries "${listing}")
list(FILTER entries EXCLUDE REGEX "/$")  # folder entries
list(SORT entries)
set(expected "Wavelift/LICENSE.txt;Wavelift/README.md;Wavelift/wavelift.exe")
if(NOT entries STREQUAL expected)
  message(FATAL_ERROR "the zip holds ${entries}, not ${expected}")
endif()

set(unpacked "${CMAKE_CURRENT_BINARY_DIR}/zip-check")
file(REMOVE_RECURSE "${unpacked}")
file(MAKE_DIRECTORY "${unpacked}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${ZIP}" WORKING_DIRECTORY "${unpacked}" RESULT_VARIABLE unzipped)
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${unpacked}/Wavelift/wavelift.exe" "${PROGRAM}"
                RESULT_VARIABLE differs)
file(REMOVE_RECURSE "${unpacked}")
if(NOT unzipped EQUAL 0 OR NOT differs EQUAL 0)
  message(FATAL_ERROR "the zip's wavelift.exe is not the shipped program ${PROGRAM}")
endif()
message(STATUS "${ZIP}: ${entries}")
