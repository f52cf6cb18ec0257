# The interface table of ITECRFisc (library molvex_itable): no dependencies, so both the
# command-line client and the type-library checks can link it.
include_guard(GLOBAL)
add_library(molvex_itable STATIC ${CMAKE_CURRENT_LIST_DIR}/interface_table.cpp)
target_include_directories(molvex_itable PUBLIC ${PROJECT_SOURCE_DIR})
