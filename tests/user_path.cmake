# The user's path, from an install to a pupil's first picture: the README's program and
# recipes against an installed build, the Qt Creator wizard's project, and the Debian
# package looked into, installed and removed.

# Tells the scripts whether a saved window shows a drawing.
add_executable(png_ink tools/png_ink.cpp)
target_link_libraries(png_ink PRIVATE Qt6::Gui)
target_compile_options(png_ink PRIVATE ${KRITZEL_WARNINGS})
set(KRITZEL_USER_ENV "${KRITZEL_FONTS_ENV};XDG_RUNTIME_DIR=${CMAKE_CURRENT_BINARY_DIR}/runtime")

# The README's pupil program and both its build recipes, taken from README.md.
add_test(NAME installed_package
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/installed_package.sh ${PROJECT_BINARY_DIR}
                 ${PROJECT_SOURCE_DIR} $<TARGET_FILE:png_ink>)
set_tests_properties(installed_package PROPERTIES TIMEOUT 600 ENVIRONMENT "${KRITZEL_USER_ENV}")

# The wizard's project generated for "Stunde1", built and run; and Qt Creator parsing
# the wizard installed per user.
add_test(NAME qtcreator_wizard_project
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wizard.sh ${PROJECT_BINARY_DIR} $<TARGET_FILE:png_ink>)
set_tests_properties(qtcreator_wizard_project PROPERTIES TIMEOUT 600
                     ENVIRONMENT "${KRITZEL_USER_ENV}")
add_test(NAME qtcreator_wizard
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/qtcreator_wizard.sh
                 ${PROJECT_SOURCE_DIR}/package/wizard)
set_tests_properties(qtcreator_wizard PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)

# The Debian package as scripts/package makes it, in a tree of its own below this one.
set(KRITZEL_DEB ${PROJECT_BINARY_DIR}/dist/${KRITZEL_DEB_FILE})
add_test(NAME package_deb_build
         COMMAND ${CMAKE_COMMAND} -E env KRITZEL_PACKAGE_BUILD_DIR=${PROJECT_BINARY_DIR}/package-tree
                 KRITZEL_DIST_DIR=${PROJECT_BINARY_DIR}/dist ${PROJECT_SOURCE_DIR}/scripts/package)
set_tests_properties(package_deb_build PROPERTIES TIMEOUT 1800 FIXTURES_SETUP kritzel_deb)
add_test(NAME package_deb_contents
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/deb_contents.sh ${KRITZEL_DEB} ${PROJECT_VERSION}
                 ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
set_tests_properties(package_deb_contents PROPERTIES FIXTURES_REQUIRED kritzel_deb
                     SKIP_RETURN_CODE 77 TIMEOUT 300)
# It changes the machine: alone, never beside other tests.
add_test(NAME package_deb_install
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/deb_install.sh ${KRITZEL_DEB} ${PROJECT_SOURCE_DIR}
                 $<TARGET_FILE:png_ink>)
set_tests_properties(package_deb_install PROPERTIES FIXTURES_REQUIRED kritzel_deb RUN_SERIAL ON
                     SKIP_RETURN_CODE 77 TIMEOUT 900 ENVIRONMENT "${KRITZEL_USER_ENV}")

# Where an install into /usr or /usr/local puts things, staged with DESTDIR.
add_test(NAME system_install COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/system_install.sh ${PROJECT_BINARY_DIR})
set_tests_properties(system_install PROPERTIES TIMEOUT 300)
