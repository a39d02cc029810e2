# Checks the layering by the include lines: the component reaches Qt only through the host,
# and nothing below the package reaches back up; inside the host every unit includes only
# units of a lower level; installed headers never include an internal one; the examples
# include the library only as installed programs do.
#   cmake -DSOURCE_DIR=<tree> -P check_layers.cmake
cmake_minimum_required(VERSION 3.25)

# The host's order, lowest first. A unit (X.h with X.cpp, in host/ or host/internal/)
# includes only units of a lower level, so that no include loop can come back. A new
# unit is placed here.
set(host_levels
  "Export Types"                                   # basic types, the export macro
  "Exceptions Strings"                             # errors, text
  "Services"                                       # the table of replaceable services
  # the clock, the keys, the screen and the helpers that need no canvas
  "Clock Keyboard Screen DeviceContext Colors Registry Guarded SafeFile EmfWriter Raster Images PictureFormats RuntimeFolder"
  # the canvas interface, the paint queue, the platform parts of the file writer and of
  # the runtime folder
  "Canvas PaintQueue SafeFilePosix SafeFileQt RuntimeFolderPosix RuntimeFolderQt"
  # drawing with QPainter; pictures and drawings kept without a display (the latter asked
  # of the controls on the paint queue)
  "PainterCanvas Snapshot"
  "Bitmap Metafile"                                # canvases of their own
  "Clipboard PictureFile Application"              # the application and what uses devices
  "Form Dialogs PaintBox PrintJob"                 # windows, controls, a print path
  "Printer PrintJobCups PrintJobQt"                # the printer and its print paths
  "Host")                                          # everything, for the component
set(level 0)
foreach(units IN LISTS host_levels)
  math(EXPR level "${level} + 1")
  string(REPLACE " " ";" units "${units}")
  foreach(unit IN LISTS units)
    set(level_of_${unit} ${level})
  endforeach()
endforeach()

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

# What a source includes, one entry per include line: the bracket or quote that opens the
# name, then the name ("<QImage", "\"Types.h").
function(included_by source out)
  file(STRINGS ${SOURCE_DIR}/${source} lines REGEX "^[ \t]*#[ \t]*include")
  set(entries "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]+)[>\"].*" "\\1\\2" entry
           "${line}")
    list(APPEND entries "${entry}")
  endforeach()
  set(${out} "${entries}" PARENT_SCOPE)
endfunction()

set(faults "")
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/component/*.h ${SOURCE_DIR}/component/*.cpp
     ${SOURCE_DIR}/host/*.h ${SOURCE_DIR}/host/*.cpp)
foreach(source IN LISTS sources)
  included_by(${source} entries)
  foreach(included IN LISTS entries)
    string(SUBSTRING "${included}" 0 1 kind)
    string(SUBSTRING "${included}" 1 -1 name)
    if(source MATCHES "^component/")
      if(kind STREQUAL "<")
        if(NOT name IN_LIST standard)
          list(APPEND faults "${source}: <${name}> is neither the host nor the standard library")
        endif()
      elseif(NOT name MATCHES "^host/" AND NOT EXISTS ${SOURCE_DIR}/component/${name})
        list(APPEND faults "${source}: \"${name}\" lies outside component/ and host/")
      elseif(name MATCHES "^host/internal/" AND NOT name STREQUAL "host/internal/PictureFile.h")
        # Of the host's internals the component needs only the surface SaveToFile draws on.
        list(APPEND faults "${source}: \"${name}\" is an internal header of the host")
      endif()
    elseif(name MATCHES "^(\\.\\./)?(component|package)/" OR name MATCHES "Turtle\\.h$")
      list(APPEND faults "${source}: the host includes \"${name}\" from a layer above it")
    elseif(kind STREQUAL "\"")
      # One unit of the host including another: the level must fall.
      get_filename_component(dir ${source} DIRECTORY)
      get_filename_component(target ${SOURCE_DIR}/${dir}/${name} ABSOLUTE)
      file(RELATIVE_PATH target ${SOURCE_DIR} ${target})
      get_filename_component(from ${source} NAME_WE)
      get_filename_component(to ${target} NAME_WE)
      if(source MATCHES "^host/[^/]+\\.h$" AND target MATCHES "^host/internal/")
        list(APPEND faults "${source}: an installed header includes the internal \"${name}\"")
      endif()
      if(NOT target MATCHES "^host/" OR NOT EXISTS ${SOURCE_DIR}/${target})
        list(APPEND faults "${source}: \"${name}\" is no header of the host")
      elseif(NOT DEFINED level_of_${from})
        list(APPEND faults "${source}: ${from} has no place in the host's order (check_layers.cmake)")
      elseif(NOT DEFINED level_of_${to})
        list(APPEND faults "${target}: ${to} has no place in the host's order (check_layers.cmake)")
      elseif(NOT from STREQUAL to AND NOT level_of_${to} LESS level_of_${from})
        list(APPEND faults "${source}: ${from} includes ${to}, which is not below it in the host's order")
      endif()
    endif()
  endforeach()
endforeach()

# The component's header is installed too: it includes no internal header of the host.
file(STRINGS ${SOURCE_DIR}/component/Turtle.h lines REGEX "^[ \t]*#[ \t]*include.*internal/")
foreach(line IN LISTS lines)
  list(APPEND faults "component/Turtle.h: an installed header includes an internal one: ${line}")
endforeach()

# The examples are built as a pupil builds them against the installed package: they
# include <kritzelwerk/...> (only what is installed), Qt, the standard library and
# their own headers.
file(GLOB_RECURSE examples RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/examples/*.h ${SOURCE_DIR}/examples/*.cpp)
foreach(source IN LISTS examples)
  included_by(${source} entries)
  get_filename_component(dir ${source} DIRECTORY)
  foreach(included IN LISTS entries)
    string(SUBSTRING "${included}" 0 1 kind)
    string(SUBSTRING "${included}" 1 -1 name)
    if(kind STREQUAL "\"")
      if(NOT EXISTS ${SOURCE_DIR}/${dir}/${name} OR name MATCHES "\\.\\./")
        list(APPEND faults "${source}: \"${name}\" is none of the example's own headers")
      endif()
    elseif(name MATCHES "^kritzelwerk/")
      string(REGEX REPLACE "^kritzelwerk/" "" inside "${name}")
      if(NOT name STREQUAL "kritzelwerk/Turtle.h" AND
         (NOT inside MATCHES "^host/[^/]+\\.h$" OR NOT EXISTS ${SOURCE_DIR}/${inside}))
        list(APPEND faults "${source}: <${name}> is not installed")
      endif()
    elseif(name MATCHES "(^|/)(host|component|package|internal)/")
      list(APPEND faults "${source}: <${name}> is not how an installed program includes the library")
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
