# The type library and the interface header, generated from MolvexECR_TLB.idl by widl.
# One custom target runs widl for all outputs, so a parallel build never runs it twice.
# The type library is compiled twice, for 64-bit and for 32-bit Windows: the server carries
# both, so that clients of either kind find one made for them (the registration names each).
# Provides: target molvex_tlb (interface header include dir + the GUIDs of the _i.c) and the
# target properties on molvex_tlb (for the resource script): MOLVEX_TLB_FILE, the type library
# of the build's own kind, and MOLVEX_TLB_OTHER_FILE, the one of the other kind.
include_guard(GLOBAL)
find_program(MOLVEX_WIDL NAMES x86_64-w64-mingw32-widl widl REQUIRED)
set(MOLVEX_WINE_IDL_DIR /usr/include/wine/wine/windows CACHE PATH "Directory of oaidl.idl")
set(MOLVEX_WINE_TLB_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows
    CACHE PATH "Directory of stdole2.tlb")

set(_tlb_idl ${CMAKE_CURRENT_LIST_DIR}/MolvexECR_TLB.idl)
set(_tlb_out ${CMAKE_BINARY_DIR}/generated/tlb)
set(_tlb_win64 ${_tlb_out}/MolvexECR_TLB_win64.tlb)
set(_tlb_win32 ${_tlb_out}/MolvexECR_TLB_win32.tlb)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_tlb_file ${_tlb_win32})
  set(_tlb_other ${_tlb_win64})
else()
  set(_tlb_file ${_tlb_win64})
  set(_tlb_other ${_tlb_win32})
endif()
set(_widl ${MOLVEX_WIDL} -I${MOLVEX_WINE_IDL_DIR} -L${MOLVEX_WINE_TLB_DIR})

add_custom_command(
  OUTPUT ${_tlb_win64} ${_tlb_win32} ${_tlb_out}/MolvexECR_TLB.h ${_tlb_out}/MolvexECR_TLB_i.c
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_tlb_out}
  COMMAND ${_widl} -m64 -t -o ${_tlb_win64} ${_tlb_idl}
  COMMAND ${_widl} -m32 -t -o ${_tlb_win32} ${_tlb_idl}
  COMMAND ${_widl} -h -o ${_tlb_out}/MolvexECR_TLB.h ${_tlb_idl}
  COMMAND ${_widl} -u -o ${_tlb_out}/MolvexECR_TLB_i.c ${_tlb_idl}
  DEPENDS ${_tlb_idl}
  COMMENT "widl: MolvexECR_TLB (type libraries, header, GUIDs)"
  VERBATIM)
add_custom_target(molvex_tlb_gen DEPENDS ${_tlb_win64} ${_tlb_win32} ${_tlb_out}/MolvexECR_TLB.h
                                         ${_tlb_out}/MolvexECR_TLB_i.c)

# Compiled as C++ (the file is written for both) so that it gets the C++ warning set.
set_source_files_properties(${_tlb_out}/MolvexECR_TLB_i.c PROPERTIES GENERATED TRUE LANGUAGE CXX)
add_library(molvex_tlb STATIC ${_tlb_out}/MolvexECR_TLB_i.c)
add_dependencies(molvex_tlb molvex_tlb_gen)
target_include_directories(molvex_tlb SYSTEM PUBLIC ${_tlb_out})
target_link_libraries(molvex_tlb PUBLIC ole32 oleaut32 uuid)
set_target_properties(molvex_tlb PROPERTIES MOLVEX_TLB_FILE ${_tlb_file}
                                            MOLVEX_TLB_OTHER_FILE ${_tlb_other})
