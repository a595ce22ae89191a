# Install rules: the libraries, the headers, the tool, a CMake package
# (find_package(qxrtf CONFIG) gives qxrtf::qxrtf and qxrtf::loaders) and
# pkg-config files (qxrtf.pc, qxrtf-loaders.pc, and qxrtf-component.pc for
# the component interface, whose headers need nlohmann_json's).
include(CMakePackageConfigHelpers)

set(QXRTF_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qxrtf)

set_target_properties(qxrtf_loaders PROPERTIES EXPORT_NAME loaders)
install(TARGETS qxrtf qxrtf_loaders EXPORT qxrtfTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(QXRTF_BUILD_TOOL)
  install(TARGETS qxrtf_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The public headers keep their folders below include/qxrtf: applications
# include <qxrtf/report.h> (and <qxrtf/datasets.h> for the loaders'
# datasets), or the component interface <qxrtf/component.h> with the
# headers it reaches (see docs/embedding.md). Headers under an internal/
# folder and the loaders' own are the libraries' business and are not
# installed, so a public header that reached one would break every
# consumer build (scripts/check-consumers.sh).
install(DIRECTORY src/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/qxrtf
  FILES_MATCHING PATTERN "*.h" PATTERN "internal" EXCLUDE PATTERN "loaders" EXCLUDE)

install(EXPORT qxrtfTargets NAMESPACE qxrtf:: DESTINATION ${QXRTF_CMAKE_DIR})
configure_package_config_file(cmake/qxrtfConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/qxrtfConfig.cmake INSTALL_DESTINATION ${QXRTF_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/qxrtfConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/qxrtfConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/qxrtfConfigVersion.cmake DESTINATION ${QXRTF_CMAKE_DIR})

# A static library's own dependencies must be on the link line of every
# user, so pkg-config lists them as public unless the library is shared.
if(BUILD_SHARED_LIBS)
  set(QXRTF_PC_REQUIRES_PRIVATE ${QXRTF_PC_REQUIRES})
  set(QXRTF_PC_LIBS_PRIVATE ${QXRTF_PC_LIBS})
  set(QXRTF_PC_REQUIRES "")
  set(QXRTF_PC_LIBS "")
  set(QXRTF_LOADERS_PC_REQUIRES_PRIVATE ${QXRTF_LOADERS_PC_REQUIRES})
  set(QXRTF_LOADERS_PC_LIBS_PRIVATE ${QXRTF_LOADERS_PC_LIBS})
  set(QXRTF_LOADERS_PC_REQUIRES "")
  set(QXRTF_LOADERS_PC_LIBS "")
endif()
foreach(var QXRTF_PC_REQUIRES QXRTF_PC_LIBS QXRTF_LOADERS_PC_REQUIRES QXRTF_LOADERS_PC_LIBS)
  string(REPLACE ";" " " ${var} "${${var}}")
  string(REPLACE ";" " " ${var}_PRIVATE "${${var}_PRIVATE}")
endforeach()
# The prefix is found from where the .pc file lies, so that a tree installed
# with `cmake --install build --prefix DIR` (or moved afterwards) is right
# whatever prefix was chosen when it was configured.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(QXRTF_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH QXRTF_PC_UP "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
  string(REGEX REPLACE "/$" "" QXRTF_PC_UP "${QXRTF_PC_UP}")
  set(QXRTF_PC_PREFIX "\${pcfiledir}/${QXRTF_PC_UP}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(QXRTF_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(QXRTF_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(QXRTF_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  set(QXRTF_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
configure_file(cmake/qxrtf.pc.in ${CMAKE_CURRENT_BINARY_DIR}/qxrtf.pc @ONLY)
configure_file(cmake/qxrtf-loaders.pc.in ${CMAKE_CURRENT_BINARY_DIR}/qxrtf-loaders.pc @ONLY)
configure_file(cmake/qxrtf-component.pc.in ${CMAKE_CURRENT_BINARY_DIR}/qxrtf-component.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/qxrtf.pc ${CMAKE_CURRENT_BINARY_DIR}/qxrtf-loaders.pc
  ${CMAKE_CURRENT_BINARY_DIR}/qxrtf-component.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
