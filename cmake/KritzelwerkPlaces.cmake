# Where the Designer plugin and the Qt Creator wizard go is decided when installing, not
# when configuring: `cmake --install build --prefix DIR` may name any prefix. Into a
# system prefix (/usr, /usr/local or Qt's own) they go to the folders Designer and
# Qt Creator search by themselves; into any other prefix they stay below it.

# Prefixes in which programs find installed files with nothing set.
set(KRITZEL_SYSTEM_PREFIXES /usr /usr/local)
if(QT6_INSTALL_PREFIX)
  list(APPEND KRITZEL_SYSTEM_PREFIXES "${QT6_INSTALL_PREFIX}")
endif()
list(REMOVE_DUPLICATES KRITZEL_SYSTEM_PREFIXES)

# Emits an install step that sets <var>, at install time, to a destination relative to
# the install prefix: the way to the absolute <system_dir> for a system prefix, else the
# relative <fallback>. The install rules that follow use DESTINATION "\${<var>}".
function(kritzel_install_place var system_dir fallback)
  set(code [[
    set(@var@ "@fallback@")
    string(REGEX REPLACE "(.)/+$" "\\1" _kritzel_prefix "${CMAKE_INSTALL_PREFIX}")
    # Install scripts run without the project's policies: no IN_LIST here.
    foreach(_kritzel_system IN LISTS _kritzel_system_prefixes)
      if(_kritzel_prefix STREQUAL _kritzel_system)
        file(RELATIVE_PATH @var@ "${_kritzel_prefix}" "@system_dir@")
      endif()
    endforeach()
  ]])
  string(CONFIGURE "set(_kritzel_system_prefixes \"@KRITZEL_SYSTEM_PREFIXES@\")\n${code}" code
         @ONLY)
  install(CODE "${code}")
endfunction()
