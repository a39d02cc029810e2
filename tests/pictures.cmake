# The demo's lesson drawings against the reference pictures in tests/pictures/.
kritzel_test(test_pictures kritzel_lessons)
set_property(TEST test_pictures APPEND PROPERTY ENVIRONMENT
             "KRITZEL_PICTURES_DIR=${CMAKE_CURRENT_SOURCE_DIR}/pictures")
