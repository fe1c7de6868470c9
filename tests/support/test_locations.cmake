# ccdcrc_test_locations(TARGET PROGRAM): where a test program finds its files
# and the program it runs (compile definitions the suites read).
function(ccdcrc_test_locations target program)
  target_compile_definitions(${target} PRIVATE
    CCDCRC_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    CCDCRC_EXAMPLES="${PROJECT_SOURCE_DIR}/examples"
    CCDCRC_BENCH="${PROJECT_SOURCE_DIR}/bench"
    CCDCRC_DOC="${PROJECT_SOURCE_DIR}/docs"
    CCDCRC_PACKAGING="${PROJECT_SOURCE_DIR}/packaging"
    CCDCRC_CORPUS="${PROJECT_SOURCE_DIR}/../shared/corpus"
    CCDCRC_TEST_OUTPUT="${CMAKE_CURRENT_BINARY_DIR}"
    CCDCRC_PROGRAM="${program}")
endfunction()
