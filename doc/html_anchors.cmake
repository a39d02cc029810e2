# Puts each member's anchor on a line of its own just above its heading, where help viewers
# that skip empty elements (Qt Creator's) find it: F1 then scrolls to the member, not to the
# top of its class, and the heading shows whole below the pane's top edge.
#   cmake -DHTML_DIR=html -P html_anchors.cmake
file(GLOB pages "${HTML_DIR}/*.html")
foreach(page IN LISTS pages)
  file(READ "${page}" html)
  string(REGEX REPLACE "<a id=\"([^\"]+)\" name=\"[^\"]+\"></a>\n<h2 class=\"memtitle\">"
         "<div class=\"memanchor\" id=\"\\1\">&#160;</div>\n<h2 class=\"memtitle\">" fixed
         "${html}")
  if(NOT fixed STREQUAL html)
    file(WRITE "${page}" "${fixed}")
  endif()
endforeach()
