# comctl32 is asked for its common-controls initialisation by ordinal 17, the
# form every version of the DLL exports, rather than by name. MinGW's import
# library imports it by name, so a one-entry import library is made here.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(QV_INIT_EXPORT "InitCommonControls@0")
  set(QV_DLLTOOL_FLAGS -k)
else()
  set(QV_INIT_EXPORT "InitCommonControls")
  set(QV_DLLTOOL_FLAGS)
endif()
set(QV_COMCTL32_DEF ${CMAKE_BINARY_DIR}/comctl32-ordinal.def)
set(QV_COMCTL32_LIB ${CMAKE_BINARY_DIR}/libcomctl32-ordinal.a)
file(WRITE ${QV_COMCTL32_DEF} "LIBRARY COMCTL32.dll\nEXPORTS\n${QV_INIT_EXPORT} @17 NONAME\n")
add_custom_command(OUTPUT ${QV_COMCTL32_LIB}
  COMMAND ${QV_TRIPLE}-dlltool -d ${QV_COMCTL32_DEF} -l ${QV_COMCTL32_LIB} ${QV_DLLTOOL_FLAGS}
  DEPENDS ${QV_COMCTL32_DEF}
  VERBATIM)
add_custom_target(qv_comctl32_ordinal DEPENDS ${QV_COMCTL32_LIB})
add_library(comctl32_ordinal STATIC IMPORTED GLOBAL)
set_target_properties(comctl32_ordinal PROPERTIES IMPORTED_LOCATION ${QV_COMCTL32_LIB})
add_dependencies(comctl32_ordinal qv_comctl32_ordinal)
