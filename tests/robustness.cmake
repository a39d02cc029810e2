# Random command sequences with hostile arguments: 10,000 fixed seeds. The allocator
# keeps freed pictures for reuse, so that thousands of fresh controls cost no page faults.
kritzel_test(test_random_sequences ${UEMF_LIBRARY})
target_include_directories(test_random_sequences PRIVATE ${UEMF_INCLUDE_DIR})
set_property(TEST test_random_sequences APPEND PROPERTY ENVIRONMENT
             "MALLOC_MMAP_THRESHOLD_=268435456" "MALLOC_TRIM_THRESHOLD_=1073741824")
kritzel_test(test_bad_inputs)
