# The type library and the interface header, generated from MolvexECR_TLB.idl by widl.
# One custom target runs widl for all three outputs, so a parallel build never runs it twice.
# Provides: target molvex_tlb (interface header include dir + the GUIDs of the _i.c) and the
# target property MOLVEX_TLB_FILE on molvex_tlb (the compiled type library, for the resource script).
include_guard(GLOBAL)
find_program(MOLVEX_WIDL NAMES x86_64-w64-mingw32-widl widl REQUIRED)
set(MOLVEX_WINE_IDL_DIR /usr/include/wine/wine/windows CACHE PATH "Directory of oaidl.idl")
set(MOLVEX_WINE_TLB_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows
    CACHE PATH "Directory of stdole2.tlb")

set(_tlb_idl ${CMAKE_CURRENT_LIST_DIR}/MolvexECR_TLB.idl)
set(_tlb_out ${CMAKE_BINARY_DIR}/generated/tlb)
set(_tlb_file ${_tlb_out}/MolvexECR_TLB.tlb)
set(_widl ${MOLVEX_WIDL} -m64 -I${MOLVEX_WINE_IDL_DIR} -L${MOLVEX_WINE_TLB_DIR})

add_custom_command(
  OUTPUT ${_tlb_file} ${_tlb_out}/MolvexECR_TLB.h ${_tlb_out}/MolvexECR_TLB_i.c
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_tlb_out}
  COMMAND ${_widl} -t -o ${_tlb_file} ${_tlb_idl}
  COMMAND ${_widl} -h -o ${_tlb_out}/MolvexECR_TLB.h ${_tlb_idl}
  COMMAND ${_widl} -u -o ${_tlb_out}/MolvexECR_TLB_i.c ${_tlb_idl}
  DEPENDS ${_tlb_idl}
  COMMENT "widl: MolvexECR_TLB (type library, header, GUIDs)"
  VERBATIM)
add_custom_target(molvex_tlb_gen DEPENDS ${_tlb_file} ${_tlb_out}/MolvexECR_TLB.h
                                         ${_tlb_out}/MolvexECR_TLB_i.c)

# Compiled as C++ (the file is written for both) so that it gets the C++ warning set.
set_source_files_properties(${_tlb_out}/MolvexECR_TLB_i.c PROPERTIES GENERATED TRUE LANGUAGE CXX)
add_library(molvex_tlb STATIC ${_tlb_out}/MolvexECR_TLB_i.c)
add_dependencies(molvex_tlb molvex_tlb_gen)
target_include_directories(molvex_tlb SYSTEM PUBLIC ${_tlb_out})
target_link_libraries(molvex_tlb PUBLIC ole32 oleaut32 uuid)
set_target_properties(molvex_tlb PROPERTIES MOLVEX_TLB_FILE ${_tlb_file})
