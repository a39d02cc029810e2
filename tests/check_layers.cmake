# Checks the layering by the include lines: the component reaches Qt only through the host,
# and nothing below the package reaches back up.
#   cmake -DSOURCE_DIR=<tree> -P check_layers.cmake
cmake_minimum_required(VERSION 3.25)

# The C++ standard library's headers, the only angle-bracket includes the component may use.
set(standard
  algorithm any array atomic barrier bit bitset cassert cctype cerrno cfenv cfloat charconv
  chrono cinttypes climits clocale cmath codecvt compare complex concepts condition_variable
  coroutine csetjmp csignal cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar
  cwctype deque exception execution expected filesystem format forward_list fstream functional
  future initializer_list iomanip ios iosfwd iostream istream iterator latch limits list locale
  map memory memory_resource mutex new numbers numeric optional ostream queue random ranges
  ratio regex scoped_allocator semaphore set shared_mutex source_location span sstream stack
  stdexcept stop_token streambuf string string_view syncstream system_error thread tuple
  type_traits typeindex typeinfo unordered_map unordered_set utility valarray variant vector
  version)

set(faults "")
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/component/*.h ${SOURCE_DIR}/component/*.cpp
     ${SOURCE_DIR}/host/*.h ${SOURCE_DIR}/host/*.cpp)
foreach(source IN LISTS sources)
  file(STRINGS ${SOURCE_DIR}/${source} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]+)[>\"].*" "\\1\\2" included
           "${line}")
    string(SUBSTRING "${included}" 0 1 kind)
    string(SUBSTRING "${included}" 1 -1 name)
    if(source MATCHES "^component/")
      if(kind STREQUAL "<")
        if(NOT name IN_LIST standard)
          list(APPEND faults "${source}: <${name}> is neither the host nor the standard library")
        endif()
      elseif(NOT name MATCHES "^host/" AND NOT EXISTS ${SOURCE_DIR}/component/${name})
        list(APPEND faults "${source}: \"${name}\" lies outside component/ and host/")
      endif()
    elseif(name MATCHES "^(\\.\\./)?(component|package)/" OR name MATCHES "Turtle\\.h$")
      list(APPEND faults "${source}: the host includes \"${name}\" from a layer above it")
    endif()
  endforeach()
endforeach()

list(LENGTH sources count)
if(count EQUAL 0)
  message(FATAL_ERROR "no sources found below ${SOURCE_DIR}")
endif()
if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "include lines that break the layering:\n  ${text}")
endif()
message(STATUS "${count} files of component/ and host/ keep to their layers")
