# Header-only libraries of the build machine (CLI11, nlohmann-json) for the Windows cross-build:
# they need nothing of the host's C library, so each library's own folder is put on the include
# path through a link in the build tree (never the whole of /usr/include).
#   molvex_host_headers(<target> PUBLIC|PRIVATE <header> ...)   e.g. CLI/CLI.hpp
include_guard(GLOBAL)
function(molvex_host_headers target scope)
  set(dir ${CMAKE_BINARY_DIR}/host-headers)
  file(MAKE_DIRECTORY ${dir})
  foreach(header ${ARGN})
    get_filename_component(folder ${header} DIRECTORY)
    string(MAKE_C_IDENTIFIER "MOLVEX_HOST_${folder}" found)
    find_path(${found} ${header} PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    if(NOT EXISTS ${dir}/${folder})
      file(CREATE_LINK ${${found}}/${folder} ${dir}/${folder} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} SYSTEM ${scope} ${dir})
endfunction()
