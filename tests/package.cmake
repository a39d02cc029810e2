# The package: registration, the Qt Designer plugin, resources, version data and form
# storage (form loader, uic and the form writer), and the plugin in the real Designer.
find_package(Qt6 REQUIRED COMPONENTS UiTools Xml)

qt6_wrap_ui(KRITZEL_TEST_FORM_HEADERS forms/turtle_form.ui)
kritzel_test(test_package kritzelwerk_package Qt6::UiTools Qt6::Xml)
target_sources(test_package PRIVATE ${KRITZEL_TEST_FORM_HEADERS})
target_include_directories(test_package PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
target_compile_definitions(test_package PRIVATE
  KRITZEL_DESIGNER_PLUGIN_DIR="${PROJECT_BINARY_DIR}/plugins/designer"
  KRITZEL_TEST_FORM="${CMAKE_CURRENT_SOURCE_DIR}/forms/turtle_form.ui")
add_dependencies(test_package kritzelwerk_designer)

add_test(NAME designer_plugin
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-xvfb
                 ${CMAKE_CURRENT_SOURCE_DIR}/designer_plugin.sh ${PROJECT_BINARY_DIR}/plugins)
set_tests_properties(designer_plugin PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120
                     ENVIRONMENT "${KRITZEL_FONTS_ENV}")
