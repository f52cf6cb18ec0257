# Windows builds: the print service's libraries, cpp-httplib and SQLite, built from Debian's
# source packages by scripts/windows-libs.sh (run by scripts/install-deps.sh) into
# <MOLVEX_THIRD_PARTY>/<triplet>/{include,lib}. That prefix joins the search roots, so that
# find_package(SQLite3) (CMake's own module: SQLite::SQLite3) and find_package(httplib CONFIG)
# (the prefix's lib/cmake/httplib: httplib::httplib) find them there.
set(MOLVEX_THIRD_PARTY ${PROJECT_SOURCE_DIR}/build/third_party
    CACHE PATH "Where scripts/windows-libs.sh built the Windows libraries")
set(MOLVEX_WINDOWS_LIBS ${MOLVEX_THIRD_PARTY}/${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
if(EXISTS ${MOLVEX_WINDOWS_LIBS}/versions)
  list(APPEND CMAKE_FIND_ROOT_PATH ${MOLVEX_WINDOWS_LIBS})
  file(STRINGS ${MOLVEX_WINDOWS_LIBS}/versions _versions)
  list(JOIN _versions ", " _versions)
  message(STATUS "Windows libraries in ${MOLVEX_WINDOWS_LIBS}: ${_versions}")
else()
  message(STATUS "No Windows libraries in ${MOLVEX_WINDOWS_LIBS}: run scripts/windows-libs.sh")
endif()
