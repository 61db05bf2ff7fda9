# tessaro_version_block(<target>)
#
# Gives an executable or a module its version block: an ELF section
# ".tessaro_version" holding the fixed-file-info block of the project version
# (major.minor.release.build) and the build type (Debug sets the DEBUG flag),
# then the translation table. `tessaro-cli version FILE` prints it. Any target
# takes it with one line after its add_executable()/add_library(), e.g.
#
#   tessaro_version_block(validator_module)
#
# An executable is marked as a program, anything else as a library.
set(TESSARO_VERSION_BLOCK_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/VersionBlock.cpp.in)
set(TESSARO_VERSION_BLOCK_HEADER ${CMAKE_CURRENT_LIST_DIR}/../src/version/VersionBlock.h)

function(tessaro_version_block target)
  get_target_property(done ${target} TESSARO_VERSION_BLOCK)
  if(done)
    message(FATAL_ERROR "tessaro_version_block(${target}) is called twice: one block per file")
  endif()
  set_target_properties(${target} PROPERTIES TESSARO_VERSION_BLOCK ON)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(TESSARO_VERSION_FILE_TYPE VFT_APP)
  else()
    set(TESSARO_VERSION_FILE_TYPE VFT_DLL)
  endif()
  set(TESSARO_VERSION_TARGET ${target})
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_block.cpp)
  configure_file(${TESSARO_VERSION_BLOCK_TEMPLATE} ${source} @ONLY)
  target_sources(${target} PRIVATE ${source})
  set_source_files_properties(${source} PROPERTIES
    COMPILE_DEFINITIONS "TESSARO_VERSION_FLAGS=$<IF:$<CONFIG:Debug>,tessaro::VS_FF_DEBUG,0>")
endfunction()
