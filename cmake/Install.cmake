# cmake --install: the programs in bin/, the engine's static libraries in lib/,
# its headers in include/kzo/<folder>/ (included by folder, as in the source
# tree: #include "scene/Scene.hpp", "render/pipeline/Render.hpp"), and the
# package files in lib/cmake/kzo/ for find_package(kzo) and kzo::engine. The
# display libraries and the programs' own libraries stay in the tree.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KZO_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/kzo)
set(KZO_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/kzo)

install(TARGETS kzoWrite kzoView kzoShot RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Exported as kzo::<name>: kzo::engine, kzo::core, kzo::render, kzo::pelto_base...
foreach(part IN LISTS KZO_ENGINE_PARTS)
  string(REGEX REPLACE "^kzo_" "" exported ${part})
  set_target_properties(${part} PROPERTIES EXPORT_NAME ${exported})
endforeach()
set_target_properties(kzo_engine PROPERTIES EXPORT_NAME engine)
install(TARGETS ${KZO_ENGINE_PARTS} kzo_engine EXPORT kzoTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${KZO_INSTALL_INCLUDEDIR})

# pelto: only its support base; the display libraries stay in the tree.
foreach(folder core scene fileio import render pelto/base apps/viewer)
  install(DIRECTORY ${folder}/ DESTINATION ${KZO_INSTALL_INCLUDEDIR}/${folder} FILES_MATCHING PATTERN "*.hpp")
endforeach()

install(EXPORT kzoTargets NAMESPACE kzo:: DESTINATION ${KZO_INSTALL_CMAKEDIR})
configure_package_config_file(cmake/kzoConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/kzoConfig.cmake
  INSTALL_DESTINATION ${KZO_INSTALL_CMAKEDIR})
# Before 1.0 a minor version may change the interface: only the same minor version matches.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/kzoConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kzoConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/kzoConfigVersion.cmake
  DESTINATION ${KZO_INSTALL_CMAKEDIR})
