# Gives the help project's keywords the identifiers Qt Creator asks for F1: the qualified
# name of the class or member ("kritzel::TTurtle::Forwd"), and for the framework's classes
# and their members the same without the namespace ("TTurtle::Forwd"), which cannot be
# taken for another library's. Doxygen appends its anchor to each identifier instead.
#   cmake -DINPUT=index.qhp -DOUTPUT=kritzelwerk.qhp -P qhp_identifiers.cmake
file(READ "${INPUT}" qhp)
# A member's anchor: "_a" and 32 hexadecimal digits; a compound's: a lone "_".
string(REGEX REPLACE " id=\"([^\"]*)_a[0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f]\""
       " id=\"\\1\"" qhp "${qhp}")
string(REGEX REPLACE " id=\"([^\"]*)_\"" " id=\"\\1\"" qhp "${qhp}")
string(REGEX REPLACE "(<keyword name=\"[^\"]*\" id=\")kritzel::(T[^\"]+)(\" ref=\"[^\"]*\"/>)"
       "\\1kritzel::\\2\\3\n\\1\\2\\3" qhp "${qhp}")
if(NOT qhp MATCHES "id=\"kritzel::TTurtle::Forwd\"")
  message(FATAL_ERROR "qhp_identifiers: ${INPUT} has no keyword kritzel::TTurtle::Forwd")
endif()
file(WRITE "${OUTPUT}" "${qhp}")
