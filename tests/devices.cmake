# Output devices: metafile file, clipboard and printer.

# Switching devices and the recorded metafile, read back with libUEMF's safe parser.
kritzel_test(test_devices ${UEMF_LIBRARY})
target_include_directories(test_devices PRIVATE ${UEMF_INCLUDE_DIR})

# The clipboard in-process, and as other programs see it under a private X server.
add_executable(test_clipboard test_clipboard.cpp)
target_link_libraries(test_clipboard PRIVATE kritzel_test_support)
target_compile_options(test_clipboard PRIVATE ${KRITZEL_WARNINGS})
add_test(NAME test_clipboard COMMAND test_clipboard --gtest_filter=-ClipboardX11.*)
set_tests_properties(test_clipboard PROPERTIES ENVIRONMENT "${KRITZEL_TEST_ENV}" TIMEOUT 300)
add_test(NAME test_clipboard_x11
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-xvfb $<TARGET_FILE:test_clipboard>
                 --gtest_filter=ClipboardX11.*)
set_tests_properties(test_clipboard_x11 PROPERTIES ENVIRONMENT "${KRITZEL_WINDOW_ENV}"
                     SKIP_RETURN_CODE 77 TIMEOUT 300)

# Printing: to PDF files, with no queue at all, and through a private CUPS server whose
# default queue is cups-pdf.
add_executable(test_printer test_printer.cpp)
target_link_libraries(test_printer PRIVATE kritzel_test_support Qt6::PrintSupport)
target_compile_options(test_printer PRIVATE ${KRITZEL_WARNINGS})
add_test(NAME test_printer COMMAND test_printer --gtest_filter=-PrinterNoQueue.*:PrinterCups.*)
set_tests_properties(test_printer PROPERTIES ENVIRONMENT "${KRITZEL_TEST_ENV}" TIMEOUT 300)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/no-cups)
add_test(NAME test_printer_no_queue COMMAND test_printer --gtest_filter=PrinterNoQueue.*)
set_tests_properties(test_printer_no_queue PROPERTIES TIMEOUT 120 ENVIRONMENT
  "${KRITZEL_TEST_ENV};CUPS_SERVER=${CMAKE_CURRENT_BINARY_DIR}/no-cups/none.sock;CUPS_SERVERROOT=${CMAKE_CURRENT_BINARY_DIR}/no-cups;PRINTER=;LPDEST=;KRITZEL_EXPECT_NO_QUEUE=1")
# Built without CUPS, jobs go through Qt's own print path, which prints on the queue but
# does not say whether the queue took the job: the test of a refusing queue needs CUPS's
# answer and is left out there.
set(KRITZEL_CUPS_TESTS "PrinterCups.*")
if(NOT KRITZEL_CUPS)
  string(APPEND KRITZEL_CUPS_TESTS ":-PrinterCups.AQueueThatRefuses*")
  message(STATUS "Kritzel-Werk without CUPS: the refusing-queue print test is left out")
endif()
add_test(NAME test_printer_cups
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-cups $<TARGET_FILE:test_printer>
                 --gtest_filter=${KRITZEL_CUPS_TESTS})
set_tests_properties(test_printer_cups PROPERTIES ENVIRONMENT "${KRITZEL_TEST_ENV}"
                     SKIP_RETURN_CODE 77 TIMEOUT 300)

# Every lesson's metafile drawn by Inkscape and LibreOffice, against the screen picture.
kritzel_test(test_metafile_readers kritzel_lessons)
set_tests_properties(test_metafile_readers PROPERTIES TIMEOUT 600)
