# Helpers for the test suite.
#
# GoogleTest comes installed, or, for a cross build, compiled from its sources
# (Debian's googletest package puts them in /usr/src/googletest).
if(CMAKE_CROSSCOMPILING)
    set(ORVELLE_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources to build")
else()
    set(ORVELLE_GTEST_SOURCE_DIR "" CACHE PATH "GoogleTest sources to build (empty: installed)")
endif()
if(ORVELLE_GTEST_SOURCE_DIR)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${ORVELLE_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
    find_package(GTest REQUIRED)
endif()
if(ORVELLE_WITH_QT)
    find_package(Qt6 REQUIRED COMPONENTS Test)
endif()
include(GoogleTest)

# Paths of build files handed to a test program: under Wine the build machine's root is
# drive Z:.
if(CMAKE_CROSSCOMPILING AND WIN32 AND CMAKE_HOST_UNIX)
    set(ORVELLE_TEST_PATH_PREFIX "Z:")
else()
    set(ORVELLE_TEST_PATH_PREFIX "")
endif()

# A cross-built test program lists its cases through the emulator when ctest starts, not
# while building: the build then needs no running Wine.
if(CMAKE_CROSSCOMPILING)
    set(ORVELLE_TEST_DISCOVERY PRE_TEST)
else()
    set(ORVELLE_TEST_DISCOVERY POST_BUILD)
endif()

# The environment every test runs in: no display, Chromium without its sandbox (we run as
# root in CI), a private runtime directory so Qt stays quiet, a private configuration folder
# (the viewer's settings: zoom, page setup, favourites, where reading stopped) so tests leave
# the user's own alone, and the index builder of this build. Each test also gets a private
# cache (where libraries are copied before they are opened and search indexes are kept), set
# in orvelle_add_test.
set(ORVELLE_TEST_ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen"
    "QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --disable-gpu"
    "QT_LOGGING_RULES=qt.webenginecontext.info=false"
    "XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/test-runtime"
    "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config")
if(ORVELLE_WITH_QT)
    # The search index's builder, a process of its own that the window and the tools start.
    if(WIN32)
        list(APPEND ORVELLE_TEST_ENVIRONMENT "ORVELLE_INDEXER=${CMAKE_BINARY_DIR}/bin/orvelle-export.exe")
    else()
        list(APPEND ORVELLE_TEST_ENVIRONMENT
            "ORVELLE_INDEXER=${CMAKE_BINARY_DIR}/tools/export/orvelle-export")
    endif()
endif()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-runtime)
file(CHMOD ${CMAKE_BINARY_DIR}/test-runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

# The programs of the tests labelled "headless": they open no window and start no browser
# engine (database components, the register, search, the tools, the seams below the GUI).
# `cmake --build ... --target orvelle_headless_tests` builds just them, and `ctest -L headless`
# runs just them (scripts/test-sanitizers.sh).
add_custom_target(orvelle_headless_tests)

# orvelle_add_test(NAME name SOURCES ... LIBRARIES ... [GTEST] [HEADLESS] [TIMEOUT seconds])
# A GoogleTest program registers each of its cases; a Qt Test program registers as one test.
function(orvelle_add_test)
    cmake_parse_arguments(T "GTEST;HEADLESS" "NAME;TIMEOUT" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBRARIES})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    # A cache folder for each test: tests that run side by side would otherwise make room for
    # their own libraries by removing each other's (the cache keeps the three last used).
    set(test_caches "${CMAKE_BINARY_DIR}/test-cache")
    set(label_properties "")
    if(T_HEADLESS)
        set(label_properties LABELS headless)
        add_dependencies(orvelle_headless_tests ${T_NAME})
    endif()
    if(T_GTEST)
        target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gtest_main)
        gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE ${ORVELLE_TEST_DISCOVERY}
            PROPERTIES TIMEOUT ${T_TIMEOUT} ${label_properties})
        # The environment is a list, which gtest_discover_tests's PROPERTIES would take apart
        # (only its first variable would reach the tests): it is set on the discovered tests by
        # a script of our own that CTest reads after the discovery's.
        set(environment_script "${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_environment.cmake")
        file(WRITE "${environment_script}"
            "if(DEFINED ${T_NAME}_TESTS)\n"
            "    set(environment [==[${ORVELLE_TEST_ENVIRONMENT}]==])\n"
            "    foreach(test IN LISTS ${T_NAME}_TESTS)\n"
            "        string(MAKE_C_IDENTIFIER \"\${test}\" folder)\n"
            "        set_tests_properties(\"\${test}\" PROPERTIES ENVIRONMENT\n"
            "            \"\${environment};XDG_CACHE_HOME=${test_caches}/\${folder}\")\n"
            "    endforeach()\n"
            "endif()\n")
        set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${environment_script}")
    else()
        target_link_libraries(${T_NAME} PRIVATE Qt6::Test)
        add_test(NAME ${T_NAME} COMMAND ${T_NAME})
        set_tests_properties(${T_NAME} PROPERTIES
            ENVIRONMENT "${ORVELLE_TEST_ENVIRONMENT};XDG_CACHE_HOME=${test_caches}/${T_NAME}"
            TIMEOUT ${T_TIMEOUT} ${label_properties})
    endif()
endfunction()
