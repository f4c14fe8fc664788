# The Firebird client API header. The library itself is loaded at run time, never linked.
find_path(IBASE_INCLUDE_DIR ibase.h
    PATH_SUFFIXES firebird include
    HINTS "$ENV{FIREBIRD}" "$ENV{FIREBIRD}/include")
if(NOT IBASE_INCLUDE_DIR)
    message(FATAL_ERROR "ibase.h not found: install the Firebird development files (firebird-dev)")
endif()
add_library(orvelle_ibase INTERFACE)
target_include_directories(orvelle_ibase SYSTEM INTERFACE ${IBASE_INCLUDE_DIR})
