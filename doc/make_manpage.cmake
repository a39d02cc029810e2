# Writes the manual page from its template and the command overview, the one source of
# the command tables: each "## Topic" becomes a subsection, each table row an entry.
#   cmake -DOVERVIEW=commands.md -DTEMPLATE=kritzelwerk.7.in -DOUTPUT=kritzelwerk.7
#         -DPROJECT_VERSION=x -P make_manpage.cmake
file(STRINGS "${OVERVIEW}" lines ENCODING UTF-8)

# Markdown's code spans in bold; troff's own characters escaped.
function(kritzel_roff out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REPLACE "−" "\\-" text "${text}")
  string(REPLACE "…" "..." text "${text}")
  string(REPLACE "×" "\\(mu" text "${text}")
  string(REGEX REPLACE "`([^`]*)`" "\\\\fB\\1\\\\fR" text "${text}")
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(commands "")
set(rows 0)
foreach(line IN LISTS lines)
  if(line MATCHES "^## (.*)$")
    kritzel_roff(topic "${CMAKE_MATCH_1}")
    string(APPEND commands ".SS ${topic}\n")
  elseif(line MATCHES "^\\| *(`.*`) *\\| *(.*[^ ]) *\\|$")
    set(name "${CMAKE_MATCH_1}")
    set(what "${CMAKE_MATCH_2}")
    string(REGEX REPLACE "`" "" name "${name}")
    kritzel_roff(name "${name}")
    kritzel_roff(what "${what}")
    string(APPEND commands ".TP\n.B ${name}\n${what}\n")
    math(EXPR rows "${rows} + 1")
  endif()
endforeach()
if(rows EQUAL 0)
  message(FATAL_ERROR "make_manpage: no command rows in ${OVERVIEW}")
endif()
string(REGEX REPLACE "\n$" "" KRITZEL_COMMANDS "${commands}")
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
