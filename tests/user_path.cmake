# The user's path, from an install to a pupil's first picture: the README's program and
# recipes against an installed build, the Qt Creator wizard's project, and the Debian
# package looked into, installed and removed.

# Tells the scripts whether a saved window shows a drawing.
add_executable(png_ink tools/png_ink.cpp)
target_link_libraries(png_ink PRIVATE Qt6::Gui kritzelwerk_warnings)
set(KRITZEL_USER_ENV "${KRITZEL_FONTS_ENV};XDG_RUNTIME_DIR=${CMAKE_CURRENT_BINARY_DIR}/runtime")

# The README's pupil program and both its build recipes, taken from README.md.
kritzel_script_test(installed_package TIMEOUT 600 ENV ${KRITZEL_USER_ENV}
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/installed_package.sh ${PROJECT_BINARY_DIR}
          ${PROJECT_SOURCE_DIR} $<TARGET_FILE:png_ink>)

# The wizard's project generated for "Stunde1", built and run; and Qt Creator parsing
# the wizard installed per user.
kritzel_script_test(qtcreator_wizard_project TIMEOUT 600 ENV ${KRITZEL_USER_ENV}
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wizard.sh ${PROJECT_BINARY_DIR} $<TARGET_FILE:png_ink>)
kritzel_script_test(qtcreator_wizard SKIPPABLE
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/qtcreator_wizard.sh ${PROJECT_SOURCE_DIR}/package/wizard)

# The Debian package as scripts/package makes it, in a tree of its own below this one.
set(KRITZEL_DEB ${PROJECT_BINARY_DIR}/dist/${KRITZEL_DEB_FILE})
kritzel_script_test(package_deb_build TIMEOUT 1800 PROPERTIES FIXTURES_SETUP kritzel_deb
  COMMAND ${CMAKE_COMMAND} -E env KRITZEL_PACKAGE_BUILD_DIR=${PROJECT_BINARY_DIR}/package-tree
          KRITZEL_DIST_DIR=${PROJECT_BINARY_DIR}/dist ${PROJECT_SOURCE_DIR}/scripts/package)
kritzel_script_test(package_deb_contents SKIPPABLE PROPERTIES FIXTURES_REQUIRED kritzel_deb
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/deb_contents.sh ${KRITZEL_DEB} ${PROJECT_VERSION}
          ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
# It changes the machine: alone, never beside other tests.
kritzel_script_test(package_deb_install SKIPPABLE TIMEOUT 900 ENV ${KRITZEL_USER_ENV}
  PROPERTIES FIXTURES_REQUIRED kritzel_deb RUN_SERIAL ON
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/deb_install.sh ${KRITZEL_DEB} ${PROJECT_SOURCE_DIR}
          $<TARGET_FILE:png_ink>)

# Where an install into /usr or /usr/local puts things, staged with DESTDIR.
kritzel_script_test(system_install
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/system_install.sh ${PROJECT_BINARY_DIR})
