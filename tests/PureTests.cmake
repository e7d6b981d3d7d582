# Tests of the byte-level code: built natively under the sanitizers and also into the
# Windows test executables, so both compilers and both wchar_t widths see them.
set(ORVETTA_PURE_TEST_SOURCES
    ${CMAKE_SOURCE_DIR}/tests/capture/format_words_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/capture/temp_names_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/capture/abort_text_test.cpp
)
