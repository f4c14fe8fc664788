# Helpers for the test suite.
find_package(GTest REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Test)
include(GoogleTest)

# The environment every test runs in: no display, Chromium without its sandbox (we run as
# root in CI), a private runtime directory so Qt stays quiet, and a private cache folder for
# the search indexes the main window builds.
set(ORVELLE_TEST_ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen"
    "QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --disable-gpu"
    "QT_LOGGING_RULES=qt.webenginecontext.info=false"
    "XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/test-runtime"
    "XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/test-cache")
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-runtime)
file(CHMOD ${CMAKE_BINARY_DIR}/test-runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

# orvelle_add_test(NAME name SOURCES ... LIBRARIES ... [GTEST])
# A GoogleTest program registers each of its cases; a Qt Test program registers as one test.
function(orvelle_add_test)
    cmake_parse_arguments(T "GTEST" "NAME;TIMEOUT" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBRARIES})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    if(T_GTEST)
        target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gtest_main)
        gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60
            PROPERTIES ENVIRONMENT "${ORVELLE_TEST_ENVIRONMENT}" TIMEOUT ${T_TIMEOUT})
    else()
        target_link_libraries(${T_NAME} PRIVATE Qt6::Test)
        add_test(NAME ${T_NAME} COMMAND ${T_NAME})
        set_tests_properties(${T_NAME} PROPERTIES
            ENVIRONMENT "${ORVELLE_TEST_ENVIRONMENT}" TIMEOUT ${T_TIMEOUT})
    endif()
endfunction()
