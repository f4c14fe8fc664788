# The Firebird client API header. The library itself is loaded at run time, never linked.
find_path(IBASE_INCLUDE_DIR ibase.h
    PATH_SUFFIXES firebird include
    HINTS "$ENV{FIREBIRD}" "$ENV{FIREBIRD}/include")
if(NOT IBASE_INCLUDE_DIR AND CMAKE_CROSSCOMPILING)
    # The header is the same for every target (it chooses handle sizes and calling convention
    # by the compiler's own macros): take the build machine's copy, on its own, so that no
    # other header of the build machine reaches the cross compiler.
    find_file(ORVELLE_HOST_IBASE_H ibase.h
        PATH_SUFFIXES firebird include
        HINTS "$ENV{FIREBIRD}" "$ENV{FIREBIRD}/include"
        NO_CMAKE_FIND_ROOT_PATH)
    if(ORVELLE_HOST_IBASE_H)
        file(COPY ${ORVELLE_HOST_IBASE_H} DESTINATION ${CMAKE_BINARY_DIR}/ibase-include)
        set(IBASE_INCLUDE_DIR ${CMAKE_BINARY_DIR}/ibase-include CACHE PATH "" FORCE)
    endif()
endif()
if(NOT IBASE_INCLUDE_DIR)
    message(FATAL_ERROR "ibase.h not found: install the Firebird development files (firebird-dev)")
endif()
add_library(orvelle_ibase INTERFACE)
target_include_directories(orvelle_ibase SYSTEM INTERFACE ${IBASE_INCLUDE_DIR})
