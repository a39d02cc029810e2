# The Debian package, built by scripts/package with CPack: one package with the library,
# its headers and build files, the Designer plugin in Qt's plugin folder, the Qt Creator
# wizard, the demo and the documentation (reference, help file, manual page, examples).
# Configure with -DCMAKE_INSTALL_PREFIX=/usr for it.

set(CPACK_PACKAGE_NAME kritzelwerk)
set(CPACK_PACKAGE_VENDOR "Kritzel-Werk")
set(CPACK_PACKAGE_CONTACT "Kritzel-Werk <kritzelwerk@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turtle graphics widget for computer-science lessons")
# Debian wants the extended description in lines of less than 80 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "A Qt 6 widget, TTurtle, on which a pupil's C++ program draws by commanding a"
  "turtle: lines, circles, filled shapes, text and colour ramps, in centimetres"
  "with the origin in the middle. The drawing goes to the screen, a printer, an"
  "enhanced-metafile file or the clipboard."
  ""
  "The package holds the library with its headers, CMake package and pkg-config"
  "file, the Qt Designer plugin (palette page Kritzel-Werk), a Qt Creator"
  "project wizard, a demo program, the command reference (HTML, and a Qt help"
  "file for Qt Creator's F1), the manual page kritzelwerk(7) and the pupils'"
  "example programs; the Python module kritzelwerk for python3, with"
  "kritzelwerk.turtle for lessons written for Python's turtle; and the grader"
  "kritzelwerk-vergleich, which checks a class's drawings against the solution.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/dist)
set(CPACK_STRIP_FILES ON)
# The install steps see the real prefix (/usr), so the plugin and the wizard go to the
# folders Designer and Qt Creator search.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

set(KRITZEL_DEB_ARCH amd64)
find_program(KRITZEL_DPKG dpkg)
if(KRITZEL_DPKG)
  execute_process(COMMAND ${KRITZEL_DPKG} --print-architecture OUTPUT_VARIABLE KRITZEL_DEB_ARCH
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
set(KRITZEL_DEB_FILE "kritzelwerk_${PROJECT_VERSION}_${KRITZEL_DEB_ARCH}.deb")
set(CPACK_DEBIAN_FILE_NAME ${KRITZEL_DEB_FILE})
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${KRITZEL_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Runtime libraries from the binaries; to build a pupil's program, a compiler, Qt's
# development files and both build recipes' tools. CMake itself only recommends make,
# which generates for it by default (in a plain `cmake -S . -B build` and in Qt Creator
# without Ninja), so an install without recommendations needs it named here. Qt's own
# translations give every program its print, file and colour dialogs in the pupil's language.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${PROJECT_BINARY_DIR}")
# The grader kritzelwerk-vergleich builds pupils' programs by the same recipes, in a
# bubblewrap sandbox; clang's precompiled header and lld make a class's builds faster.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "g++, qt6-base-dev, qt6-svg-dev, libgl-dev, cmake, make, pkg-config, qt6-translations-l10n, bubblewrap")
# The Python module is built for one version of Debian's python3 and found by it alone.
if(KRITZEL_PYTHON)
  math(EXPR KRITZEL_PY_NEXT "${Python_VERSION_MINOR} + 1")
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS
         ", python3 (>= ${Python_VERSION_MAJOR}.${Python_VERSION_MINOR}~)"
         ", python3 (<< ${Python_VERSION_MAJOR}.${KRITZEL_PY_NEXT})")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "designer-qt6, qtcreator, clang, lld")
# The loader's cache is refreshed by dpkg's trigger, and the package has no maintainer
# scripts at all: dpkg keeps a package with a postrm listed as "rc" after a remove. CPack
# writes ldconfig scripts unless scripts of these names are given; names of files that
# do not exist stop that and add nothing.
set(KRITZEL_DEB_CONTROL ${PROJECT_BINARY_DIR}/debian-control)
file(WRITE ${KRITZEL_DEB_CONTROL}/triggers "activate-noawait ldconfig\n")
file(REMOVE ${KRITZEL_DEB_CONTROL}/postinst ${KRITZEL_DEB_CONTROL}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${KRITZEL_DEB_CONTROL}/triggers
    ${KRITZEL_DEB_CONTROL}/postinst ${KRITZEL_DEB_CONTROL}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Debian's documentation files: copyright and changelog.
set(KRITZEL_DEB_DOC ${PROJECT_BINARY_DIR}/debian-doc)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE KRITZEL_LICENSE)
string(REGEX REPLACE "\n\n" "\n.\n" KRITZEL_LICENSE_TEXT "${KRITZEL_LICENSE}")
string(REGEX REPLACE "\n([^\n])" "\n \\1" KRITZEL_LICENSE_TEXT " ${KRITZEL_LICENSE_TEXT}")
string(REGEX MATCH "Copyright[^\n]*" KRITZEL_COPYRIGHT_LINE "${KRITZEL_LICENSE}")
string(REGEX REPLACE "^Copyright (\\(c\\) )?" "" KRITZEL_COPYRIGHT_HOLDER
       "${KRITZEL_COPYRIGHT_LINE}")
file(WRITE ${KRITZEL_DEB_DOC}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Kritzel-Werk

Files: *
Copyright: ${KRITZEL_COPYRIGHT_HOLDER}
License: Expat
${KRITZEL_LICENSE_TEXT}
")
file(WRITE ${KRITZEL_DEB_DOC}/changelog
"kritzelwerk (${PROJECT_VERSION}) unstable; urgency=medium

  * Kritzel-Werk ${PROJECT_VERSION}.

 -- ${CPACK_PACKAGE_CONTACT}  Tue, 08 Dec 2026 00:00:00 +0000
")
configure_file(${PROJECT_SOURCE_DIR}/package/debian/kritzelwerk-demo.1
               ${KRITZEL_DEB_DOC}/kritzelwerk-demo.1 COPYONLY)
add_custom_command(OUTPUT ${KRITZEL_DEB_DOC}/changelog.gz ${KRITZEL_DEB_DOC}/kritzelwerk-demo.1.gz
  COMMAND gzip -9nkf ${KRITZEL_DEB_DOC}/changelog ${KRITZEL_DEB_DOC}/kritzelwerk-demo.1
  DEPENDS ${KRITZEL_DEB_DOC}/changelog ${KRITZEL_DEB_DOC}/kritzelwerk-demo.1 VERBATIM)
add_custom_target(kritzelwerk_deb_doc ALL
                  DEPENDS ${KRITZEL_DEB_DOC}/changelog.gz ${KRITZEL_DEB_DOC}/kritzelwerk-demo.1.gz)
install(FILES ${KRITZEL_DEB_DOC}/copyright ${KRITZEL_DEB_DOC}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kritzelwerk)
if(KRITZEL_EXAMPLES)
  install(FILES ${KRITZEL_DEB_DOC}/kritzelwerk-demo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

include(CPack)
