# Puts each member's anchor on its heading, where help viewers that skip empty elements
# (Qt Creator's) find it: F1 then scrolls to the member, not to the top of its class.
#   cmake -DHTML_DIR=html -P html_anchors.cmake
file(GLOB pages "${HTML_DIR}/*.html")
foreach(page IN LISTS pages)
  file(READ "${page}" html)
  string(REGEX REPLACE "<a id=\"([^\"]+)\" name=\"[^\"]+\"></a>\n<h2 class=\"memtitle\">"
         "<h2 class=\"memtitle\" id=\"\\1\">" fixed "${html}")
  if(NOT fixed STREQUAL html)
    file(WRITE "${page}" "${fixed}")
  endif()
endforeach()
