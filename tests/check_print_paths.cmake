# Checks that each print path is a file of its own, chosen by CMake: only
# host/internal/PrintJobCups.cpp includes CUPS, no source picks a path with the
# preprocessor, and no header that may be installed names anything of CUPS.
#   cmake -DSOURCE_DIR=<tree> -P check_print_paths.cmake
cmake_minimum_required(VERSION 3.25)

set(faults "")
set(cups "[Cc][Uu][Pp][Ss]|http_t|ipp_t")
# The installed headers are among these (the internal folder is never installed).
file(GLOB headers RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/component/*.h ${SOURCE_DIR}/host/*.h)
foreach(header IN LISTS headers)
  file(STRINGS ${SOURCE_DIR}/${header} lines REGEX "${cups}")
  foreach(line IN LISTS lines)
    list(APPEND faults "${header} names CUPS: ${line}")
  endforeach()
endforeach()
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/component/*.[ch]*
     ${SOURCE_DIR}/host/*.[ch]* ${SOURCE_DIR}/package/*.[ch]*)
foreach(source IN LISTS sources)
  file(STRINGS ${SOURCE_DIR}/${source} lines
       REGEX "^[ \t]*#[ \t]*(include[ \t]*<cups/|if.*(CUPS|PRINT_PATH))")
  foreach(line IN LISTS lines)
    if(NOT (source STREQUAL "host/internal/PrintJobCups.cpp" AND line MATCHES "include"))
      list(APPEND faults "${source} chooses or reaches a print path itself: ${line}")
    endif()
  endforeach()
endforeach()

if(NOT headers OR NOT "host/internal/PrintJobCups.cpp" IN_LIST sources)
  message(FATAL_ERROR "the print paths were not found below ${SOURCE_DIR}")
endif()
if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "print paths that leak out of their files:\n  ${text}")
endif()
message(STATUS "each print path keeps to its own file")
