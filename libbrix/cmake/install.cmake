# Install rules: the library, its headers, a CMake package (find_package(brix)
# gives brix::brix) and a pkg-config file. The document's JSON Schema goes
# with them as data.
include(CMakePackageConfigHelpers)

set(BRIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/brix)

install(TARGETS brix EXPORT brixTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/libbrix/include/brix
                  ${CMAKE_CURRENT_BINARY_DIR}/include/brix
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
        FILES_MATCHING PATTERN "*.hpp")
install(EXPORT brixTargets NAMESPACE brix:: DESTINATION ${BRIX_CMAKE_DIR}
        COMPONENT development)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/brixConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/brixConfig.cmake
                              INSTALL_DESTINATION ${BRIX_CMAKE_DIR})
# 0.x releases may change the document, so only the same minor version matches.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/brixConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/brixConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/brixConfigVersion.cmake
        DESTINATION ${BRIX_CMAKE_DIR} COMPONENT development)

# The .pc file finds its prefix from its own place, so the installed tree can
# be moved or installed with --prefix.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(BRIX_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH BRIX_PC_UP "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
  string(REGEX REPLACE "/$" "" BRIX_PC_UP "${BRIX_PC_UP}")
  set(BRIX_PC_PREFIX "\${pcfiledir}/${BRIX_PC_UP}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/brix.pc.in ${CMAKE_CURRENT_BINARY_DIR}/brix.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/brix.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

install(FILES ${PROJECT_SOURCE_DIR}/docs/brix.schema.json
        DESTINATION ${CMAKE_INSTALL_DATADIR}/brix COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/brix
        COMPONENT development)
