# Checks that platform code keeps to the files named for a platform. Such a file carries
# an internal unit for one kind of system or one print path, host/internal/<Unit><Kind>.cpp
# beside <Unit>.h (PrintJobCups.cpp, SafeFilePosix.cpp), and CMake picks it. Outside these
# files no source chooses a platform with the preprocessor (Q_OS_*, _WIN32, __APPLE__,
# O_TMPFILE, CUPS and the like) or includes a system's own headers (<unistd.h>,
# <windows.h>, <cups/cups.h>), and no header that may be installed names anything of CUPS.
#   cmake -DSOURCE_DIR=<tree> -P check_platform_code.cmake
cmake_minimum_required(VERSION 3.25)

# The kinds a platform file is named for.
set(kinds "Posix|Cups|Qt|Windows|Mac")
# What a platform's #if asks about: the system, its C library, a system's flag, a print path.
set(platform_words
    "Q_OS_|_WIN32|_WIN64|WIN32|__APPLE__|__MACH__|__linux|__unix|BSD__|__CYGWIN__|__MINGW"
    "|__ANDROID__|__GLIBC__|_POSIX_|O_TMPFILE|CUPS|PRINT_PATH")
string(JOIN "" platform_words ${platform_words})
# A system's own headers, beside the C++ standard library and Qt.
set(system_headers
    "unistd|fcntl|dirent|pwd|grp|dlfcn|pthread|poll|termios|windows|winbase|io|direct"
    "|shlobj|sys/[A-Za-z_]+|cups/[A-Za-z_]+|mach/[A-Za-z_]+|CoreFoundation/[A-Za-z_]+")
string(JOIN "" system_headers ${system_headers})
# The one exception, with its reason: the turtle's sine and cosine take the C library's
# sincosl where it has one, inside an inline function that every step of the turtle calls.
set(allowed "component/DeviceMath.h: #if defined(__GLIBC__)")

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
     ${SOURCE_DIR}/host/*.[ch]* ${SOURCE_DIR}/package/*.[ch]* ${SOURCE_DIR}/examples/*.[ch]*)
set(platform_files "")
foreach(source IN LISTS sources)
  set(unit "")
  set(kind "")
  if(source MATCHES "^host/internal/(.+)(${kinds})\\.cpp$")
    set(unit ${CMAKE_MATCH_1})
    set(kind ${CMAKE_MATCH_2})
  endif()
  if(unit AND EXISTS ${SOURCE_DIR}/host/internal/${unit}.h)
    list(APPEND platform_files ${source})
    # Of the print paths' libraries, each file reaches only its own.
    file(STRINGS ${SOURCE_DIR}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*<cups/")
    if(lines AND NOT kind STREQUAL "Cups")
      list(APPEND faults "${source} reaches CUPS outside the CUPS print path: ${lines}")
    endif()
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${source} lines
       REGEX "^[ \t]*#[ \t]*(if|ifdef|ifndef|elif|elifdef|elifndef)[ \t(].*(${platform_words})")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(NOT "${source}: ${line}" IN_LIST allowed)
      list(APPEND faults "${source} chooses a platform itself: ${line}")
    endif()
  endforeach()
  file(STRINGS ${SOURCE_DIR}/${source} lines
       REGEX "^[ \t]*#[ \t]*include[ \t]*<(${system_headers})\\.h>")
  foreach(line IN LISTS lines)
    list(APPEND faults "${source} includes a system's own header: ${line}")
  endforeach()
endforeach()

foreach(expected IN ITEMS host/internal/PrintJobCups.cpp host/internal/SafeFilePosix.cpp)
  if(NOT expected IN_LIST platform_files)
    message(FATAL_ERROR "the platform files were not found below ${SOURCE_DIR}")
  endif()
endforeach()
if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "platform code outside the files named for a platform:\n  ${text}")
endif()
list(JOIN platform_files ", " text)
message(STATUS "platform code keeps to its own files: ${text}")
